// The Enterprise dialect's own methods and access rules: Erase of a band by the EraseMaster,
// GenKey of a band's key by its BandMaster, the Admin SP's reverts, MaxRanges through the
// LockingInfo table, and who may read and write which band.

#include <algorithm>

#include "enterprise.h"
#include "params.h"
#include "sed_drive.h"
#include "status.h"

namespace emu::tcg {
namespace {

std::optional<Token> Single(const Bytes& encoded) {
    return SingleToken(encoded);
}

// A LockOnReset value: a list of reset types.
bool ResetTypeList(const Bytes& encoded) {
    std::vector<Token> t;
    std::string error;
    if (!DecodeTokens(encoded, t, error) || t.size() < 2 || !t.front().IsControl(kStartList) ||
        !t.back().IsControl(kEndList))
        return false;
    return std::all_of(t.begin() + 1, t.end() - 1,
                       [](const Token& x) { return x.IsUint() && x.uint <= ent::kLastResetType; });
}

}  // namespace

void SedDrive::SetLockingInfoTableAnswers(bool answers) {
    m_lockingInfoTable = answers;
}

std::optional<uint8_t> SedDrive::InvokeEnterprise(const Uid& invoker, const Uid& method,
                                                  const std::vector<Token>& params,
                                                  Bytes& results) {
    const bool lockingSp = m_session->sp == uid::kEnterpriseLockingSp;
    if (method == method::kEGet && invoker == ent::LockingInfoTable() && lockingSp) {
        // Some drives answer MaxRanges on the table's own UID; the knob makes this one refuse.
        if (!m_lockingInfoTable) return status::kInvalidParameter;
        return Get(uid::kLockingInfo, params, results);
    }
    for (const Uid& m : {method::kEAuthenticate, method::kEGet, method::kESet,
                         method::kAuthenticate, method::kGet, method::kSet})
        if (method == m) return std::nullopt;
    Sp& sp = *m_model.FindSp(m_session->sp);
    if (method == method::kErase) {
        const auto n = ent::BandOf(invoker);
        if (!lockingSp || UidHigh(invoker) != kTableLocking || !n || !sp.Has(invoker) ||
            !params.empty())
            return status::kInvalidParameter;
        if (!m_session->write || !Signed(uid::kEraseMaster)) return status::kNotAuthorized;
        ent::NewKey(sp, *n);
        ent::ResetBandLocking(sp, *n);
        // The band's master is back to the factory credential.
        const Uid pin = CPinOf(BandMaster(*n));
        sp.SetBytes(pin, col::kPin, m_model.msid);
        sp.SetUint(pin, col::kTries, 0);
        return status::kSuccess;
    }
    if (method == method::kGenKey) {
        const auto n = ent::BandOf(invoker);
        if (!lockingSp || UidHigh(invoker) != kTableKAes256 || !n || !sp.Has(invoker) ||
            !params.empty())
            return status::kInvalidParameter;
        if (!m_session->write || !Signed(BandMaster(*n))) return status::kNotAuthorized;
        ent::NewKey(sp, *n);
        return status::kSuccess;
    }
    const bool revertSp = method == method::kRevertSp && invoker == uid::kThisSp;
    const bool revert = method == method::kRevert && invoker == uid::kAdminSp;
    if ((revertSp || revert) && m_session->sp == uid::kAdminSp) {
        bool keep = false;
        ParamReader r(params);
        if (revertSp && !r.AtEnd()) {
            Token name;
            std::vector<Token> value;
            if (!r.Named(name, value) || !name.IsBytes() || name.Text() != "KeepGlobalRangeKey" ||
                value.size() != 1 || !value[0].IsUint() || value[0].uint > 1)
                return status::kInvalidParameter;
            keep = value[0].uint == 1;
        }
        if (!r.AtEnd()) return status::kInvalidParameter;
        if (!m_session->write || !(Signed(uid::kSid) || Signed(uid::kPsid)))
            return status::kNotAuthorized;
        RevertToFactory(keep);
        m_endSessionAfterReply = true;
        return status::kSuccess;
    }
    return status::kInvalidFunction;
}

void SedDrive::RevertToFactory(bool keepGlobalKey) {
    DriveModel fresh = FactoryModel(m_profile, m_model.msid, m_model.psid);
    const Sp* before = m_model.FindSp(uid::kEnterpriseLockingSp);
    Sp* after = fresh.FindSp(uid::kEnterpriseLockingSp);
    if (before && after) {
        for (uint32_t n = 0; n <= m_profile.maxRanges && n < ent::kMaxBands; ++n) {
            const uint64_t generation = ent::KeyGeneration(*before, n);
            after->SetUint(ent::BandKey(n), ent::kKey,
                           n == 0 && keepGlobalKey ? generation : generation + 1);
        }
    }
    m_model = std::move(fresh);
}

bool SedDrive::EnterpriseMayRead(const Uid& row, uint32_t column) const {
    const uint32_t table = UidHigh(row);
    if (table == kTableLocking) {
        const auto n = ent::BandOf(row);
        return n && Signed(BandMaster(*n));
    }
    if (table == kTableKAes128 || table == kTableKAes256) return false;
    if (table == kTableCPin && column == col::kPin) return row == uid::kCPinMsid;
    return true;
}

bool SedDrive::EnterpriseMayWrite(const Uid& row, uint32_t column) const {
    if (!m_session->write) return false;
    const uint32_t table = UidHigh(row);
    if (table == kTableCPin) {
        if (row == uid::kCPinMsid || row == uid::kCPinPsid || column != col::kPin) return false;
        if (m_session->sp == uid::kAdminSp) return Signed(uid::kSid);
        // EraseMaster and each BandMaster set their own PIN only.
        for (const Uid& a : m_session->authorities)
            if (CPinOf(a) == row) return true;
        return false;
    }
    if (table == kTableLocking) {
        const auto n = ent::BandOf(row);
        return n && column >= ent::kRangeStart && column <= ent::kLockOnReset &&
               Signed(BandMaster(*n));
    }
    return false;
}

uint8_t SedDrive::CheckEnterpriseSet(const Sp& sp, const Uid& row,
                                     const std::vector<std::pair<uint32_t, Bytes>>& changes) const {
    const uint32_t table = UidHigh(row);
    std::optional<uint64_t> start, length;
    for (const auto& [column, encoded] : changes) {
        const std::optional<Token> t = Single(encoded);
        if (table == kTableCPin) {
            if (!t || !t->IsBytes()) return status::kInvalidParameter;
        } else if (column == ent::kLockOnReset) {
            if (!ResetTypeList(encoded)) return status::kInvalidParameter;
        } else if (!t || !t->IsUint()) {  // NOLINT(bugprone-branch-clone): order matters
            return status::kInvalidParameter;
        } else if (column == ent::kRangeStart) {
            start = t->uint;
        } else if (column == ent::kRangeLength) {
            length = t->uint;
        } else if (t->uint > 1) {
            return status::kInvalidParameter;  // the four locking booleans
        }
    }
    if (table != kTableLocking || (!start && !length)) return status::kSuccess;
    // The global band covers what no other band does: it has no range of its own.
    const uint32_t n = *ent::BandOf(row);
    if (n == 0) return status::kInvalidParameter;
    const uint64_t first = start.value_or(sp.Uint(row, ent::kRangeStart).value_or(0));
    const uint64_t count = length.value_or(sp.Uint(row, ent::kRangeLength).value_or(0));
    if (count == 0) return status::kSuccess;
    if (first + count < first) return status::kInvalidParameter;
    for (uint32_t m = 1; m <= m_profile.maxRanges && m < ent::kMaxBands; ++m) {
        if (m == n) continue;
        const uint64_t s = sp.Uint(ent::Band(m), ent::kRangeStart).value_or(0);
        const uint64_t l = sp.Uint(ent::Band(m), ent::kRangeLength).value_or(0);
        if (l != 0 && first < s + l && s < first + count) return status::kInvalidParameter;
    }
    return status::kSuccess;
}

}  // namespace emu::tcg
