#include "identify.h"

#include <cstdio>

namespace {

uint16_t word(const uint8_t* page, int w) {
    return static_cast<uint16_t>(page[2 * w] | page[2 * w + 1] << 8);
}

bool bit(const uint8_t* page, int w, int b) {
    return (word(page, w) >> b) & 1;
}

// An ATA string: two characters per word, the first in the high byte; trailing blanks cut.
std::string text(const uint8_t* page, int first, int words) {
    std::string s;
    for (int w = first; w < first + words; ++w) {
        s += static_cast<char>(page[2 * w + 1]);
        s += static_cast<char>(page[2 * w]);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
    for (char& c : s)
        if (c < 0x20 || c > 0x7E) c = '?';
    return s;
}

const char* ataVersion(uint16_t major) {
    static const char* const kNames[] = {nullptr,       nullptr,       nullptr,       nullptr,
                                         "ATA/ATAPI-4", "ATA/ATAPI-5", "ATA/ATAPI-6", "ATA/ATAPI-7",
                                         "ATA8-ACS",    "ACS-2",       "ACS-3",       "ACS-4"};
    if (major == 0 || major == 0xFFFF) return "not reported";
    for (int b = 11; b >= 4; --b)
        if ((major >> b) & 1) return kNames[b];
    return "not reported";
}

std::string transport(const uint8_t* page) {
    const uint16_t sata = word(page, 76);
    if (sata == 0 || sata == 0xFFFF) return "Parallel ATA";
    if (sata & 0x0008) return "Serial ATA Gen3 (6.0 Gb/s)";
    if (sata & 0x0004) return "Serial ATA Gen2 (3.0 Gb/s)";
    if (sata & 0x0002) return "Serial ATA Gen1 (1.5 Gb/s)";
    return "Serial ATA";
}

std::string feature(bool supported, bool enabled) {
    if (!supported) return "not supported";
    return enabled ? "supported, enabled" : "supported, disabled";
}

// Erase time words: minutes = 2 x value; 255 means longer than 508 minutes.
std::string eraseTime(uint16_t value) {
    value &= 0xFF;
    if (value == 0) return "not reported";
    if (value == 255) return "more than 508 min";
    return std::to_string(2 * value) + " min";
}

void line(std::string& out, const char* label, const std::string& value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%-20s", label);
    out += buffer + value + "\n";
}

}  // namespace

std::string identifyReport(const uint8_t* p) {
    std::string out;
    line(out, "Model Number:", text(p, 27, 20));
    line(out, "Serial Number:", text(p, 10, 10));
    line(out, "Firmware Revision:", text(p, 23, 4));

    uint64_t sectors = 0;
    if (bit(p, 83, 10)) {
        for (int i = 3; i >= 0; --i) sectors = sectors << 16 | word(p, 100 + i);
    } else {
        sectors = static_cast<uint64_t>(word(p, 61)) << 16 | word(p, 60);
    }
    const uint64_t bytes = sectors * 512;
    char capacity[80];
    std::snprintf(capacity, sizeof capacity, "%llu sectors (%llu.%03llu GB)",
                  static_cast<unsigned long long>(sectors),
                  static_cast<unsigned long long>(bytes / 1000000000),
                  static_cast<unsigned long long>(bytes % 1000000000 / 1000000));
    line(out, "Capacity:", capacity);
    line(out, "ATA Version:", ataVersion(word(p, 80)));
    line(out, "Transport:", transport(p));
    const uint16_t rotation = word(p, 217);
    if (rotation == 1)
        line(out, "Rotation:", "solid state");
    else if (rotation >= 0x0401 && rotation != 0xFFFF)
        line(out, "Rotation:", std::to_string(rotation) + " rpm");

    line(out, "SMART:", feature(bit(p, 82, 0), bit(p, 85, 0)));
    const uint16_t security = word(p, 128);
    std::string sec = feature(bit(p, 82, 1) || (security & 1), security & 0x0002);
    if (security & 1) {
        if (security & 0x0004) sec += ", locked";
        if (security & 0x0008) sec += ", frozen";
        if (security & 0x0010) sec += ", attempts exceeded";
        if (security & 0x0002) sec += (security & 0x0100) ? ", level maximum" : ", level high";
    }
    line(out, "Security:", sec);
    if (security & 1) {
        line(out, "  Erase time:", eraseTime(word(p, 89)));
        line(out, "  Enhanced erase:",
             (security & 0x0020) ? "supported, " + eraseTime(word(p, 90)) : "not supported");
    }
    line(out, "Write cache:", feature(bit(p, 82, 5), bit(p, 85, 5)));
    line(out, "Read look-ahead:", feature(bit(p, 82, 6), bit(p, 85, 6)));
    const bool ncq = bit(p, 76, 8);
    line(out, "NCQ:",
         ncq ? "supported, queue depth " + std::to_string((word(p, 75) & 0x1F) + 1)
             : std::string("not supported"));
    line(out, "TRIM:", bit(p, 169, 0) ? "supported" : "not supported");
    if (bit(p, 59, 12)) {
        std::string modes;
        if (bit(p, 59, 15)) modes += ", block erase";
        if (bit(p, 59, 14)) modes += ", overwrite";
        if (bit(p, 59, 13)) modes += ", crypto scramble";
        if (bit(p, 59, 10)) modes += ", antifreeze lock";
        line(out, "Sanitize:", "supported" + modes);
    } else {
        line(out, "Sanitize:", "not supported");
    }
    if (bit(p, 83, 0)) {
        std::string modes = "supported";
        if (bit(p, 119, 4)) modes += ", segmented";
        line(out, "Download microcode:", modes);
    } else {
        line(out, "Download microcode:", "not supported");
    }
    return out;
}
