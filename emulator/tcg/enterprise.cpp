#include "enterprise.h"

#include <string>

#include "uids.h"

namespace emu::tcg::ent {
namespace {

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

}  // namespace

Uid Band(uint32_t n) {
    return MakeUid(kTableLocking, n + 1);
}

Uid BandKey(uint32_t n) {
    return MakeUid(kTableKAes256, n + 1);
}

Uid LockingInfoTable() {
    return MakeUid(kTableLockingInfo, 0);
}

std::optional<uint32_t> BandOf(const Uid& row) {
    const uint32_t table = UidHigh(row), low = UidLow(row);
    if ((table != kTableLocking && table != kTableKAes256) || low == 0 || low > kMaxBands)
        return std::nullopt;
    return low - 1;
}

void ResetBandLocking(Sp& sp, uint32_t n) {
    const Uid b = Band(n);
    for (uint32_t c : {kReadLockEnabled, kWriteLockEnabled, kReadLocked, kWriteLocked})
        sp.SetUint(b, c, 0);
    sp.rows[b][kLockOnReset] = Bytes{kStartList, 0x00, kEndList};
}

void AddFactoryBands(Sp& sp, uint32_t maxRanges) {
    sp.SetBytes(uid::kLockingInfo, 1, Text("LockingInfo"));
    sp.SetUint(uid::kLockingInfo, kMaxRanges, maxRanges);
    for (uint32_t n = 0; n <= maxRanges && n < kMaxBands; ++n) {
        const Uid b = Band(n);
        sp.SetBytes(b, 1, Text("Band" + std::to_string(n)));
        sp.SetBytes(b, 2, Text("Locking"));
        sp.SetUint(b, kRangeStart, 0);
        sp.SetUint(b, kRangeLength, 0);
        ResetBandLocking(sp, n);
        sp.SetUid(b, kActiveKey, BandKey(n));
        sp.SetBytes(BandKey(n), 1, Text("K_AES_256_Band" + std::to_string(n)));
        sp.SetUint(BandKey(n), kKey, 1);
    }
}

bool AnyBandLocked(const Sp& sp, uint32_t maxRanges) {
    for (uint32_t n = 0; n <= maxRanges && n < kMaxBands; ++n) {
        auto on = [&](uint32_t c) { return sp.Uint(Band(n), c).value_or(0) != 0; };
        if ((on(kReadLockEnabled) && on(kReadLocked)) ||
            (on(kWriteLockEnabled) && on(kWriteLocked)))
            return true;
    }
    return false;
}

uint64_t KeyGeneration(const Sp& sp, uint32_t n) {
    return sp.Uint(BandKey(n), kKey).value_or(0);
}

void NewKey(Sp& sp, uint32_t n) {
    sp.SetUint(BandKey(n), kKey, KeyGeneration(sp, n) + 1);
}

}  // namespace emu::tcg::ent
