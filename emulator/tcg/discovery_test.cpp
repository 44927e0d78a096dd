#include "discovery.h"

#include <gtest/gtest.h>

#include "frame.h"

namespace emu::tcg {
namespace {

struct Descriptor {
    uint16_t code;
    Bytes bytes;  // header included
};

std::vector<Descriptor> Walk(const Bytes& d) {
    std::vector<Descriptor> out;
    size_t at = 48;
    while (at + 4 <= d.size()) {
        const size_t n = 4 + d[at + 3];
        out.push_back({GetBig16(&d[at]), Bytes(d.begin() + long(at), d.begin() + long(at + n))});
        at += n;
    }
    return out;
}

Bytes FromHexText(const char* text) {
    Bytes b;
    std::string digits;
    for (const char* p = text; *p; ++p)
        if (*p != ' ') digits += *p;
    EXPECT_TRUE(FromHex(digits, b)) << text;
    return b;
}

// Each profile's descriptors in order, the length the header gives, and its SSC descriptor
// written out from the standards' layouts.
TEST(Level0Discovery, EveryProfileReportsItsFeatures) {
    const struct {
        const char* profile;
        std::vector<uint16_t> codes;
        uint8_t lockingByte;
        uint16_t ssc;
        const char* sscBytes;
    } cases[] = {
        {"opal1",
         {0x0001, 0x0002, 0x0003, 0x0200},
         0x09,
         0x0200,
         "0200 10 10  1000 0001 00 0000000000000000000000"},
        {"opal2",
         {0x0001, 0x0002, 0x0003, 0x0201, 0x0202, 0x0203, 0x0402},
         0x09,
         0x0203,
         "0203 10 10  1000 0001 00 0004 0008 00 00 0000000000"},
        {"opalite",
         {0x0001, 0x0002, 0x0301, 0x0402},
         0x09,
         0x0301,
         "0301 10 10  1000 0001 0000000000 00 00 0000000000"},
        {"pyrite1",
         {0x0001, 0x0002, 0x0302},
         0x01,
         0x0302,
         "0302 10 10  1000 0001 0000000000 00 00 0000000000"},
        {"pyrite2",
         {0x0001, 0x0002, 0x0303, 0x0402, 0x0404},
         0x01,
         0x0303,
         "0303 10 10  1000 0001 0000000000 00 00 0000000000"},
        {"ruby1",
         {0x0001, 0x0002, 0x0003, 0x0202, 0x0304, 0x0402, 0x0404},
         0x49,
         0x0304,
         "0304 10 10  1000 0001 00 0004 0008 00 00 0000000000"},
        {"enterprise",
         {0x0001, 0x0002, 0x0100},
         0x4B,
         0x0100,
         "0100 10 10  07FE 0001 01 0000000000000000000000"},
        {"opal2+ruby1",
         {0x0001, 0x0002, 0x0003, 0x0201, 0x0202, 0x0203, 0x0304, 0x0402, 0x0404},
         0x09,
         0x0304,
         "0304 10 10  1000 0001 00 0004 0008 00 00 0000000000"},
        {"opal2+enterprise",
         {0x0001, 0x0002, 0x0003, 0x0100, 0x0201, 0x0202, 0x0203, 0x0402},
         0x09,
         0x0100,
         "0100 10 10  1000 0001 01 0000000000000000000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.profile);
        const Profile* p = FindProfile(c.profile);
        ASSERT_NE(p, nullptr);
        DiscoveryState s;
        s.lockingEnabled = p->dialect() == Dialect::Enterprise;
        const Bytes d = Level0Discovery(*p, s);
        EXPECT_EQ(GetBig32(&d[0]), d.size() - 4);
        EXPECT_EQ(GetBig32(&d[4]), 1u);
        const auto descriptors = Walk(d);
        std::vector<uint16_t> codes;
        codes.reserve(descriptors.size());
        for (const auto& x : descriptors) codes.push_back(x.code);
        EXPECT_EQ(codes, c.codes);
        for (const auto& x : descriptors) {
            if (x.code == 0x0001) {
                EXPECT_EQ(Hex(x.bytes), "0001100C110000000000000000000000");
            }
            if (x.code == 0x0002) {
                EXPECT_EQ(x.bytes[4], c.lockingByte);
            }
            if (x.code == c.ssc) {
                EXPECT_EQ(Hex(x.bytes), Hex(FromHexText(c.sscBytes)));
            }
        }
    }
}

TEST(Level0Discovery, OtherDescriptorsFollowTheirLayouts) {
    const Bytes d = Level0Discovery(*FindProfile("opal2+ruby1"), DiscoveryState{});
    std::map<uint16_t, std::string> seen;
    for (const auto& x : Walk(d)) seen[x.code] = Hex(x.bytes);
    // Geometry: align, block size 512, granularity 8, lowest aligned LBA 0.
    EXPECT_EQ(seen[0x0003], "0003101C01000000000000000000020000000000000000080000000000000000");
    // Single User Mode: 9 locking objects, Policy set.
    EXPECT_EQ(seen[0x0201],
              "0201100C"
              "00000009"
              "04"
              "00000000000000");
    // DataStore: 9 tables of at most 10 MiB in all, alignment 1.
    EXPECT_EQ(seen[0x0202], "0202100C0000000900A0000000000001");
    // Block SID: SID still the MSID, not blocked, cleared by a hardware reset.
    EXPECT_EQ(seen[0x0402],
              "0402100C"
              "00"
              "01"
              "00000000000000000000");
    // Data Removal: crypto erase (bit 2) taking 2 s (time field 1, seconds format).
    EXPECT_EQ(seen[0x0404],
              "040410200000040000000000000100000000000000000000000000000000000000000000");
}

TEST(Level0Discovery, LockingAndBlockSidFollowTheDriveState) {
    DiscoveryState s;
    s.lockingEnabled = s.locked = s.mbrEnabled = s.mbrDone = s.sidChanged = s.sidBlocked = true;
    const Bytes d = Level0Discovery(*FindProfile("opal2"), s);
    for (const auto& x : Walk(d)) {
        if (x.code == 0x0002) {
            EXPECT_EQ(x.bytes[4], 0x3F);
        }
        if (x.code == 0x0402) {
            EXPECT_EQ(x.bytes[4], 0x03);
        }
    }
}

}  // namespace
}  // namespace emu::tcg
