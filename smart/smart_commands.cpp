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

// A command without data; on success the reply header is stored in `reply` when given.
int sendNoData(int domain, uint32_t disk, uint8_t feature, ARK_ATA_PASSTHROUGH* reply) {
    uint8_t buffer[kNoDataBufferSize] = {};
    putHeader(buffer, disk, feature, false);
    if (arkAtaPassthrough(domain, buffer) != 0) return 1;
    if (reply != nullptr) std::memcpy(reply, buffer + kHeaderSize, sizeof *reply);
    return 0;
}

int readSector(int domain, uint32_t disk, uint8_t feature, uint8_t* page) {
    if (page == nullptr) return 1;
    uint8_t buffer[kReadBufferSize] = {};
    putHeader(buffer, disk, feature, true);
    if (arkAtaPassthrough(domain, buffer) != 0) return 1;
    std::memcpy(page, buffer + 2 * kHeaderSize, kSmartPageSize);
    return 0;
}

}  // namespace

int smart_enable(int domain, uint32_t disk) {
    return sendNoData(domain, disk, kEnableOperations, nullptr);
}

int smart_disable(int domain, uint32_t disk) {
    return sendNoData(domain, disk, kDisableOperations, nullptr);
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
