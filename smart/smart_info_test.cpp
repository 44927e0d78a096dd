#include "smart_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "domain.h"
#include "fake_disk_port.h"

namespace {

constexpr uint32_t kDisk = 7;

struct Slot {
    size_t index;
    uint8_t id;
    uint16_t flags;
    uint8_t current, worst;
    std::array<uint8_t, 6> raw;
    uint8_t threshold;
};

class SmartInfoTest : public testing::Test {
protected:
    void SetUp() override {
        arkResetDomainsForTest();
        port = new FakeDiskPort;
        port->log = &log;
        port->device.type = 0;
        port->device.disk.flags = ARK_DISK_SSD | ARK_DISK_SMART_ON;
        std::memcpy(port->device.disk.model, "Generic Flash", 13);
        ASSERT_TRUE(AttachPort(port));
    }
    void TearDown() override { arkResetDomainsForTest(); }

    void put(const Slot& s) {
        uint8_t* v = port->values.data() + 2 + 12 * s.index;
        v[0] = s.id;
        v[1] = static_cast<uint8_t>(s.flags);
        v[2] = static_cast<uint8_t>(s.flags >> 8);
        v[3] = s.current;
        v[4] = s.worst;
        std::memcpy(v + 5, s.raw.data(), 6);
        uint8_t* t = port->thresholds.data() + 2 + 12 * s.index;
        t[0] = s.id;
        t[1] = s.threshold;
    }

    FakeDiskPort* port = nullptr;  // owned by its domain
    std::vector<PassthroughRecord> log;
};

TEST_F(SmartInfoTest, NamesEveryNonZeroSlotOfThirty) {
    put({0, 1, 0x000B, 100, 99, {0x01, 0x02, 0x03, 0x04, 0x05, 0x06}, 6});
    put({2, 255, 0x0032, 87, 87, {0xAB, 0, 0, 0, 0, 0xFF}, 10});
    put({3, 200, 0x0000, 1, 2, {0, 0, 0, 0, 0, 0}, 0x33});
    put({29, 194, 0x0022, 40, 55, {0x28, 0, 0x14, 0, 0x37, 0}, 0});
    put({30, 9, 0x0003, 1, 1, {1, 0, 0, 0, 0, 0}, 1});  // past the 30 slots: not reported

    SmartInfo info{};
    ASSERT_EQ(readSmartInfo(0, kDisk, &info), kSmartInfoOk);
    EXPECT_TRUE(info.healthy);
    EXPECT_EQ(info.profile, smartProfiles[46]);
    ASSERT_EQ(info.count, 4u);

    struct Expected {
        uint8_t id;
        const char* name;
        uint16_t flags;
        uint8_t current, worst;
        const char* raw;
        uint8_t threshold;
        const char* type;
        const char* update;
    } expected[] = {
        {1, "Read Error Rate", 0x000B, 100, 99, "01 02 03 04 05 06", 6, "Pre-fail", "Always"},
        {255, "Remaining Life", 0x0032, 87, 87, "AB 00 00 00 00 FF", 10, "Old_age", "Always"},
        {200, "Unknown Attribute", 0x0000, 1, 2, "00 00 00 00 00 00", 0x33, "Old_age", "Offline"},
        {194, "Temperature", 0x0022, 40, 55, "28 00 14 00 37 00", 0, "Old_age", "Always"},
    };
    for (size_t i = 0; i < info.count; ++i) {
        SCOPED_TRACE(testing::Message() << "attribute " << i);
        const SmartAttributeReport& a = info.attrs[i];
        EXPECT_EQ(a.id, expected[i].id);
        EXPECT_STREQ(a.name, expected[i].name);
        EXPECT_EQ(a.flags, expected[i].flags);
        EXPECT_EQ(a.current, expected[i].current);
        EXPECT_EQ(a.worst, expected[i].worst);
        EXPECT_STREQ(a.rawText, expected[i].raw);
        EXPECT_EQ(a.threshold, expected[i].threshold);
        EXPECT_STREQ(a.type, expected[i].type);
        EXPECT_STREQ(a.update, expected[i].update);
    }

    // Device information first, then RETURN STATUS, READ DATA, READ THRESHOLDS.
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].in[4], 0xDA);
    EXPECT_EQ(log[1].in[4], 0xD0);
    EXPECT_EQ(log[2].in[4], 0xD1);
}

TEST_F(SmartInfoTest, HardDiskNamesComeFromItsProfile) {
    port->device.disk.flags = ARK_DISK_SMART_ON;
    put({0, 201, 0x000A, 100, 100, {0, 0, 0, 0, 0, 0}, 0});
    SmartInfo info{};
    ASSERT_EQ(readSmartInfo(0, kDisk, &info), kSmartInfoOk);
    EXPECT_EQ(info.profile, smartProfiles[0]);
    ASSERT_EQ(info.count, 1u);
    EXPECT_STREQ(info.attrs[0].name, "Soft Read Error Rate");
}

TEST_F(SmartInfoTest, FailuresAndHealth) {
    struct Case {
        const char* why;
        bool failVdInfo;
        uint32_t flags;
        std::set<uint16_t> failing;
        uint16_t mid, high;
        int status;
        const char* text;
        bool healthy;
        size_t requests;  // pass-through requests sent
    } cases[] = {
        {"device info fails",
         true,
         ARK_DISK_SMART_ON,
         {},
         0x4F,
         0xC2,
         kSmartInfoDeviceInfoFailed,
         "get device info failed",
         false,
         0},
        {"SMART off",
         false,
         ARK_DISK_SSD,
         {},
         0x4F,
         0xC2,
         kSmartInfoNotEnabled,
         "SMART feature not enabled",
         false,
         0},
        {"READ DATA fails",
         false,
         ARK_DISK_SMART_ON,
         {0xD0},
         0x4F,
         0xC2,
         kSmartInfoReadValuesFailed,
         "smart_read_values failed",
         false,
         2},
        {"READ THRESHOLDS fails",
         false,
         ARK_DISK_SMART_ON,
         {0xD1},
         0x4F,
         0xC2,
         kSmartInfoReadThresholdsFailed,
         "smart_read_thresholds failed",
         false,
         3},
        {"RETURN STATUS fails: reported, not healthy",
         false,
         ARK_DISK_SMART_ON,
         {0xDA},
         0x4F,
         0xC2,
         kSmartInfoOk,
         "",
         false,
         3},
        {"threshold exceeded",
         false,
         ARK_DISK_SMART_ON,
         {},
         0xF4,
         0x2C,
         kSmartInfoOk,
         "",
         false,
         3},
        {"healthy", false, ARK_DISK_SMART_ON, {}, 0x4F, 0xC2, kSmartInfoOk, "", true, 3},
    };
    put({0, 9, 0x0032, 100, 100, {1, 0, 0, 0, 0, 0}, 0});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        log.clear();
        port->failVdInfo = c.failVdInfo;
        port->device.disk.flags = c.flags;
        port->failingFeatures = c.failing;
        port->statusLbaMid = c.mid;
        port->statusLbaHigh = c.high;
        SmartInfo info{};
        info.count = 99;  // must stay as it was when the report fails
        info.healthy = !c.healthy;
        EXPECT_EQ(readSmartInfo(0, kDisk, &info), c.status);
        EXPECT_STREQ(smartInfoErrorText(c.status), c.text);
        EXPECT_EQ(log.size(), c.requests);
        if (c.status == kSmartInfoOk) {
            EXPECT_EQ(info.healthy, c.healthy);
            EXPECT_EQ(info.count, 1u);
        } else {
            EXPECT_EQ(info.count, 99u);
        }
    }
}

// The flags word of an array's record is one of its member ids, not disk flags.
TEST_F(SmartInfoTest, ArrayIsNotASmartDisk) {
    port->device.type = ARK_VD_TYPE_ARRAY;
    port->device.array.members[7] = ARK_DISK_SMART_ON;
    ASSERT_EQ(port->device.disk.flags & ARK_DISK_SMART_ON, ARK_DISK_SMART_ON);
    SmartInfo info{};
    EXPECT_EQ(readSmartInfo(0, kDisk, &info), kSmartInfoNotEnabled);
    EXPECT_TRUE(log.empty());
}

TEST_F(SmartInfoTest, NoDomainIsADeviceInfoFailure) {
    SmartInfo info{};
    EXPECT_EQ(readSmartInfo(3, kDisk, &info), kSmartInfoDeviceInfoFailed);
    EXPECT_EQ(readSmartInfo(0, kDisk, nullptr), kSmartInfoDeviceInfoFailed);
    EXPECT_TRUE(log.empty());
}

}  // namespace
