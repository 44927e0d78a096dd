#pragma once

// The Enterprise Locking SP's bands: their rows in the Locking table, their media keys and
// LockingInfo. A band's key is a generation number; a new one stands for the band's data
// being gone.

#include <optional>

#include "tables.h"

namespace emu::tcg::ent {

// Locking table columns.
constexpr uint32_t kRangeStart = 3, kRangeLength = 4, kReadLockEnabled = 5, kWriteLockEnabled = 6,
                   kReadLocked = 7, kWriteLocked = 8, kLockOnReset = 9, kActiveKey = 10;
// LockingInfo column; K_AES column holding the key (here its generation).
constexpr uint32_t kMaxRanges = 4, kKey = 3;
// LockOnReset's reset types run from 0 (power cycle) to 3 (programmatic).
constexpr uint64_t kLastResetType = 3;

constexpr uint32_t kMaxBands = 1024;  // Band0..Band1023

Uid Band(uint32_t n);     // the Locking table row of band n (0: the global band)
Uid BandKey(uint32_t n);  // its media key, a K_AES_256 row
Uid LockingInfoTable();   // the LockingInfo table's own UID
// The band of a Locking or K_AES_256 row; nullopt for any other UID.
std::optional<uint32_t> BandOf(const Uid& row);

// The factory rows: LockingInfo, Band0..Band<maxRanges> unlocked and unconfigured, each with
// a key of generation 1.
void AddFactoryBands(Sp& sp, uint32_t maxRanges);
// A band as it stands after Erase: unlocked, locking off, LockOnReset = {power cycle}.
void ResetBandLocking(Sp& sp, uint32_t n);

// Whether a band has read or write locking on and locked (Level 0 Discovery's Locked bit).
bool AnyBandLocked(const Sp& sp, uint32_t maxRanges);

uint64_t KeyGeneration(const Sp& sp, uint32_t n);
void NewKey(Sp& sp, uint32_t n);

}  // namespace emu::tcg::ent
