#pragma once

// Texts and tests over the values the controller reports, shared by the service and the
// utility. Pure functions; no controller access.

#include <cstddef>
#include <cstdint>
#include <string>

#include "ark.h"

// "RAID0", "RAID1", "RAID5", "RAID6", "JBOD", "RAID10"/"RAID50"/"RAID60" for a stripe over
// sub-arrays of level 2/3/4, else "UNKNOWN".
const char* arkRaidLevelText(uint8_t raidlevel, uint8_t subRaidlevel);

// "None", "Write-through", "Write-back", "Force Write-back"; unknown values read "None".
const char* arkCachePolicyText(uint8_t policy);

// The state shown for an array: the first flag rule that holds, else "Normal".
const char* arkArrayStateText(uint32_t flags);

// The state shown for a disk: the first flag rule that holds, else "Functional".
const char* arkDiskStateText(uint32_t flags);

// No rebuild, verify, foreground initialisation or transform is running.
inline bool arkArrayIsIdle(uint32_t flags) {
    return (flags & ARK_ARRAY_BUSY_MASK) == 0;
}

// How many member slots of the record are in use: the controller's count, but never more slots
// than the record has.
inline int arkArrayMemberCount(const ARK_ARRAY_INFO& array) {
    return array.ndisks < ARK_MAX_MEMBERS ? array.ndisks : ARK_MAX_MEMBERS;
}

// A member or parent slot that holds no device.
inline bool arkIsEmptySlot(uint32_t id) {
    return id == 0 || id == ARK_ID_NONE;
}

// A fixed text field as a string: stops at the first NUL or at the field's end.
std::string arkFieldText(const char* field, size_t size);

template <size_t N>
std::string arkFieldText(const char (&field)[N]) {
    return arkFieldText(field, N);
}

// The disk's location, numbers counted from 1: "c/Ee/t" when the location names an enclosure,
// "c/p/t" when it is target-level, else "c/p".
std::string arkDiskLocationName(const ARK_DISK_INFO& disk);
