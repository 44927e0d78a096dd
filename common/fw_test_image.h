#pragma once

// Test side: writes firmware images straight from the container's description, sharing no
// code with the parser, so tests can build valid images and precise mutations of them.

#include <cstddef>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace fwtest {

using Bytes = std::vector<uint8_t>;

// Bit-at-a-time POSIX cksum CRC, kept apart from the table-driven one under test; the image
// builder uses it, and it is itself checked against /usr/bin/cksum.
inline uint32_t referenceCksum(const uint8_t* data, size_t length) {
    uint32_t crc = 0;
    auto feed = [&crc](uint8_t byte) {
        crc ^= uint32_t(byte) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    };
    for (size_t i = 0; i < length; ++i) feed(data[i]);
    for (size_t n = length; n != 0; n >>= 8) feed(uint8_t(n));
    return ~crc;
}

inline void put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

inline uint32_t get32(const Bytes& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

inline void append32(Bytes& b, uint32_t v) {
    b.resize(b.size() + 4);
    put32(b, b.size() - 4, v);
}

// Fixed-seed bytes: the same for the same seed on every run.
inline Bytes patterned(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& byte : b) byte = uint8_t(rng());
    return b;
}

// What goes into an image; buildImage lays it out.
struct ImagePlan {
    struct Section {
        Bytes data;
        uint32_t target;
    };
    std::vector<Section> sections;
    std::vector<std::pair<uint32_t, uint32_t>> ids;
    Bytes front;  // bytes before the first section that no section covers
};

// Byte offsets of section entry k and of the id list within an image built from `plan`.
inline size_t entryAt(const Bytes& image, const ImagePlan& plan, size_t k) {
    return image.size() - 16 - 16 * plan.sections.size() - 8 * plan.ids.size() + 16 * k;
}
inline size_t idListAt(const Bytes& image, const ImagePlan& plan) {
    return image.size() - 16 - 8 * plan.ids.size();
}

// Recomputes the trailer crc over the table size as a 32-bit reader would compute it from the
// trailer's counts; that equals the true size unless the counts wrap.
inline void reseal(Bytes& image) {
    const size_t trailer = image.size() - 16;
    const uint32_t table = get32(image, trailer) * 16u + get32(image, trailer + 4) * 8u;
    if (table > trailer) return;  // no crc to compute; the length alone refuses the image
    put32(image, trailer + 12, referenceCksum(image.data() + trailer - table, table + 12));
}

// Section data at the front (each padded with zeros to a multiple of 4), then the section
// table, the id list and the trailer with a correct crc.
inline Bytes buildImage(const ImagePlan& plan) {
    Bytes image = plan.front;
    image.resize((image.size() + 3) & ~size_t(3));
    Bytes table;
    for (const auto& s : plan.sections) {
        append32(table, uint32_t(image.size()));
        append32(table, uint32_t(s.data.size()));
        append32(table, s.target);
        append32(table, referenceCksum(s.data.data(), s.data.size()));
        image.insert(image.end(), s.data.begin(), s.data.end());
        image.resize((image.size() + 3) & ~size_t(3));
    }
    image.insert(image.end(), table.begin(), table.end());
    for (const auto& [first, second] : plan.ids) {
        append32(image, first);
        append32(image, second);
    }
    append32(image, uint32_t(plan.sections.size()));
    append32(image, uint32_t(plan.ids.size()));
    image.insert(image.end(), {'I', 'N', 'F', 'O'});
    append32(image, 0);
    reseal(image);
    return image;
}

}  // namespace fwtest
