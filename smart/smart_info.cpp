#include "smart_info.h"

#include <cstdio>

#include "smart_commands.h"

namespace {

// Layout of one 12-byte attribute slot (data page) and threshold slot, from byte 2 of the page.
constexpr size_t kFirstSlot = 2;
constexpr size_t kSlotSize = 12;
constexpr size_t kFlagsAt = 1;
constexpr size_t kCurrentAt = 3;
constexpr size_t kWorstAt = 4;
constexpr size_t kRawAt = 5;
constexpr size_t kThresholdAt = 1;

constexpr uint16_t kFlagPreFail = 0x1;
constexpr uint16_t kFlagOnline = 0x2;

}  // namespace

const char* smartInfoErrorText(int status) {
    switch (status) {
        case kSmartInfoOk:
            return "";
        case kSmartInfoDeviceInfoFailed:
            return "get device info failed";
        case kSmartInfoNotEnabled:
            return "SMART feature not enabled";
        case kSmartInfoReadValuesFailed:
            return "smart_read_values failed";
        case kSmartInfoReadThresholdsFailed:
            return "smart_read_thresholds failed";
    }
    return "unknown error";
}

void decodeSmartAttributes(const ARK_DISK_INFO& disk, const uint8_t* values,
                           const uint8_t* thresholds, SmartInfo* info) {
    info->profile = findSmartProfile(disk, values);
    info->count = 0;
    for (size_t slot = 0; slot < kSmartAttributeSlots; ++slot) {
        const uint8_t* value = values + kFirstSlot + slot * kSlotSize;
        if (value[0] == 0) continue;
        SmartAttributeReport& attr = info->attrs[info->count++];
        attr.id = value[0];
        attr.name = smartAttributeName(attr.id, info->profile);
        attr.flags = static_cast<uint16_t>(value[kFlagsAt] | value[kFlagsAt + 1] << 8);
        attr.current = value[kCurrentAt];
        attr.worst = value[kWorstAt];
        for (size_t i = 0; i < sizeof attr.raw; ++i) attr.raw[i] = value[kRawAt + i];
        std::snprintf(attr.rawText, sizeof attr.rawText, "%02X %02X %02X %02X %02X %02X",
                      attr.raw[0], attr.raw[1], attr.raw[2], attr.raw[3], attr.raw[4], attr.raw[5]);
        attr.threshold = thresholds[kFirstSlot + slot * kSlotSize + kThresholdAt];
        attr.type = (attr.flags & kFlagPreFail) ? "Pre-fail" : "Old_age";
        attr.update = (attr.flags & kFlagOnline) ? "Always" : "Offline";
    }
}

int readSmartInfo(int domain, uint32_t disk, SmartInfo* info) {
    ARK_VD_INFO device{};
    if (info == nullptr || arkGetVDInfo(domain, disk, &device) != 0)
        return kSmartInfoDeviceInfoFailed;
    // An array has no SMART of its own, and its record holds no disk flags to test.
    if (device.type == ARK_VD_TYPE_ARRAY || (device.disk.flags & ARK_DISK_SMART_ON) == 0)
        return kSmartInfoNotEnabled;

    SmartInfo report{};
    report.healthy = smart_status(domain, disk) == 0;
    uint8_t values[kSmartPageSize];
    uint8_t thresholds[kSmartPageSize];
    if (smart_read_values(domain, disk, values) != 0) return kSmartInfoReadValuesFailed;
    if (smart_read_thresholds(domain, disk, thresholds) != 0) return kSmartInfoReadThresholdsFailed;
    decodeSmartAttributes(device.disk, values, thresholds, &report);
    *info = report;
    return kSmartInfoOk;
}
