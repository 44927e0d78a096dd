#include "disk_pages.h"

#include <algorithm>
#include <cstring>

#include "ark.h"
#include "ata_security.h"

namespace emu {
namespace {

constexpr size_t kAttributeSlots = 30;

void PutWord(Page& p, size_t word, uint16_t v) {
    p[2 * word] = uint8_t(v);
    p[2 * word + 1] = uint8_t(v >> 8);
}

// ATA strings: space padded, the two bytes of each word swapped.
void PutText(Page& p, size_t firstWord, size_t words, const std::string& text) {
    for (size_t i = 0; i < 2 * words; ++i) {
        const char c = i < text.size() ? text[i] : ' ';
        p[2 * firstWord + (i ^ 1)] = uint8_t(c);
    }
}

void Seal(Page& p) {
    uint8_t sum = 0;
    for (size_t i = 0; i < 511; ++i) sum = uint8_t(sum + p[i]);
    p[511] = uint8_t(-sum);
}

SmartAttribute Attr(uint8_t id, uint16_t flags, uint8_t current, uint8_t worst, uint64_t raw,
                    uint8_t threshold) {
    SmartAttribute a;
    a.id = id;
    a.flags = flags;
    a.current = current;
    a.worst = worst;
    for (size_t i = 0; i < 6; ++i) a.raw[i] = uint8_t(raw >> (8 * i));
    a.threshold = threshold;
    return a;
}

}  // namespace

Page IdentifyPage(const Disk& d) {
    Page p{};
    const bool ssd = d.flags & ARK_DISK_SSD;
    const bool smartOn = d.flags & ARK_DISK_SMART_ON;
    const uint64_t lba28 = std::min<uint64_t>(d.capacity, 0x0FFFFFFF);
    PutWord(p, 0, 0x0040);
    PutWord(p, 1, 16383);
    PutWord(p, 3, 16);
    PutWord(p, 6, 63);
    PutText(p, 10, 10, d.serial);
    PutText(p, 23, 4, d.fwrev);
    PutText(p, 27, 20, d.model);
    PutWord(p, 47, 0x8010);
    PutWord(p, 48, d.trusted ? 0x4001 : 0x4000);  // bit 0: trusted computing supported
    PutWord(p, 49, 0x0F00);                       // LBA, DMA, IORDY
    PutWord(p, 50, 0x4000);
    PutWord(p, 53, 0x0007);
    PutWord(p, 60, uint16_t(lba28));
    PutWord(p, 61, uint16_t(lba28 >> 16));
    PutWord(p, 63, 0x0007);
    PutWord(p, 64, 0x0003);
    for (size_t w = 65; w <= 68; ++w) PutWord(p, w, 120);
    if (d.flags & ARK_DISK_QD_SUPPORTED) PutWord(p, 75, 31);
    PutWord(p, 76, (d.flags & ARK_DISK_QD_SUPPORTED) ? 0x010E : 0x000E);
    PutWord(p, 80, 0x07F0);
    // Supported sets: SMART, security, power management, write cache, look-ahead, NOP.
    uint16_t w82 = 0x4000 | 0x0001 | 0x0002 | 0x0008;
    if (d.flags & ARK_DISK_WC_SUPPORTED) w82 |= 0x0020;
    if (d.flags & ARK_DISK_RA_SUPPORTED) w82 |= 0x0040;
    PutWord(p, 82, w82);
    PutWord(p, 83, 0x7401);  // DOWNLOAD MICROCODE, 48-bit LBA, FLUSH CACHE (EXT)
    PutWord(p, 84, 0x4003);  // SMART error log and self-test
    uint16_t w85 = 0x4000 | 0x0008;
    if (smartOn) w85 |= 0x0001;
    if (d.flags & ARK_DISK_WC_ON) w85 |= 0x0020;
    if (d.flags & ARK_DISK_RA_ON) w85 |= 0x0040;
    PutWord(p, 85, w85);
    PutWord(p, 86, 0x3401);
    PutWord(p, 87, 0x4003);
    PutWord(p, 88, 0x407F);
    for (size_t i = 0; i < 4; ++i) PutWord(p, 100 + i, uint16_t(d.capacity >> (16 * i)));
    PutWord(p, 106, 0x4000);
    // Security: supported, enhanced erase supported, and the state.
    const DiskSecurity& sec = d.security;
    uint16_t w128 = 0x0021;
    if (sec.enabled) w128 |= 0x0002;
    if (sec.locked) w128 |= 0x0004;
    if (sec.frozen) w128 |= 0x0008;
    if (sec.attempts >= 5) w128 |= 0x0010;
    if (sec.enabled && sec.maximum) w128 |= 0x0100;
    PutWord(p, 128, w128);
    PutWord(p, 89, 60);  // 120 minutes
    PutWord(p, 90, 30);  // 60 minutes
    PutWord(p, 92, sec.masterRevision);
    // SANITIZE: the feature set, crypto scramble, overwrite, block erase, antifreeze lock.
    PutWord(p, 59, 0xF400 | 0x0010);
    // DOWNLOAD MICROCODE with offsets, 1 to 128 blocks per segment.
    PutWord(p, 119, 0x4010);
    PutWord(p, 234, 1);
    PutWord(p, 235, kMicrocodeMaxBlocks);
    PutWord(p, 168, ssd ? 3 : 2);
    PutWord(p, 217, ssd ? 1 : 7200);
    p[510] = 0xA5;
    Seal(p);
    return p;
}

Page SmartDataPage(const Disk& d) {
    Page p{};
    PutWord(p, 0, 0x0010);
    for (size_t i = 0; i < std::min(d.smart.size(), kAttributeSlots); ++i) {
        const SmartAttribute& a = d.smart[i];
        uint8_t* slot = p.data() + 2 + 12 * i;
        slot[0] = a.id;
        slot[1] = uint8_t(a.flags);
        slot[2] = uint8_t(a.flags >> 8);
        slot[3] = a.current;
        slot[4] = a.worst;
        std::memcpy(slot + 5, a.raw.data(), 6);
    }
    p[362] = 0x82;  // off-line collection completed, auto off-line on
    p[364] = 0x58;  // 600 s collection time
    p[365] = 0x02;
    p[367] = 0x7B;
    p[368] = 0x03;  // saves attributes across power cycles, auto-save
    p[370] = 0x01;  // error logging supported
    p[372] = 2;     // short self-test minutes
    p[373] = (d.flags & ARK_DISK_SSD) ? 10 : 180;
    p[374] = 5;
    Seal(p);
    return p;
}

Page SmartThresholdPage(const Disk& d) {
    Page p{};
    PutWord(p, 0, 0x0010);
    for (size_t i = 0; i < std::min(d.smart.size(), kAttributeSlots); ++i) {
        p[2 + 12 * i] = d.smart[i].id;
        p[3 + 12 * i] = d.smart[i].threshold;
    }
    Seal(p);
    return p;
}

bool SmartThresholdExceeded(const Disk& d) {
    for (const SmartAttribute& a : d.smart) {
        if ((a.flags & 0x1) && a.threshold && a.current <= a.threshold) return true;
    }
    return false;
}

std::vector<SmartAttribute> SmartFamily(const std::string& family) {
    if (family == "hdd") {
        return {Attr(1, 0x000F, 117, 99, 148902312, 6), Attr(3, 0x0003, 97, 97, 0, 0),
                Attr(4, 0x0032, 100, 100, 123, 20),     Attr(5, 0x0033, 100, 100, 0, 10),
                Attr(7, 0x000F, 80, 60, 98765432, 30),  Attr(9, 0x0032, 90, 90, 8760, 0),
                Attr(10, 0x0013, 100, 100, 0, 97),      Attr(12, 0x0032, 100, 100, 120, 20),
                Attr(187, 0x0032, 100, 100, 0, 0),      Attr(190, 0x0022, 66, 55, 34, 45),
                Attr(194, 0x0022, 34, 45, 34, 0),       Attr(197, 0x0012, 100, 100, 0, 0),
                Attr(198, 0x0010, 100, 100, 0, 0),      Attr(199, 0x003E, 200, 200, 0, 0)};
    }
    if (family == "hdd_enterprise") {
        return {Attr(1, 0x000B, 100, 100, 0, 16),    Attr(2, 0x0005, 134, 134, 103, 54),
                Attr(3, 0x0007, 100, 100, 0, 24),    Attr(4, 0x0012, 100, 100, 31, 0),
                Attr(5, 0x0033, 100, 100, 0, 5),     Attr(7, 0x000B, 100, 100, 0, 67),
                Attr(8, 0x0005, 128, 128, 18, 20),   Attr(9, 0x0012, 97, 97, 26280, 0),
                Attr(10, 0x0013, 100, 100, 0, 60),   Attr(12, 0x0032, 100, 100, 31, 0),
                Attr(192, 0x0032, 100, 100, 412, 0), Attr(193, 0x0012, 100, 100, 412, 0),
                Attr(194, 0x0002, 171, 171, 35, 0),  Attr(196, 0x0032, 100, 100, 0, 0),
                Attr(197, 0x0022, 100, 100, 0, 0),   Attr(198, 0x0008, 100, 100, 0, 0),
                Attr(199, 0x000A, 200, 200, 0, 0)};
    }
    if (family == "ssd") {
        return {Attr(5, 0x0032, 100, 100, 0, 10),     Attr(9, 0x0032, 99, 99, 4380, 0),
                Attr(12, 0x0032, 99, 99, 77, 0),      Attr(170, 0x0033, 100, 100, 0, 10),
                Attr(171, 0x0032, 100, 100, 0, 0),    Attr(172, 0x0032, 100, 100, 0, 0),
                Attr(173, 0x0033, 98, 98, 21, 5),     Attr(174, 0x0032, 100, 100, 12, 0),
                Attr(183, 0x0032, 100, 100, 0, 0),    Attr(187, 0x0032, 100, 100, 0, 0),
                Attr(194, 0x0022, 67, 60, 33, 0),     Attr(199, 0x0032, 100, 100, 0, 0),
                Attr(241, 0x0032, 100, 100, 9120, 0), Attr(242, 0x0032, 100, 100, 8021, 0)};
    }
    if (family == "ssd_tlc") {
        return {Attr(5, 0x0033, 100, 100, 0, 10),   Attr(9, 0x0032, 98, 98, 6100, 0),
                Attr(12, 0x0032, 99, 99, 210, 0),   Attr(177, 0x0013, 95, 95, 48, 0),
                Attr(179, 0x0013, 100, 100, 0, 10), Attr(181, 0x0032, 100, 100, 0, 10),
                Attr(182, 0x0032, 100, 100, 0, 10), Attr(183, 0x0013, 100, 100, 0, 10),
                Attr(187, 0x0032, 100, 100, 0, 0),  Attr(190, 0x0032, 64, 52, 36, 0),
                Attr(195, 0x001A, 200, 200, 0, 0),  Attr(199, 0x003E, 100, 100, 0, 0),
                Attr(235, 0x0012, 99, 99, 140, 0),  Attr(241, 0x0032, 99, 99, 28371, 0)};
    }
    return {};
}

bool IsSmartFamily(const std::string& family) {
    return family == "none" || !SmartFamily(family).empty();
}

}  // namespace emu
