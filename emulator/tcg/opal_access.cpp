// Who may read and write what in the Opal family's Locking SP: the Admins own every range,
// key, PIN and the MBR, except the ranges in Single User Mode, which belong to their users
// (range n to User n+1) alone. Ranges never overlap.

#include <algorithm>

#include "sed_drive.h"
#include "status.h"

namespace emu::tcg {

bool SedDrive::SignedAdmin() const {
    return std::any_of(m_session->authorities.begin(), m_session->authorities.end(),
                       [](const Uid& a) {
                           return UidHigh(a) == kTableAuthority &&
                                  (UidLow(a) & 0xFFFFFF00) == uid::kAdminBase && (UidLow(a) & 0xFF);
                       });
}

std::vector<uint32_t> SedDrive::SingleUserRanges() const {
    std::vector<uint32_t> ranges;
    const Sp* sp = m_model.FindSp(uid::kLockingSp);
    if (!sp || sp->lifeCycle != kManufactured) return ranges;
    auto info = sp->rows.find(uid::kLockingInfo);
    if (info == sp->rows.end()) return ranges;
    auto cell = info->second.find(col::kSingleUserModeRanges);
    if (cell == info->second.end()) return ranges;
    std::vector<Token> t;
    std::string error;
    if (!DecodeTokens(cell->second, t, error)) return ranges;
    for (const Token& u : t) {
        if (!u.IsUid()) continue;
        if (auto n = OpalRangeNumber(u.AsUid())) ranges.push_back(*n);
    }
    return ranges;
}

std::optional<uint32_t> SedDrive::SingleUserOwner(const Uid& row) const {
    const auto n = OpalRangeNumber(row);
    if (!n) return std::nullopt;
    const auto ranges = SingleUserRanges();
    if (std::find(ranges.begin(), ranges.end(), *n) == ranges.end()) return std::nullopt;
    return *n + 1;
}

bool SedDrive::OpalMayRead(const Uid& row, uint32_t column) const {
    const uint32_t table = UidHigh(row);
    if ((table == kTableKAes128 || table == kTableKAes256) && column == col::kKey) return false;
    if (table != kTableLocking) return true;
    if (SignedAdmin()) return true;
    const auto owner = SingleUserOwner(row);
    return owner && Signed(UserAuthority(*owner));
}

bool SedDrive::OpalMayWrite(const Uid& row, uint32_t column) const {
    const uint32_t table = UidHigh(row);
    if (table == kTableCPin) {
        // A user in Single User Mode is the only one who sets its PIN.
        for (uint32_t n : SingleUserRanges())
            if (row == CPinOf(UserAuthority(n + 1))) return Signed(UserAuthority(n + 1));
        if (SignedAdmin()) return true;
        return std::any_of(m_session->authorities.begin(), m_session->authorities.end(),
                           [&](const Uid& a) { return CPinOf(a) == row; });
    }
    if (table == kTableAuthority) {
        if (column != col::kEnabled || !SignedAdmin()) return false;
        for (uint32_t n : SingleUserRanges())
            if (row == UserAuthority(n + 1)) return false;
        return true;
    }
    if (table == kTableLocking) {
        if (column < col::kRangeStart || column > col::kLockOnReset) return false;
        const bool startOrLength = column == col::kRangeStart || column == col::kRangeLength;
        if (startOrLength && row == uid::kLockingGlobal) return false;
        const auto owner = SingleUserOwner(row);
        if (!owner) return SignedAdmin();
        if (startOrLength) {
            const Sp& sp = *m_model.FindSp(uid::kLockingSp);
            const bool adminsPlace = sp.Uint(uid::kLockingInfo, col::kRangeStartLengthPolicy) == 1u;
            if (adminsPlace) return SignedAdmin();
        }
        return Signed(UserAuthority(*owner));
    }
    if (table == kTableMbrControl) return column >= 1 && column <= 3 && SignedAdmin();
    return false;
}

uint8_t SedDrive::CheckOpalRangeSet(const Sp& sp, const Uid& row,
                                    const std::vector<std::pair<uint32_t, Bytes>>& changes) const {
    const auto n = OpalRangeNumber(row);
    // The global range covers what no other range does: it has no place of its own.
    if (UidHigh(row) != kTableLocking || !n || *n == 0) return status::kSuccess;
    std::optional<uint64_t> start, length;
    for (const auto& [column, encoded] : changes) {
        if (column != col::kRangeStart && column != col::kRangeLength) continue;
        const std::optional<Token> t = SingleToken(encoded);
        if (!t || !t->IsUint()) return status::kInvalidParameter;
        (column == col::kRangeStart ? start : length) = t->uint;
    }
    if (!start && !length) return status::kSuccess;
    const uint64_t first = start.value_or(sp.Uint(row, col::kRangeStart).value_or(0));
    const uint64_t count = length.value_or(sp.Uint(row, col::kRangeLength).value_or(0));
    if (count == 0) return status::kSuccess;  // an empty range overlaps nothing
    if (first + count < first) return status::kInvalidParameter;
    for (uint32_t m = 1; m <= m_profile.maxRanges; ++m) {
        if (m == *n) continue;
        const uint64_t s = sp.Uint(OpalRange(m), col::kRangeStart).value_or(0);
        const uint64_t l = sp.Uint(OpalRange(m), col::kRangeLength).value_or(0);
        if (l != 0 && first < s + l && s < first + count) return status::kInvalidParameter;
    }
    return status::kSuccess;
}

}  // namespace emu::tcg
