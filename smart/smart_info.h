#pragma once

#include <cstddef>
#include <cstdint>

#include "ark.h"
#include "smart_profile.h"

// Everything a SMART report of one disk shows: overall health and the named attributes of the
// 30 attribute slots of the SMART data page, each with its threshold. Shared by the service's
// SMART method and the utility's SMART report, so both name and format attributes alike.

inline constexpr size_t kSmartAttributeSlots = 30;

struct SmartAttributeReport {
    uint8_t id;
    const char* name;  // from the disk's profile; "Unknown Attribute" when it has no such row
    uint16_t flags;
    uint8_t current;
    uint8_t worst;
    uint8_t raw[6];
    char rawText[18];    // raw bytes 0-5 as "%02X %02X %02X %02X %02X %02X"
    uint8_t threshold;   // the same slot of the threshold page
    const char* type;    // "Pre-fail" when flags bit 0 is set, else "Old_age"
    const char* update;  // "Always" when flags bit 1 is set, else "Offline"
};

struct SmartInfo {
    bool healthy;  // RETURN STATUS succeeded and reported no threshold exceeded
    const SmartProfile* profile;
    size_t count;  // attrs[0..count) hold the slots with a non-zero id, in slot order
    SmartAttributeReport attrs[kSmartAttributeSlots];
};

enum SmartInfoStatus : int {
    kSmartInfoOk = 0,
    kSmartInfoDeviceInfoFailed,
    kSmartInfoNotEnabled,
    kSmartInfoReadValuesFailed,
    kSmartInfoReadThresholdsFailed,
};

// The report's error text for a failed status ("get device info failed", ...); "" for
// kSmartInfoOk.
const char* smartInfoErrorText(int status);

// Reads the disk's device information, checks that SMART is on (an array id counts as not
// enabled), asks RETURN STATUS, reads the data and threshold pages and names every attribute.
// On failure `info` is left untouched.
int readSmartInfo(int domain, uint32_t disk, SmartInfo* info);

// The attribute part of the report from pages already read; sets profile, count and attrs and
// leaves healthy alone. `values` and `thresholds` are 512-byte pages.
void decodeSmartAttributes(const ARK_DISK_INFO& disk, const uint8_t* values,
                           const uint8_t* thresholds, SmartInfo* info);
