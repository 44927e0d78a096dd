#include "fw_image.h"

#include <array>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "ark.h"

namespace {

constexpr uint32_t kCrcPolynomial = 0x04C11DB7u;
constexpr char kMagic[4] = {'I', 'N', 'F', 'O'};

// Slice-by-16: table k gives the crc of a byte followed by k zero bytes, so sixteen bytes are
// folded in with sixteen independent lookups instead of sixteen dependent steps.
constexpr size_t kCrcSlices = 16;
using CrcTables = std::array<std::array<uint32_t, 256>, kCrcSlices>;

constexpr CrcTables makeCrcTables() {
    CrcTables t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ kCrcPolynomial : crc << 1;
        t[0][i] = crc;
    }
    for (size_t k = 1; k < kCrcSlices; ++k)
        for (uint32_t i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] << 8) ^ t[0][t[k - 1][i] >> 24];
    return t;
}

constexpr CrcTables kCrcTables = makeCrcTables();

uint32_t crcByte(uint32_t crc, uint8_t byte) {
    return (crc << 8) ^ kCrcTables[0][((crc >> 24) ^ byte) & 0xFFu];
}

uint32_t readBe32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

uint32_t crcBlocks(uint32_t crc, const uint8_t* p, size_t blocks) {
    const auto& t = kCrcTables;
    for (; blocks != 0; --blocks, p += kCrcSlices) {
        const uint32_t w0 = crc ^ readBe32(p), w1 = readBe32(p + 4), w2 = readBe32(p + 8),
                       w3 = readBe32(p + 12);
        crc = t[15][w0 >> 24] ^ t[14][(w0 >> 16) & 0xFF] ^ t[13][(w0 >> 8) & 0xFF] ^
              t[12][w0 & 0xFF] ^ t[11][w1 >> 24] ^ t[10][(w1 >> 16) & 0xFF] ^
              t[9][(w1 >> 8) & 0xFF] ^ t[8][w1 & 0xFF] ^ t[7][w2 >> 24] ^ t[6][(w2 >> 16) & 0xFF] ^
              t[5][(w2 >> 8) & 0xFF] ^ t[4][w2 & 0xFF] ^ t[3][w3 >> 24] ^ t[2][(w3 >> 16) & 0xFF] ^
              t[1][(w3 >> 8) & 0xFF] ^ t[0][w3 & 0xFF];
    }
    return crc;
}

// Little-endian whatever the host is.
uint32_t readU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// One lock per (domain, controller), created on first use and kept for the process's life, so
// two updates of one controller never interleave their chunks.
std::mutex& flashLock(int domain, uint32_t controller) {
    static std::mutex registryMutex;
    static std::map<std::pair<int, uint32_t>, std::mutex> locks;
    std::lock_guard<std::mutex> guard(registryMutex);
    return locks[{domain, controller}];
}

}  // namespace

uint32_t fwCksum(const void* data, size_t length) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    uint32_t crc = crcBlocks(0, bytes, length / kCrcSlices);
    for (size_t i = length - length % kCrcSlices; i < length; ++i) crc = crcByte(crc, bytes[i]);
    for (uint64_t n = length; n != 0; n >>= 8) crc = crcByte(crc, uint8_t(n & 0xFFu));
    return ~crc;
}

bool checkFirmwareImage(const void* image, size_t length, FwImageLayout* layout) {
    if (image == nullptr || length % 4 != 0 || length < kFwTrailerSize) return false;
    const auto* bytes = static_cast<const uint8_t*>(image);
    const uint8_t* trailer = bytes + length - kFwTrailerSize;
    if (std::memcmp(trailer + 8, kMagic, sizeof kMagic) != 0) return false;

    const uint32_t sectionCount = readU32(trailer);
    const uint32_t pciIdCount = readU32(trailer + 4);
    // 64 bits: counts near 2^32 would otherwise wrap the table size to something small.
    const uint64_t tableSize =
        uint64_t(sectionCount) * kFwSectionEntrySize + uint64_t(pciIdCount) * kFwIdPairSize;
    if (tableSize > length - kFwTrailerSize) return false;

    const size_t tableOffset = length - kFwTrailerSize - size_t(tableSize);
    if (fwCksum(bytes + tableOffset, size_t(tableSize) + 12) != readU32(trailer + 12)) return false;

    for (uint32_t k = 0; k < sectionCount; ++k) {
        const uint8_t* entry = bytes + tableOffset + size_t(k) * kFwSectionEntrySize;
        const uint32_t offset = readU32(entry);
        const uint32_t sectionLength = readU32(entry + 4);
        if (uint64_t(offset) + sectionLength > length) return false;
        if (fwCksum(bytes + offset, sectionLength) != readU32(entry + 12)) return false;
    }

    if (layout != nullptr) {
        layout->tableOffset = tableOffset;
        layout->idListOffset = tableOffset + size_t(sectionCount) * kFwSectionEntrySize;
        layout->trailerOffset = length - kFwTrailerSize;
        layout->sectionCount = sectionCount;
        layout->pciIdCount = pciIdCount;
    }
    return true;
}

FwSection fwImageSection(const void* image, const FwImageLayout& layout, uint32_t k) {
    const uint8_t* entry =
        static_cast<const uint8_t*>(image) + layout.tableOffset + size_t(k) * kFwSectionEntrySize;
    return FwSection{readU32(entry), readU32(entry + 4), readU32(entry + 8), readU32(entry + 12)};
}

bool fwImageMatchesPciId(const void* image, const FwImageLayout& layout, uint32_t first,
                         uint32_t second) {
    const uint8_t* pair = static_cast<const uint8_t*>(image) + layout.idListOffset;
    for (uint32_t k = 0; k < layout.pciIdCount; ++k, pair += kFwIdPairSize) {
        const uint32_t word0 = readU32(pair);
        const uint32_t word1 = readU32(pair + 4);
        if ((word0 == first || word0 == kFwAnyId) && (word1 == second || word1 == kFwAnyId))
            return true;
    }
    return false;
}

const char* fwUpdateStatusText(FwUpdateStatus status) {
    switch (status) {
        case FwUpdateStatus::Ok:
            return "";
        case FwUpdateStatus::UnknownFormat:
            return "unknown file format";
        case FwUpdateStatus::NoPciId:
            return "fail to get PCI ID";
        case FwUpdateStatus::NotCompatible:
            return "file is not compatible with current device";
        case FwUpdateStatus::DownloadError:
            return "download error";
    }
    return "download error";
}

FwUpdateStatus updateFirmware(int domain, uint32_t controller, const void* image, size_t length) {
    FwImageLayout layout;
    if (!checkFirmwareImage(image, length, &layout)) return FwUpdateStatus::UnknownFormat;

    uint32_t first = 0, second = 0;
    if (arkGetPciId(domain, controller, &first, &second) != 0) return FwUpdateStatus::NoPciId;
    if (!fwImageMatchesPciId(image, layout, first, second)) return FwUpdateStatus::NotCompatible;

    // Taken only for a controller that answered, so the lock table stays as small as the
    // set of real controllers.
    std::lock_guard<std::mutex> guard(flashLock(domain, controller));
    const auto* bytes = static_cast<const uint8_t*>(image);
    for (uint32_t k = 0; k < layout.sectionCount; ++k) {
        const FwSection section = fwImageSection(image, layout, k);
        if (arkFlashDownload(domain, controller, section.target, bytes + section.offset,
                             section.length) != 0)
            return FwUpdateStatus::DownloadError;
    }
    return FwUpdateStatus::Ok;
}
