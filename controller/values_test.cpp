#include "values.h"

#include <gtest/gtest.h>

namespace {

TEST(Values, RaidLevelText) {
    const struct {
        uint8_t level, sub;
        const char* text;
    } cases[] = {
        {1, 0, "RAID0"}, {1, 2, "RAID10"}, {1, 3, "RAID50"},  {1, 4, "RAID60"},
        {1, 7, "RAID0"}, {2, 0, "RAID1"},  {2, 3, "RAID1"},   {3, 0, "RAID5"},
        {4, 0, "RAID6"}, {7, 0, "JBOD"},   {0, 0, "UNKNOWN"}, {5, 0, "UNKNOWN"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.level) << "/" << int(c.sub));
        EXPECT_STREQ(arkRaidLevelText(c.level, c.sub), c.text);
    }
}

TEST(Values, CachePolicyText) {
    EXPECT_STREQ(arkCachePolicyText(0), "None");
    EXPECT_STREQ(arkCachePolicyText(1), "Write-through");
    EXPECT_STREQ(arkCachePolicyText(2), "Write-back");
    EXPECT_STREQ(arkCachePolicyText(3), "Force Write-back");
    EXPECT_STREQ(arkCachePolicyText(9), "None");
}

TEST(Values, ArrayStateTakesTheFirstRuleThatHolds) {
    const struct {
        uint32_t flags;
        const char* text;
    } cases[] = {
        {0x0, "Normal"},
        {0x1 | 0x400 | 0x8, "Disabled"},
        {0x400 | 0x800, "Transforming"},
        {0x800 | 0x1000, "Need Transform"},
        {0x1000 | 0x200 | 0x4, "INITIALIZING(F)"},
        {0x1000 | 0x4, "INITIALIZING(B)"},
        {0x1000 | 0x100, "Uninit"},
        {0x4 | 0x100, "Rebuilding"},
        {0x100 | 0x2, "Verifying"},
        {0x2 | 0x8, "NeedRebuild"},
        {0x8, "Critical"},
        {0x200, "Normal"},  // foreground initialisation only counts with 0x1000
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.flags);
        EXPECT_STREQ(arkArrayStateText(c.flags), c.text);
    }
}

TEST(Values, DiskStateTakesTheFirstRuleThatHolds) {
    const struct {
        uint32_t flags;
        const char* text;
    } cases[] = {
        {0x0, "Functional"},        {0x1 | 0x80000, "Disabled"},   {0x80000 | 0x8, "Erasing"},
        {0x8 | 0x20000, "Locked"},  {0x20000 | 0x10000, "Legacy"}, {0x10000, "Uninitialized"},
        {0x80000000, "Functional"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.flags);
        EXPECT_STREQ(arkDiskStateText(c.flags), c.text);
    }
}

TEST(Values, IdleAndEmptySlots) {
    EXPECT_TRUE(arkArrayIsIdle(0x1 | 0x2 | 0x8 | 0x800 | 0x1000));
    for (uint32_t busy : {0x4u, 0x100u, 0x200u, 0x400u}) EXPECT_FALSE(arkArrayIsIdle(busy));
    EXPECT_TRUE(arkIsEmptySlot(0));
    EXPECT_TRUE(arkIsEmptySlot(0xFFFFFFFF));
    EXPECT_FALSE(arkIsEmptySlot(1));
}

TEST(Values, FieldTextStopsAtTheFieldEnd) {
    const char full[4] = {'A', 'B', 'C', 'D'};
    EXPECT_EQ(arkFieldText(full), "ABCD");
    const char shortText[4] = {'x', 0, 'y', 0};
    EXPECT_EQ(arkFieldText(shortText), "x");
}

TEST(Values, DiskLocationNameForms) {
    ARK_DISK_INFO disk{};
    disk.controller = 0;
    disk.port = 1;
    disk.target = 2;
    EXPECT_EQ(arkDiskLocationName(disk), "1/2");
    disk.flags = ARK_DISK_TARGET_LEVEL;
    EXPECT_EQ(arkDiskLocationName(disk), "1/2/3");
    disk.flags = ARK_DISK_ENCLOSURE | ARK_DISK_TARGET_LEVEL;
    EXPECT_EQ(arkDiskLocationName(disk), "1/E2/3");
    disk.controller = disk.port = disk.target = 255;
    EXPECT_EQ(arkDiskLocationName(disk), "256/E256/256");
}

}  // namespace
