#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "smart_profile.h"

namespace {

constexpr uint32_t kHdd = 0;
constexpr uint32_t kSsd = ARK_DISK_SSD;

const std::vector<uint8_t> kQ55 = {5, 9, 12, 164, 165, 166, 167};

struct MatchCase {
    const char* why;
    std::string model;
    std::string fwrev;
    uint32_t flags;
    std::vector<uint8_t> slots;  // attribute ids from slot 0
    int expected;                // profile number; -1 for the default profile
    const char* pageTag = "";    // bytes 400-401 of the page
};

ARK_DISK_INFO diskOf(const MatchCase& c) {
    ARK_DISK_INFO disk{};
    std::memcpy(disk.model, c.model.data(), std::min(c.model.size(), sizeof disk.model));
    std::memcpy(disk.fwrev, c.fwrev.data(), std::min(c.fwrev.size(), sizeof disk.fwrev));
    disk.flags = c.flags;
    return disk;
}

std::vector<uint8_t> pageOf(const MatchCase& c) {
    std::vector<uint8_t> page(kSmartPageSize, 0);
    for (size_t k = 0; k < c.slots.size(); ++k) page[2 + 12 * k] = c.slots[k];
    std::memcpy(page.data() + 400, c.pageTag, std::strlen(c.pageTag));
    return page;
}

int profileNumber(const SmartProfile* profile) {
    for (size_t i = 0; i < kSmartProfileCount; ++i) {
        if (smartProfiles[i] == profile) return static_cast<int>(i);
    }
    EXPECT_EQ(profile, &smartDefaultProfile);
    return -1;
}

TEST(FindSmartProfile, FirstMatchingRuleWins) {
    const std::string fullModel(44, 'X');  // fills the field: no NUL inside it
    const MatchCase cases[] = {
        {"a hard disk gets profile 0 whatever its model", "KINGSTON SA400", "", kHdd, {}, 0},
        {"a hard disk with an empty model", "", "", kHdd, {1, 5, 9}, 0},
        {"BarraCuda SSD: profile 10 comes first", "ST BarraCuda X1", "", kSsd, {}, 10},
        {"no family rule: profile 46", "Generic Flash 512", "", kSsd, {}, 46},
        {"HANYE-Q55 with its signature", "HANYE-Q55 1TB", "", kSsd, kQ55, 41},
        {"HANYE-Q55 in any case", "hanye-q55", "", kSsd, kQ55, 41},
        {"the same signature without that model", "Other 1TB", "", kSsd, kQ55, 40},
        {"signature 5, 9, 12, 161, ...",
         "Other",
         "",
         kSsd,
         {5, 9, 12, 161, 164, 165, 166, 167},
         40},
        {"1006 and 8U after the start", "SanDisk SD1006-8U", "", kSsd, {}, 1},
        {"1006 after the start only", "SanDisk SD1006", "", kSsd, {}, 2},
        {"model begins with 1006", "1006 SanDisk 8U", "", kSsd, {}, 8},
        {"8U only at the start", "8U SanDisk 1006", "", kSsd, {}, 2},
        {"X400 with 175 in slot 2", "SanDisk X400", "", kSsd, {1, 5, 175}, 3},
        {"X600 2280 with 175 in slot 3", "SanDisk X600 2280", "", kSsd, {1, 5, 9, 175}, 3},
        {"X400 without 175 in slot 2 or 3", "SanDisk X400", "", kSsd, {175, 5, 9, 12, 175}, 8},
        {"X600 without 2280 takes the model branch", "SanDisk X600 Z400", "", kSsd, {}, 3},
        {"G1012 line", "SanDisk G1012 X1", "", kSsd, {}, 3},
        {"G1001 with 7S after the start", "SanDisk G1001-7S", "", kSsd, {}, 4},
        {"G1001, 6S only at the start", "6SanDisk G1001", "", kSsd, {}, 5},
        {"data-centre line", "SanDisk SDLF1DAR-X1", "", kSsd, {}, 6},
        {"early client line", "SD Ultra pSSD", "", kSsd, {}, 7},
        {"family by SDLF1 alone", "SDLF1XYZ", "", kSsd, {}, 8},
        {"WDC prefix", "WDC X1", "", kSsd, {}, 9},
        {"WD prefix", "WD X1", "", kSsd, {}, 9},
        {"ST but STT", "STT SSD", "", kSsd, {}, 46},
        {"ZA prefix", "ZA X1", "", kSsd, {}, 10},
        {"signature of profile 11",
         "Generic",
         "",
         kSsd,
         {1, 5, 9, 12, 100, 102, 103, 170, 171, 172, 173, 174, 177, 183, 187},
         11},
        {"ids 187, 0", "Generic", "", kSsd, {187, 0}, 13},
        {"MTRON prefix", "MTRON X1", "", kSsd, {187, 5}, 13},
        {"TOSHIBA in any case", "toshiba ssd x1", "", kSsd, {}, 14},
        {"ADATA SU700 prefix", "ADATA SU700", "", kSsd, {}, 15},
        {"signature of profile 16",
         "Generic",
         "",
         kSsd,
         {1, 2, 3, 5, 7, 8, 9, 10, 12, 168, 175, 192, 194},
         16},
        {"signature of profile 17", "Generic", "", kSsd, {12, 9, 194, 229, 232, 233}, 17},
        {"signature of profile 18", "Generic", "", kSsd, {1, 9, 12, 184, 195, 196}, 18},
        {"boot-drive line", "INTEL SSDSCKHB X1", "", kSsd, {}, 19},
        {"intel in any case", "intel ssd", "", kSsd, {}, 20},
        {"Solidigm", "Solidigm SSD", "", kSsd, {}, 20},
        {"signature 3, 4, 5, 9, 12, 192, 225", "Generic", "", kSsd, {3, 4, 5, 9, 12, 192, 225}, 20},
        {"SAMSUNG SSD", "SAMSUNG X1", "", kSsd, {}, 21},
        {"samsung is exact case", "samsung ssd", "", kSsd, {}, 46},
        {"signature 9, 12, 178, 179, 180", "Generic", "", kSsd, {9, 12, 178, 179, 180}, 21},
        {"MICRON_M600 in any case", "micron_m600_mtfd", "", kSsd, {}, 22},
        {"MX500SSD with other firmware", "CT MX500SSD X1", "M3CR023", kSsd, {}, 22},
        {"MX500SSD with MU01 firmware", "CT MX500SSD X1", "MU01", kSsd, {}, 23},
        {"C500 with H firmware", "C500 SSD", "H123", kSsd, {}, 46},
        {"C500 with other firmware", "C500 SSD", "A123", kSsd, {}, 23},
        {"CT...SSD in any case", "ct bx100ssd x1", "MU01", kSsd, {}, 23},
        {"CRUCIAL prefix", "Crucial_CT", "", kSsd, {}, 23},
        {"SandForce in the model", "Generic SandForce Driven", "", kSsd, {}, 24},
        {"signature 1, 5, 9, 12, 171, 172", "Generic", "", kSsd, {1, 5, 9, 12, 171, 172}, 24},
        {"OCZ-TRION", "OCZ-TRION X1", "", kSsd, {}, 25},
        {"ocz with the later signature", "ocz-x1", "", kSsd, {1, 3, 4, 5, 9, 12, 232, 233}, 25},
        {"OCZ otherwise", "OCZ-X1", "", kSsd, {}, 26},
        {"PANASONIC RP-SSB", "Panasonic RP-SSB X1", "", kSsd, {}, 26},
        {"CV8- line", "LITE CV8-X1", "", kSsd, {}, 27},
        {"PLEXTOR prefix", "PLEXTOR X1", "", kSsd, {}, 28},
        {"KINGSTON SUV400", "KINGSTON SUV400 X1", "", kSsd, {}, 29},
        {"KINGSTON KC600", "KINGSTON KC600 X1", "", kSsd, {}, 30},
        {"KINGSTON DC500", "KINGSTON SEDC500 X1", "", kSsd, {}, 31},
        {"KINGSTON SA400", "KINGSTON SA400 X1", "", kSsd, {}, 32},
        {"KINGSTON is exact case", "Kingston SA400", "", kSsd, {}, 46},
        {"Corsair prefix", "Corsair X1", "", kSsd, {}, 33},
        {"signature of profile 34",
         "Generic",
         "",
         kSsd,
         {1, 5, 9, 12, 161, 162, 163, 164, 166, 167},
         34},
        {"KINGSTON SHSS", "KINGSTON SHSS X1", "", kSsd, {}, 35},
        {"HFS prefix", "HFS X1", "", kSsd, {}, 36},
        {"KIOXIA", "KIOXIA X1", "", kSsd, {}, 37},
        {"TS with TS at byte 400", "TS X1", "", kSsd, {}, 38, "TS"},
        {"TS with SM at byte 400", "TS X1", "", kSsd, {}, 38, "SM"},
        {"TS with another tag", "TS X1", "", kSsd, {}, 46, "XX"},
        {"ADATA SX950", "ADATA SX950", "", kSsd, {}, 38},
        {"short profile 38 signature",
         "Generic",
         "",
         kSsd,
         {1, 5, 9, 12, 160, 161, 163, 148, 149, 150, 151},
         38},
        {"profile 39 signature without 194",
         "Generic",
         "",
         kSsd,
         {1, 9, 12, 168, 170, 173, 192, 218, 231, 241},
         39},
        {"MAXIO prefix", "maxio ssd", "", kSsd, {}, 41},
        {"signature 5, 9, 12, 167, 168, 169", "Generic", "", kSsd, {5, 9, 12, 167, 168, 169}, 41},
        {"firmware SF", "Generic", "SF1234", kSsd, {}, 42},
        {"Apacer prefix", "Apacer AS340", "", kSsd, {}, 42},
        {"ZHITAI", "ZHITAI SC001", "", kSsd, {}, 43},
        {"SCY prefix", "SCY S6", "", kSsd, {}, 44},
        {"RECADATA prefix", "RECADATA RS", "", kSsd, {}, 45},
        // The model field is read up to its size: the serial behind it must not count.
        {"model fills its field", fullModel, "", kSsd, {}, 46},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ARK_DISK_INFO disk = diskOf(c);
        if (c.model.size() >= sizeof disk.model) std::memcpy(disk.serial, "KINGSTON KC600", 14);
        std::vector<uint8_t> page = pageOf(c);
        EXPECT_EQ(profileNumber(findSmartProfile(disk, page.data())), c.expected);
    }
}

TEST(FindSmartProfile, WithoutPageOnlyTextRulesApply) {
    ARK_DISK_INFO disk{};
    disk.flags = kSsd;
    EXPECT_EQ(findSmartProfile(disk, nullptr), smartProfiles[46]);
    std::memcpy(disk.model, "SanDisk X400", 12);
    EXPECT_EQ(findSmartProfile(disk, nullptr), smartProfiles[8]);
}

TEST(FindSmartProfile, FirmwareFieldIsBounded) {
    ARK_DISK_INFO disk{};
    disk.flags = kSsd;
    std::memcpy(disk.model, "CT MX500SSD X1", 14);
    std::memcpy(disk.fwrev, "AAAAAAAAAAMU", sizeof disk.fwrev);  // no NUL inside the field
    disk.controller = '0';  // read past the field, the revision would seem to hold "MU01"
    disk.port = '1';
    EXPECT_EQ(findSmartProfile(disk, nullptr), smartProfiles[22]);
}

}  // namespace
