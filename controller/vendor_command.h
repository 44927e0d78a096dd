#pragma once

// The 16-byte vendor SCSI command that carries one controller request to the controller's
// processor device, and the rule that decides whether such a command completed. The Windows
// processor port and the Linux SG port both speak it, so both take it from here.

#include <cstddef>
#include <cstdint>

// All fields little-endian.
#pragma pack(push, 1)
typedef struct ARK_VENDOR_CDB {
    uint8_t opcode;     // kArkVendorOpcode
    char signature[3];  // kArkVendorTag, no NUL
    uint32_t code;
    uint32_t inLen;
    uint32_t outLen;
} ARK_VENDOR_CDB;
#pragma pack(pop)
static_assert(sizeof(ARK_VENDOR_CDB) == 16);
static_assert(offsetof(ARK_VENDOR_CDB, opcode) == 0);
static_assert(offsetof(ARK_VENDOR_CDB, signature) == 1);
static_assert(offsetof(ARK_VENDOR_CDB, code) == 4);
static_assert(offsetof(ARK_VENDOR_CDB, inLen) == 8);
static_assert(offsetof(ARK_VENDOR_CDB, outLen) == 12);

constexpr uint8_t kArkVendorOpcode = 0x02;
// Also the vendor text the controller's processor device reports in its inquiry data.
constexpr char kArkVendorTag[3] = {'A', 'R', 'K'};

// Writes the command for one request into the 16 bytes at `cdb`.
inline void arkBuildVendorCdb(uint8_t* cdb, uint32_t code, uint32_t inLen, uint32_t outLen) {
    auto put32 = [](uint8_t* p, uint32_t v) {
        for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
    };
    cdb[0] = kArkVendorOpcode;
    for (size_t i = 0; i < sizeof kArkVendorTag; ++i) cdb[1 + i] = uint8_t(kArkVendorTag[i]);
    put32(cdb + offsetof(ARK_VENDOR_CDB, code), code);
    put32(cdb + offsetof(ARK_VENDOR_CDB, inLen), inLen);
    put32(cdb + offsetof(ARK_VENDOR_CDB, outLen), outLen);
}

// Whether a command that ended with `scsiStatus` and the first `senseLen` bytes of sense data
// `sense` completed: GOOD, or CHECK CONDITION reporting a RECOVERED ERROR as a current error
// in fixed (0x70, key in byte 2) or descriptor (0x72, key in byte 1) format. Deferred errors
// (0x71, 0x73) and sense too short to hold its key fail. Bit 7 of byte 0 is the fixed format's
// VALID flag, not part of the response code.
inline bool arkVendorCommandCompleted(uint8_t scsiStatus, const uint8_t* sense, size_t senseLen) {
    constexpr uint8_t kGood = 0x00, kCheckCondition = 0x02, kRecoveredError = 0x01;
    if (scsiStatus == kGood) return true;
    if (scsiStatus != kCheckCondition || sense == nullptr || senseLen < 1) return false;
    const uint8_t responseCode = sense[0] & 0x7F;
    if (responseCode == 0x70) return senseLen > 2 && (sense[2] & 0x0F) == kRecoveredError;
    if (responseCode == 0x72) return senseLen > 1 && (sense[1] & 0x0F) == kRecoveredError;
    return false;
}
