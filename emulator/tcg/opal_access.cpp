// Who may read and write what in the Opal family's Locking SP: the Admins own every range,
// key, PIN and the MBR, except the ranges in Single User Mode, which belong to their users
// (range n to User n+1) alone.

#include <algorithm>

#include "sed_drive.h"

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

}  // namespace emu::tcg
