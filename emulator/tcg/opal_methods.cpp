// The Opal family's methods beyond Get and Set: Activate and Revert on the Admin SP, RevertSP,
// GenKey and (Single User Mode) Erase in the Locking SP, and writes into the MBR table.

#include <algorithm>

#include "params.h"
#include "sed_drive.h"
#include "status.h"

namespace emu::tcg {
namespace {

constexpr uint64_t kSingleUserSelectionList = 0x060000, kRangeStartLengthPolicy = 0x060001,
                   kDataStoreTableSizes = 0x060002, kKeepGlobalRangeKey = 0x060000;

// Key generations of `from` move to `to` one step on: the old keys are gone.
void ReplaceKeys(const Sp& from, Sp& to, bool keepGlobalKey) {
    for (const auto& [row, cells] : from.rows) {
        const uint32_t table = UidHigh(row);
        if ((table != kTableKAes128 && table != kTableKAes256) || !to.Has(row)) continue;
        const uint64_t generation = from.Uint(row, col::kKey).value_or(0);
        const bool keep = keepGlobalKey && OpalRangeNumber(row) == 0u;
        to.SetUint(row, col::kKey, keep ? generation : generation + 1);
    }
}

bool Locked(const Sp& sp, const Uid& range) {
    return sp.Uint(range, col::kReadLocked).value_or(0) ||
           sp.Uint(range, col::kWriteLocked).value_or(0);
}

}  // namespace

uint8_t SedDrive::InvokeOpal(const Uid& invoker, const Uid& method,
                             const std::vector<Token>& params) {
    if (method == method::kActivate) return Activate(invoker, params);
    if (method == method::kRevert) return Revert(invoker, params);
    if (method == method::kRevertSp && invoker == uid::kThisSp) return RevertSp(params);
    if (method == method::kGenKey) return GenKey(invoker, params);
    if (method == method::kErase) return Erase(invoker, params);
    return status::kInvalidFunction;
}

std::optional<uint64_t> SedDrive::KeyGeneration(uint32_t range) const {
    const Sp* sp = m_model.FindSp(uid::kLockingSp);
    if (!sp) return std::nullopt;
    return sp->Uint(OpalRangeKey(range), col::kKey);
}

void SedDrive::ResetOpalLockingSp(bool keepGlobalKey) {
    Sp fresh = OpalLockingSpAtFactory(m_profile);
    ReplaceKeys(m_model.sps[uid::kLockingSp], fresh, keepGlobalKey);
    m_model.sps[uid::kLockingSp] = std::move(fresh);
}

uint8_t SedDrive::Activate(const Uid& target, const std::vector<Token>& params) {
    if (m_session->sp != uid::kAdminSp || target != uid::kLockingSp)
        return status::kInvalidParameter;
    if (!Signed(uid::kSid)) return status::kNotAuthorized;
    Sp& locking = m_model.sps[uid::kLockingSp];
    // [ {0x060000 = [ranges]} {0x060001 = policy} {0x060002 = sizes} ], each at most once.
    std::optional<std::vector<uint32_t>> single;
    std::optional<uint64_t> policy;
    ParamReader r(params);
    int64_t last = -1;
    while (!r.AtEnd()) {
        Token name;
        std::vector<Token> value;
        if (!r.Named(name, value) || !name.IsUint() || int64_t(name.uint) <= last)
            return status::kInvalidParameter;
        last = int64_t(name.uint);
        if (name.uint == kSingleUserSelectionList && m_profile.singleUser) {
            single.emplace();
            if (value.size() == 1 && value[0].IsUid() &&
                value[0].AsUid() == MakeUid(kTableLocking, 0)) {
                for (uint32_t n = 0; n <= m_profile.maxRanges; ++n) single->push_back(n);
                continue;
            }
            if (value.size() < 2 || !value.front().IsControl(kStartList))
                return status::kInvalidParameter;
            for (size_t i = 1; i + 1 < value.size(); ++i) {
                const auto n = value[i].IsUid() ? OpalRangeNumber(value[i].AsUid()) : std::nullopt;
                if (!n || UidHigh(value[i].AsUid()) != kTableLocking ||
                    !locking.Has(value[i].AsUid()))
                    return status::kInvalidParameter;
                single->push_back(*n);
            }
        } else if (name.uint == kRangeStartLengthPolicy && m_profile.singleUser &&
                   value.size() == 1 && value[0].IsUint() && value[0].uint <= 1) {
            policy = value[0].uint;
        } else if (name.uint != kDataStoreTableSizes) {
            return status::kInvalidParameter;
        }
    }
    if (locking.lifeCycle == kManufactured) return status::kSuccess;  // already active
    locking.lifeCycle = kManufactured;
    const Sp& admin = m_model.sps[uid::kAdminSp];
    locking.SetBytes(CPinOf(AdminAuthority(1)), col::kPin,
                     admin.ByteString(uid::kCPinSid, col::kPin).value_or(Bytes{}));
    if (single) {
        Bytes list{kStartList};
        for (uint32_t n : *single) {
            PutUid(list, OpalRange(n));
            // The range's user takes it over with an empty PIN.
            locking.SetUint(UserAuthority(n + 1), col::kEnabled, 1);
            locking.SetBytes(CPinOf(UserAuthority(n + 1)), col::kPin, {});
        }
        list.push_back(kEndList);
        locking.rows[uid::kLockingInfo][col::kSingleUserModeRanges] = list;
    }
    if (policy) locking.SetUint(uid::kLockingInfo, col::kRangeStartLengthPolicy, *policy);
    return status::kSuccess;
}

uint8_t SedDrive::Revert(const Uid& target, const std::vector<Token>& params) {
    if (!params.empty() || m_session->sp != uid::kAdminSp) return status::kInvalidParameter;
    if (target == uid::kAdminSp) {
        // The SID or the PSID takes the whole drive back to the factory: the data is gone.
        if (!Signed(uid::kSid) && !Signed(uid::kPsid)) return status::kNotAuthorized;
        DriveModel fresh = FactoryModel(m_profile, m_model.msid, m_model.psid);
        ReplaceKeys(m_model.sps[uid::kLockingSp], fresh.sps[uid::kLockingSp], false);
        m_model = std::move(fresh);
        m_endSessionAfterReply = true;
        return status::kSuccess;
    }
    if (target == uid::kLockingSp) {
        if (!Signed(uid::kSid)) return status::kNotAuthorized;
        ResetOpalLockingSp(false);
        return status::kSuccess;
    }
    return status::kInvalidParameter;
}

uint8_t SedDrive::RevertSp(const std::vector<Token>& params) {
    if (m_session->sp != uid::kLockingSp) return status::kInvalidParameter;
    if (!SignedAdmin()) return status::kNotAuthorized;
    bool keep = false;
    ParamReader r(params);
    if (!r.AtEnd()) {
        Token name;
        std::vector<Token> value;
        if (!r.Named(name, value) || !r.AtEnd() || !name.IsUint() ||
            name.uint != kKeepGlobalRangeKey || value.size() != 1 || !value[0].IsUint() ||
            value[0].uint > 1)
            return status::kInvalidParameter;
        keep = value[0].uint == 1;
    }
    // Keeping the key of a locked global range would leave data nobody can unlock.
    if (keep && Locked(m_model.sps[uid::kLockingSp], uid::kLockingGlobal)) return status::kFail;
    ResetOpalLockingSp(keep);
    m_endSessionAfterReply = true;
    return status::kSuccess;
}

uint8_t SedDrive::GenKey(const Uid& key, const std::vector<Token>& params) {
    Sp& sp = *m_model.FindSp(m_session->sp);
    const uint32_t table = UidHigh(key);
    if (table != kTableKAes128 && table != kTableKAes256) return status::kInvalidFunction;
    if (m_session->sp != uid::kLockingSp || !sp.Has(key) || !params.empty())
        return status::kInvalidParameter;
    const auto owner = SingleUserOwner(key);
    if (!(owner ? Signed(UserAuthority(*owner)) : SignedAdmin())) return status::kNotAuthorized;
    sp.SetUint(key, col::kKey, sp.Uint(key, col::kKey).value_or(0) + 1);
    return status::kSuccess;
}

uint8_t SedDrive::Erase(const Uid& range, const std::vector<Token>& params) {
    if (!m_profile.singleUser) return status::kInvalidFunction;
    Sp& sp = *m_model.FindSp(m_session->sp);
    if (UidHigh(range) != kTableLocking) return status::kInvalidFunction;
    if (m_session->sp != uid::kLockingSp || !sp.Has(range) || !params.empty())
        return status::kInvalidParameter;
    // Only a range in Single User Mode has Erase; its user or an Admin may call it.
    const auto owner = SingleUserOwner(range);
    if (!owner || !(SignedAdmin() || Signed(UserAuthority(*owner)))) return status::kNotAuthorized;
    const Uid key = OpalRangeKey(*OpalRangeNumber(range));
    if (sp.Has(key)) sp.SetUint(key, col::kKey, sp.Uint(key, col::kKey).value_or(0) + 1);
    sp.SetUint(range, col::kReadLocked, 0);
    sp.SetUint(range, col::kWriteLocked, 0);
    // The user starts again with an empty PIN.
    const Uid pin = CPinOf(UserAuthority(*owner));
    sp.SetBytes(pin, col::kPin, {});
    sp.SetUint(pin, col::kTries, 0);
    return status::kSuccess;
}

uint8_t SedDrive::SetMbr(const std::vector<Token>& params) {
    // {0 = offset} {1 = bytes}
    ParamReader r(params);
    Token whereName, valuesName;
    std::vector<Token> where, values;
    if (!r.Named(whereName, where) || !r.Named(valuesName, values) || !r.AtEnd() ||
        !whereName.IsUint() || whereName.uint != 0 || !valuesName.IsUint() ||
        valuesName.uint != 1 || where.size() != 1 || !where[0].IsUint() || values.size() != 1 ||
        !values[0].IsBytes())
        return status::kInvalidParameter;
    if (!SignedAdmin() || !m_session->write) return status::kNotAuthorized;
    const uint64_t offset = where[0].uint;
    const Bytes& data = values[0].bytes;
    if (offset > kMbrTableSize || data.size() > kMbrTableSize - offset)
        return status::kInvalidParameter;
    Sp& sp = m_model.sps[uid::kLockingSp];
    Bytes content = sp.ByteString(uid::kMbrTable, kMbrContent).value_or(Bytes{});
    if (content.size() < offset + data.size()) content.resize(offset + data.size(), 0);
    std::copy(data.begin(), data.end(), content.begin() + long(offset));
    sp.SetBytes(uid::kMbrTable, kMbrContent, content);
    return status::kSuccess;
}

}  // namespace emu::tcg
