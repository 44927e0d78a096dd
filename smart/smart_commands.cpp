#include "smart_commands.h"

#include <cstring>

#include "ark.h"
#include "smart_profile.h"

namespace {

constexpr uint8_t kAtaSmart = 0xB0;
constexpr uint8_t kReadData = 0xD0;
constexpr uint8_t kReadThresholds = 0xD1;
constexpr uint8_t kEnableOperations = 0xD8;
constexpr uint8_t kDisableOperations = 0xD9;
constexpr uint8_t kReturnStatus = 0xDA;

// The SMART signature in LBA mid/high; RETURN STATUS flips it when a threshold is exceeded.
constexpr uint16_t kLbaMid = 0x4F;
constexpr uint16_t kLbaHigh = 0xC2;
constexpr uint8_t kDeviceLba = 0xA0;

// Status register bits of the reply: the disk rejected the command or faulted. The request
// itself still succeeds then, so these must be checked to not report a refusal as success.
constexpr uint8_t kStatusError = 0x01;
constexpr uint8_t kStatusDeviceFault = 0x20;

constexpr size_t kHeaderSize = sizeof(ARK_ATA_PASSTHROUGH);
// Request header, then room for the reply header, then (for reads) the sector.
constexpr size_t kNoDataBufferSize = 2 * kHeaderSize;
constexpr size_t kReadBufferSize = 2 * kHeaderSize + kSmartPageSize;

void putHeader(uint8_t* buffer, uint32_t disk, uint8_t feature, bool readsSector) {
    ARK_ATA_PASSTHROUGH header{};
    header.disk = disk;
    header.features = feature;
    header.sector_count = 0;
    header.lba_low = 0;
    header.lba_mid = kLbaMid;
    header.lba_high = kLbaHigh;
    header.device = kDeviceLba;
    header.command = kAtaSmart;
    header.sectors = readsSector ? 1 : 0;
    header.protocol = readsSector ? ARK_ATA_DATA_IN : 0;
    std::memcpy(buffer, &header, sizeof header);
}

// Sends the request in `buffer` and reads the reply header behind it; 0 when the request
// succeeded and the disk completed the command.
int send(int domain, uint8_t* buffer, ARK_ATA_PASSTHROUGH* reply) {
    if (arkAtaPassthrough(domain, buffer) != 0) return 1;
    std::memcpy(reply, buffer + kHeaderSize, sizeof *reply);
    return (reply->command & (kStatusError | kStatusDeviceFault)) != 0 ? 1 : 0;
}

// A command without data; on success the reply header is stored in `reply`.
int sendNoData(int domain, uint32_t disk, uint8_t feature, ARK_ATA_PASSTHROUGH* reply) {
    uint8_t buffer[kNoDataBufferSize] = {};
    putHeader(buffer, disk, feature, false);
    return send(domain, buffer, reply);
}

int readSector(int domain, uint32_t disk, uint8_t feature, uint8_t* page) {
    if (page == nullptr) return 1;
    uint8_t buffer[kReadBufferSize] = {};
    putHeader(buffer, disk, feature, true);
    ARK_ATA_PASSTHROUGH reply{};
    if (send(domain, buffer, &reply) != 0) return 1;
    std::memcpy(page, buffer + 2 * kHeaderSize, kSmartPageSize);
    return 0;
}

}  // namespace

int smart_enable(int domain, uint32_t disk) {
    ARK_ATA_PASSTHROUGH reply{};
    return sendNoData(domain, disk, kEnableOperations, &reply);
}

int smart_disable(int domain, uint32_t disk) {
    ARK_ATA_PASSTHROUGH reply{};
    return sendNoData(domain, disk, kDisableOperations, &reply);
}

int smart_status(int domain, uint32_t disk) {
    ARK_ATA_PASSTHROUGH reply{};
    if (sendNoData(domain, disk, kReturnStatus, &reply) != 0) return 1;
    return reply.lba_mid == kLbaMid && reply.lba_high == kLbaHigh ? 0 : 1;
}

int smart_read_values(int domain, uint32_t disk, uint8_t* page) {
    return readSector(domain, disk, kReadData, page);
}

int smart_read_thresholds(int domain, uint32_t disk, uint8_t* page) {
    return readSector(domain, disk, kReadThresholds, page);
}
