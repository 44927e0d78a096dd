#include "selection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emulated_domain.h"

namespace {

// Disks at every location form, a disk of a second controller, a plain and a nested array, and
// a legacy disk (which the logical-device list also holds).
const char* const kMachine = R"({"domains": [{
  "controllers": [{}, {"pci": [0, 5, 0, 0]}],
  "first_id": 256,
  "disks": [
    {"comment": "256 1/1", "port": 0, "capacity": 2000000},
    {"comment": "257 1/2", "port": 1, "capacity": 2000000},
    {"comment": "258 1/E2/3", "enclosure": true, "port": 1, "target": 2, "capacity": 2000000},
    {"comment": "259 1/2/3", "target_level": true, "port": 1, "target": 2, "capacity": 2000000},
    {"comment": "260 2/1", "controller": 1, "port": 0, "capacity": 2000000},
    {"comment": "261 1/4", "port": 3, "capacity": 2000000},
    {"comment": "262 1/5", "port": 4, "capacity": 2000000},
    {"comment": "263 1/6", "port": 5, "capacity": 2000000},
    {"comment": "264 1/7", "port": 6, "capacity": 2000000},
    {"comment": "265 1/8", "port": 7, "capacity": 2000000, "legacy": true, "model": "Mirror"}
  ],
  "arrays": [
    {"id": 600, "name": "Mirror", "level": "RAID1", "members": [256, 257]},
    {"id": 601, "name": "Nested", "level": "RAID10", "members": [261, 262, 263, 264],
     "subdisks": 2}
  ]
}]})";

class Selection : public ::testing::Test {
protected:
    utiltest::EmulatedDomain machine{kMachine};

    std::vector<uint32_t> subArrays() const {
        return machine.emulator->Snapshot().arrays.at(601).members;
    }
};

TEST_F(Selection, LocationNameFollowsTheDiskFlags) {
    const struct {
        uint32_t id;
        const char* name;  // null: no name
    } cases[] = {
        {256, "1/1"},   {257, "1/2"}, {258, "1/E2/3"},
        {259, "1/2/3"}, {260, "2/1"}, {9999, nullptr},  // no such device
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        const char* name = deviceLocationName(c.id);
        if (c.name == nullptr) {
            EXPECT_EQ(name, nullptr);
        } else {
            ASSERT_NE(name, nullptr);
            EXPECT_STREQ(name, c.name);
            EXPECT_EQ(name, g_locationName);
        }
    }
}

TEST_F(Selection, LocationNameNeedsAValidDomain) {
    for (int domain : {-1, 1, 4}) {
        SCOPED_TRACE(domain);
        g_currentDomain = domain;
        EXPECT_EQ(deviceLocationName(256), nullptr);
    }
    EXPECT_TRUE(machine.emulator->RequestLog().empty());
}

TEST(LocationMatch, OneRuleForEveryQuery) {
    const struct {
        const char* query;
        const char* name;
        bool match;
    } cases[] = {
        {"1/2", "1/2", true},       {"1/2", "1/2/3", false},  // the query ends first
        {"1/2/3", "1/2", false},    {"1/*", "1/2", true},
        {"1/*", "1/E2/3", true},    {"*", "2/1", true},
        {"2/*", "1/2", false},      {"1/E*", "1/E2/3", true},
        {"1/E*", "1/2/3", false},   {"1/2*", "1/2", false},  // the name has ended at the '*'
        {"1/2*", "1/2/3", true},    {"", "1/2", false},
        {"*", "", false},           {"1/2/*", "1/2/3", true},
        {"1/2/3x", "1/2/3", false}, {"1/e2/3", "1/E2/3", false},  // case counts
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.query) + " against " + c.name);
        EXPECT_EQ(locationMatches(c.query, c.name), c.match);
    }
}

TEST_F(Selection, FindDiskTakesTheFirstMatchInListOrder) {
    const struct {
        const char* query;
        uint32_t id;
    } cases[] = {
        {"1/2", 257}, {"1/2/3", 259}, {"1/E2/3", 258}, {"1/*", 256},
        {"2/*", 260}, {"*", 256},     {"", 0},         {"3/1", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        EXPECT_EQ(findDiskByLocation(c.query), c.id);
    }
}

TEST_F(Selection, FindDiskSkipsADiskThatCannotBeRead) {
    machine.emulator->InjectFault({ARK_REQ_GET_VD_INFO, emu::Fault::Kind::Fail, 1, 1});
    EXPECT_EQ(findDiskByLocation("1/*"), 257u);
}

TEST_F(Selection, FindDiskOnAnEmptyList) {
    g_pdCount = 0;
    EXPECT_EQ(findDiskByLocation("*"), 0u);
    g_pdCount = -1;
    EXPECT_EQ(findDiskByLocation("*"), 0u);
}

TEST_F(Selection, DiskListAddsEachDiskOnceInPieceOrder) {
    const std::vector<uint32_t> controller1 = {256, 257, 258, 259, 261, 262, 263, 264, 265};
    std::vector<uint32_t> secondFirst = {257, 256, 258, 259, 261, 262, 263, 264, 265};
    const struct {
        const char* text;
        int max;
        std::vector<uint32_t> ids;
    } cases[] = {
        {"1/1", 64, {256}},
        {"1/2,1/1", 64, {257, 256}},
        {"1/1,1/1", 64, {256}},
        {",,1/1,,", 64, {256}},
        {"1/*", 64, controller1},
        {"1/2,1/*", 64, secondFirst},  // 1/2 named twice, added once
        {"1/*", 3, {256, 257, 258}},   // stops at max
        {"2/1,1/9,1/E2/3", 64, {260, 258}},
        {"9/9", 64, {}},
        {"", 64, {}},
        {",", 64, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        uint32_t ids[64] = {};
        const int n = parseDiskList(c.text, ids, c.max);
        EXPECT_EQ(std::vector<uint32_t>(ids, ids + (n > 0 ? n : 0)), c.ids);
    }
}

TEST_F(Selection, DiskListLongerThanItsBufferIsRefused) {
    uint32_t ids[64] = {};
    std::string text = "1/1";
    while (text.size() < size_t{kDiskListMaxChars}) text += ",";
    ASSERT_EQ(text.size(), size_t{kDiskListMaxChars});
    EXPECT_EQ(parseDiskList(text.c_str(), ids, 64), 1);
    text += ",";
    EXPECT_EQ(parseDiskList(text.c_str(), ids, 64), -1);
}

TEST_F(Selection, ArrayReferenceCountsArraysOnly) {
    // A legacy disk first: it is in the list but is not an array.
    g_ldList[0] = 265;
    g_ldList[1] = 600;
    g_ldList[2] = 601;
    g_ldCount = 3;
    const std::vector<uint32_t> subs = subArrays();
    ASSERT_EQ(subs.size(), 2u);
    const struct {
        const char* text;
        uint32_t id;
    } cases[] = {
        {"1", 600},
        {"2", 601},
        {"2-1", subs[0]},
        {"2-2", subs[1]},
        {"2-3", ARK_ID_NONE},  // an empty slot, as the driver fills it
        {"1-1", 0},
        {"2-65", 0},
        {"2-0", 0},
        {"2-", 0},
        {"0", 0},
        {"-1", 0},
        {"3", 0},  // the list ends before a third array
        {"4", 0},
        {"abc", 0},
        {"", 0},
        {"99999999999999999999", 0},
        {" 1", 600},  // leading blanks as atoi reads them
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parseArrayId(c.text), c.id);
    }
}

TEST_F(Selection, ArrayReferenceWithoutAList) {
    g_ldCount = -1;
    EXPECT_EQ(parseArrayId("1"), 0u);
    g_ldCount = 0;
    EXPECT_EQ(parseArrayId("1"), 0u);
}

TEST_F(Selection, ArrayReferenceSkipsAnArrayThatCannotBeRead) {
    g_ldList[0] = 600;
    g_ldList[1] = 601;
    g_ldCount = 2;
    machine.emulator->InjectFault({ARK_REQ_GET_VD_INFO, emu::Fault::Kind::Fail, 1, 1});
    EXPECT_EQ(parseArrayId("1"), 601u);
}

TEST_F(Selection, ArrayNamesInUse) {
    // A transformation under way: its target is not listed but its name is taken.
    machine.emulator->Modify([](emu::State& s) {
        emu::Array target = s.arrays.at(600);
        target.id = 700;
        target.name = "Grown";
        target.listed = false;
        target.transformSrc = 600;
        target.transformTgt = 700;
        s.arrays[700] = target;
        s.arrays.at(600).flags |= ARK_ARRAY_NEED_TRANSFORM;
        s.arrays.at(600).transformTgt = 700;
    });
    const struct {
        const char* name;
        int free;
    } cases[] = {
        {"Mirror", 0}, {"Nested", 0}, {"Grown", 0}, {"mirror", 1},  // names are case-sensitive
        {"Mirro", 1},  {"Free", 1},   {"", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(findArrayByName(c.name), c.free);
    }
}

TEST_F(Selection, ArrayNameOfALegacyDiskIsNotAnArrayName) {
    // Disk 265's model text sits where an array record keeps its name.
    EXPECT_EQ(findArrayByName("Mirror"), 0);
    machine.emulator->Modify([](emu::State& s) { s.arrays.at(600).name = "Other"; });
    EXPECT_EQ(findArrayByName("Mirror"), 1);
}

TEST_F(Selection, ArrayNameWhenTheListFails) {
    machine.emulator->InjectFault({ARK_REQ_GET_LD_LIST, emu::Fault::Kind::Fail});
    EXPECT_EQ(findArrayByName("Mirror"), 1);
}

TEST_F(Selection, ArrayNameGoesOnPastAnUnreadableDevice) {
    machine.emulator->InjectFault({ARK_REQ_GET_VD_INFO, emu::Fault::Kind::Fail, 1, 1});
    testing::internal::CaptureStdout();
    const int free = findArrayByName("Nested");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Failed to get device in rename array function\n");
    EXPECT_EQ(free, 0);
}

}  // namespace
