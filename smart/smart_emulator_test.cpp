// The SMART report end to end: the real request functions, a port into the controller
// emulator, and the emulator's disk model answering the ATA SMART commands.

#include <gtest/gtest.h>

#include <string>

#include "disk_pages.h"
#include "domain.h"
#include "emu_port.h"
#include "emulator.h"
#include "smart_commands.h"
#include "smart_info.h"

namespace {

constexpr uint32_t kHdd = 0x100;
constexpr uint32_t kSsd = 0x101;
constexpr uint32_t kFailing = 0x102;

emu::Disk disk(uint32_t id, std::string model, uint32_t flags, const char* family, uint8_t port) {
    emu::Disk d;
    d.id = id;
    d.model = std::move(model);
    d.flags = flags | ARK_DISK_SMART_ON;
    d.port = port;
    d.capacity = 1953525168;
    d.smart = emu::SmartFamily(family);
    return d;
}

class SmartOverEmulator : public testing::Test {
protected:
    SmartOverEmulator() : emulator(makeState()) {}

    static emu::State makeState() {
        emu::State state;
        state.controllers.resize(1);
        state.disks[kHdd] = disk(kHdd, "EMU HDD 1TB", 0, "hdd", 0);
        state.disks[kSsd] = disk(kSsd, "Generic Flash 512", ARK_DISK_SSD, "ssd", 1);
        state.disks[kFailing] = disk(kFailing, "EMU HDD 2TB", 0, "hdd", 2);
        for (auto& attr : state.disks[kFailing].smart) {
            if (attr.flags & 0x1) attr.current = attr.threshold;  // a pre-fail value at its limit
        }
        return state;
    }

    void SetUp() override {
        arkResetDomainsForTest();
        ASSERT_TRUE(AttachPort(new emu::EmuPort(emulator, "emu0")));
    }
    void TearDown() override { arkResetDomainsForTest(); }

    emu::Emulator emulator;
};

TEST_F(SmartOverEmulator, ReportMatchesTheDiskModel) {
    for (uint32_t id : {kHdd, kSsd}) {
        SCOPED_TRACE(testing::Message() << "disk " << id);
        SmartInfo info{};
        ASSERT_EQ(readSmartInfo(0, id, &info), kSmartInfoOk);
        EXPECT_TRUE(info.healthy);
        EXPECT_EQ(info.profile, smartProfiles[id == kHdd ? 0 : 46]);

        const emu::Disk model = emulator.Snapshot().disks.at(id);
        ASSERT_EQ(info.count, model.smart.size());
        for (size_t i = 0; i < info.count; ++i) {
            const SmartAttributeReport& got = info.attrs[i];
            const emu::SmartAttribute& want = model.smart[i];
            SCOPED_TRACE(testing::Message() << "attribute " << int(want.id));
            EXPECT_EQ(got.id, want.id);
            EXPECT_STREQ(got.name, smartAttributeName(want.id, info.profile));
            EXPECT_EQ(got.flags, want.flags);
            EXPECT_EQ(got.current, want.current);
            EXPECT_EQ(got.worst, want.worst);
            EXPECT_EQ(got.threshold, want.threshold);
            char raw[18];
            std::snprintf(raw, sizeof raw, "%02X %02X %02X %02X %02X %02X", want.raw[0],
                          want.raw[1], want.raw[2], want.raw[3], want.raw[4], want.raw[5]);
            EXPECT_STREQ(got.rawText, raw);
        }
    }
}

TEST_F(SmartOverEmulator, ThresholdExceededIsUnhealthy) {
    EXPECT_EQ(smart_status(0, kFailing), 1);
    SmartInfo info{};
    ASSERT_EQ(readSmartInfo(0, kFailing, &info), kSmartInfoOk);
    EXPECT_FALSE(info.healthy);
}

TEST_F(SmartOverEmulator, DisableThenEnable) {
    uint8_t page[512];
    ASSERT_EQ(smart_disable(0, kHdd), 0);
    SmartInfo info{};
    EXPECT_EQ(readSmartInfo(0, kHdd, &info), kSmartInfoNotEnabled);
    EXPECT_EQ(smart_read_values(0, kHdd, page), 1);  // the disk refuses while SMART is off
    ASSERT_EQ(smart_enable(0, kHdd), 0);
    EXPECT_EQ(readSmartInfo(0, kHdd, &info), kSmartInfoOk);
}

TEST_F(SmartOverEmulator, UnknownDiskFails) {
    SmartInfo info{};
    EXPECT_EQ(readSmartInfo(0, 0x999, &info), kSmartInfoDeviceInfoFailed);
    uint8_t page[512];
    EXPECT_EQ(smart_read_values(0, 0x999, page), 1);
    EXPECT_EQ(smart_status(0, 0x999), 1);
}

}  // namespace
