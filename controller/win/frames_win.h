#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "vendor_command.h"
#include "win_api.h"

// Byte layouts of the driver frames. The ports fill and read frames through these offsets
// rather than through the platform records, so the asserts below check the offsets against
// whichever declarations the build uses (the SDK's in the Windows build).
namespace arkwin {

inline void PutLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutLe64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint32_t GetLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Miniport request: the system's SRB_IO_CONTROL header, then the two lengths and the data.
constexpr size_t kSrbHeaderLength = 28;
constexpr size_t kSrbSignature = 4;
constexpr size_t kSrbTimeout = 12;
constexpr size_t kSrbControlCode = 16;
constexpr size_t kSrbReturnCode = 20;
constexpr size_t kSrbLength = 24;
constexpr size_t kMiniportInLen = 28;
constexpr size_t kMiniportOutLen = 32;
constexpr size_t kMiniportData = 36;
constexpr char kMiniportSignature[8] = {'A', 'R', 'K', 'C', 'N', 'T', 'L', 'R'};
constexpr uint32_t kMiniportTimeoutSeconds = 10;

static_assert(sizeof(SRB_IO_CONTROL) == kSrbHeaderLength);
static_assert(offsetof(SRB_IO_CONTROL, HeaderLength) == 0);
static_assert(offsetof(SRB_IO_CONTROL, Signature) == kSrbSignature);
static_assert(sizeof(SRB_IO_CONTROL::Signature) == sizeof(kMiniportSignature));
static_assert(offsetof(SRB_IO_CONTROL, Timeout) == kSrbTimeout);
static_assert(offsetof(SRB_IO_CONTROL, ControlCode) == kSrbControlCode);
static_assert(offsetof(SRB_IO_CONTROL, ReturnCode) == kSrbReturnCode);
static_assert(offsetof(SRB_IO_CONTROL, Length) == kSrbLength);

// The vendor SCSI command that carries a controller request to the processor device.
constexpr size_t kVendorCdbLength = sizeof(ARK_VENDOR_CDB);

// Pass-through request: the system's SCSI_PASS_THROUGH, 32 sense bytes, then the data area.
constexpr size_t kSptLength = 0;
constexpr size_t kSptScsiStatus = 2;
constexpr size_t kSptPathId = 3;
constexpr size_t kSptTargetId = 4;
constexpr size_t kSptLun = 5;
constexpr size_t kSptCdbLength = 6;
constexpr size_t kSptSenseInfoLength = 7;
constexpr size_t kSptDataIn = 8;
constexpr size_t kSptDataTransferLength = 12;
constexpr size_t kSptTimeOutValue = 16;
constexpr size_t kSptDataBufferOffset = 24;
constexpr size_t kSptSenseInfoOffset = 32;
constexpr size_t kSptCdb = 36;
constexpr size_t kSptHeaderSize = 56;
constexpr size_t kSptSenseSize = 32;
constexpr size_t kSptSense = kSptHeaderSize;
constexpr size_t kSptData = kSptSense + kSptSenseSize;
constexpr uint8_t kSptDataBothWays = 3;
constexpr uint32_t kSptTimeoutSeconds = 10;

static_assert(sizeof(SCSI_PASS_THROUGH) == kSptHeaderSize);
static_assert(offsetof(SCSI_PASS_THROUGH, Length) == kSptLength);
static_assert(offsetof(SCSI_PASS_THROUGH, ScsiStatus) == kSptScsiStatus);
static_assert(offsetof(SCSI_PASS_THROUGH, PathId) == kSptPathId);
static_assert(offsetof(SCSI_PASS_THROUGH, TargetId) == kSptTargetId);
static_assert(offsetof(SCSI_PASS_THROUGH, Lun) == kSptLun);
static_assert(offsetof(SCSI_PASS_THROUGH, CdbLength) == kSptCdbLength);
static_assert(offsetof(SCSI_PASS_THROUGH, SenseInfoLength) == kSptSenseInfoLength);
static_assert(offsetof(SCSI_PASS_THROUGH, DataIn) == kSptDataIn);
static_assert(offsetof(SCSI_PASS_THROUGH, DataTransferLength) == kSptDataTransferLength);
static_assert(offsetof(SCSI_PASS_THROUGH, TimeOutValue) == kSptTimeOutValue);
static_assert(offsetof(SCSI_PASS_THROUGH, DataBufferOffset) == kSptDataBufferOffset);
static_assert(sizeof(SCSI_PASS_THROUGH::DataBufferOffset) == 8);
static_assert(offsetof(SCSI_PASS_THROUGH, SenseInfoOffset) == kSptSenseInfoOffset);
static_assert(offsetof(SCSI_PASS_THROUGH, Cdb) == kSptCdb);
static_assert(sizeof(SCSI_PASS_THROUGH::Cdb) == kVendorCdbLength);

// Inquiry data of a storage port: a bus count, 8-byte bus entries from byte 4, and per bus a
// chain of unit records linked by offsets from the start of the buffer.
constexpr size_t kInquiryBufferSize = 32768;
constexpr size_t kBusInfoBusData = 4;
constexpr size_t kBusDataSize = 8;
constexpr size_t kBusDataUnitCount = 0;
constexpr size_t kBusDataFirstUnit = 4;
constexpr size_t kUnitPathId = 0;
constexpr size_t kUnitTargetId = 1;
constexpr size_t kUnitLun = 2;
constexpr size_t kUnitInquiryLength = 4;
constexpr size_t kUnitNext = 8;
constexpr size_t kUnitInquiry = 12;
constexpr uint8_t kProcessorDeviceType = 3;
constexpr size_t kInquiryVendor = 8;

static_assert(offsetof(SCSI_ADAPTER_BUS_INFO, BusData) == kBusInfoBusData);
static_assert(sizeof(SCSI_BUS_DATA) == kBusDataSize);
static_assert(offsetof(SCSI_BUS_DATA, NumberOfLogicalUnits) == kBusDataUnitCount);
static_assert(offsetof(SCSI_BUS_DATA, InquiryDataOffset) == kBusDataFirstUnit);
static_assert(offsetof(SCSI_INQUIRY_DATA, PathId) == kUnitPathId);
static_assert(offsetof(SCSI_INQUIRY_DATA, TargetId) == kUnitTargetId);
static_assert(offsetof(SCSI_INQUIRY_DATA, Lun) == kUnitLun);
static_assert(offsetof(SCSI_INQUIRY_DATA, InquiryDataLength) == kUnitInquiryLength);
static_assert(offsetof(SCSI_INQUIRY_DATA, NextInquiryDataOffset) == kUnitNext);
static_assert(offsetof(SCSI_INQUIRY_DATA, InquiryData) == kUnitInquiry);

// SetupAPI's detail record announces its fixed part, whatever the path length.
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 8);

}  // namespace arkwin
