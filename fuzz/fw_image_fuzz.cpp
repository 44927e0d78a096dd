// The firmware container check over any bytes: as given, and resealed (every crc the input
// leaves wrong put right) so the walk past the crc checks is reached too. An accepted image's
// metadata and sections must lie inside it, and the table-driven crc must agree with the
// bit-at-a-time one.

#include <cstdint>
#include <cstring>
#include <vector>

#include "fw_image.h"

namespace {

uint32_t BitwiseCksum(const uint8_t* data, size_t length) {
    uint32_t crc = 0;
    auto feed = [&crc](uint8_t byte) {
        crc ^= uint32_t(byte) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    };
    for (size_t i = 0; i < length; ++i) feed(data[i]);
    for (uint64_t n = length; n != 0; n >>= 8) feed(uint8_t(n));
    return ~crc;
}

uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

void Walk(const std::vector<uint8_t>& image) {
    FwImageLayout layout;
    if (!checkFirmwareImage(image.data(), image.size(), &layout)) return;
    if (layout.trailerOffset + kFwTrailerSize != image.size() ||
        layout.idListOffset + uint64_t(layout.pciIdCount) * kFwIdPairSize != layout.trailerOffset ||
        layout.tableOffset + uint64_t(layout.sectionCount) * kFwSectionEntrySize !=
            layout.idListOffset)
        __builtin_trap();
    for (uint32_t k = 0; k < layout.sectionCount; ++k) {
        const FwSection s = fwImageSection(image.data(), layout, k);
        if (uint64_t(s.offset) + s.length > image.size()) __builtin_trap();
        if (fwCksum(image.data() + s.offset, s.length) != s.crc) __builtin_trap();
    }
    fwImageMatchesPciId(image.data(), layout, 0x12345678u, 0x9ABCDEF0u);
}

// Puts right the trailer crc and the crc of every section entry that lies inside the image.
void Reseal(std::vector<uint8_t>& image) {
    if (image.size() < kFwTrailerSize || image.size() % 4) return;
    uint8_t* trailer = image.data() + image.size() - kFwTrailerSize;
    const uint64_t table = uint64_t(Get32(trailer)) * kFwSectionEntrySize +
                           uint64_t(Get32(trailer + 4)) * kFwIdPairSize;
    if (table > image.size() - kFwTrailerSize) return;
    uint8_t* start = trailer - table;
    for (uint32_t k = 0; k < Get32(trailer); ++k) {
        uint8_t* entry = start + size_t(k) * kFwSectionEntrySize;
        const uint64_t offset = Get32(entry), length = Get32(entry + 4);
        if (offset + length <= image.size())
            Put32(entry + 12, fwCksum(image.data() + offset, size_t(length)));
    }
    Put32(trailer + 12, fwCksum(start, size_t(table) + 12));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> image(data, data + size);
    if (fwCksum(image.data(), image.size()) != BitwiseCksum(image.data(), image.size()))
        __builtin_trap();
    Walk(image);
    Reseal(image);
    Walk(image);
    return 0;
}
