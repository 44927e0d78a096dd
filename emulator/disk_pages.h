#pragma once

// The 512-byte pages a disk answers with: IDENTIFY DEVICE and the two SMART pages.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "state.h"

namespace emu {

using Page = std::array<uint8_t, 512>;

Page IdentifyPage(const Disk& disk);
// READ DATA: revision, 30 attribute slots of 12 bytes from byte 2, the collection and
// capability bytes from byte 362, and a checksum in byte 511 that makes the byte sum 0.
Page SmartDataPage(const Disk& disk);
// READ THRESHOLDS: revision, 30 slots (id, threshold, 10 reserved), checksum.
Page SmartThresholdPage(const Disk& disk);

// A pre-failure attribute at or below its threshold.
bool SmartThresholdExceeded(const Disk& disk);

// The attribute set of a drive family ("hdd", "hdd_enterprise", "ssd", "ssd_tlc"); empty for
// an unknown name.
std::vector<SmartAttribute> SmartFamily(const std::string& family);
bool IsSmartFamily(const std::string& family);

}  // namespace emu
