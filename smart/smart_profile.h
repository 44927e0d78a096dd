#pragma once

#include <cstddef>
#include <cstdint>

#include "ark.h"

// SMART attribute names by drive family. A disk reports attributes as bare ids whose meaning
// depends on the family, so names come from the first profile whose match rule accepts the
// disk's identity and the ids its SMART data carries. All tables are immutable and built at
// compile time; every function here is safe to call from any thread.

inline constexpr size_t kSmartPageSize = 512;
inline constexpr size_t kSmartProfileCount = 48;

struct SmartAttributeEntry {
    uint8_t id;
    const char* name;
};

// Answers whether a disk belongs to the family; `page` is the disk's 512-byte SMART READ DATA
// page.
using SmartMatchFn = bool (*)(const ARK_DISK_INFO& disk, const uint8_t* page);

struct SmartProfile {
    uint32_t count;
    const SmartAttributeEntry* entries;
    SmartMatchFn match;  // null: never chosen by findSmartProfile
};

// The family profiles in match order: the first that accepts a disk wins.
extern const SmartProfile* const smartProfiles[kSmartProfileCount];

// No rows and no match rule: what a disk matching no family gets.
extern const SmartProfile smartDefaultProfile;

// The first profile of smartProfiles whose rule accepts the disk, else smartDefaultProfile.
// Never null.
const SmartProfile* findSmartProfile(const ARK_DISK_INFO& disk, const uint8_t* page);

// The name of the profile's first row with this id, in stored order; "Unknown Attribute" when
// there is none (or profile is null).
const char* smartAttributeName(uint8_t id, const SmartProfile* profile);
