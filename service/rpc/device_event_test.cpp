#include "device_event.h"

#include <gtest/gtest.h>

#include "emulated_domains.h"

namespace {

class DeviceNameTest : public testing::Test {
protected:
    void SetUp() override {
        emu::State s;
        s.disks[0x100] = emuDisk(0x100, "MODEL", "SERIAL",
                                 {.controller = 0, .port = 1, .target = 2}, ARK_DISK_ENCLOSURE);
        s.disks[0x101] = emuDisk(0x101, "TL", "S1", {.controller = 1, .port = 0, .target = 4},
                                 ARK_DISK_TARGET_LEVEL);
        s.disks[0x102] = emuDisk(0x102, "PLAIN", "S2", {.controller = 0, .port = 5, .target = 9});
        // Both flags: the enclosure form wins.
        s.disks[0x103] = emuDisk(0x103, "BOTH", "S3", {.controller = 0, .port = 0, .target = 0},
                                 ARK_DISK_ENCLOSURE | ARK_DISK_TARGET_LEVEL);
        // Fields filled to their full size: 44 model bytes, 24 serial bytes, no NUL.
        s.disks[0x104] = emuDisk(0x104, std::string(44, 'M'), std::string(24, 's'),
                                 {.controller = 0, .port = 6, .target = 0});
        for (uint32_t id = 0x105; id <= 0x108; ++id)
            s.disks[id] = emuDisk(id, "D", "x", {.controller = 0, .port = 7, .target = 0});

        // A RAID10: the stripe 0x200 over the mirrors 0x201 and 0x202.
        emu::Array top = emuArray(0x200, "Stripe", {0x201, 0x202}, 1, ARK_RAID0);
        top.subRaidlevel = ARK_RAID1;
        emu::Array left = emuArray(0x201, "Left", {0x105, 0x106});
        emu::Array right = emuArray(0x202, "Right", {0x107, 0x108});
        left.parent = right.parent = 0x200;
        s.arrays[0x200] = top;
        s.arrays[0x201] = left;
        s.arrays[0x202] = right;
        s.arrays[0x203] = emuArray(0x203, std::string(16, 'N'), {0x100, 0x101});
        // A parent that does not list the child.
        emu::Array orphan = emuArray(0x204, "Orphan", {0x102, 0x103});
        orphan.parent = 0x200;
        s.arrays[0x204] = orphan;
        // A parent that cannot be read.
        emu::Array lost = emuArray(0x205, "Lost", {0x104});
        lost.parent = 0x999;
        s.arrays[0x205] = lost;
        m_emulator = &m_domains.Add(s);
    }

    EmulatedDomains m_domains;
    emu::Emulator* m_emulator = nullptr;
};

TEST_F(DeviceNameTest, NamesEachKindOfDevice) {
    struct Case {
        int domain;
        uint32_t id;
        const char* name;
    } cases[] = {
        {0, 0x100, "[1/E2/3] MODEL_SERIAL"},
        {0, 0x101, "[2/1/5] TL_S1"},
        {0, 0x102, "[1/6] PLAIN_S2"},
        {0, 0x103, "[1/E1/1] BOTH_S3"},
        {0, 0x104, "[1/7] MMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMM_ssssssssssssssssssss"},
        {0, 0x200, "Stripe"},
        {0, 0x201, "Left [1]"},
        {0, 0x202, "Right [2]"},
        {0, 0x203, "NNNNNNNNNNNNNNNN"},  // a 16-byte name without NUL
        {0, 0x204, "Orphan"},
        {0, 0x205, "Lost"},
        {0, 0x999, "(unknown)"},
        {0, ARK_ID_NONE, "(unknown)"},
        {1, 0x100, "(unknown)"},  // no such domain
        {-1, 0x100, "(unknown)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "domain " << c.domain << " id 0x" << std::hex << c.id);
        EXPECT_EQ(deviceName(c.domain, c.id), c.name);
    }
}

TEST_F(DeviceNameTest, EventCarriesTheNameAndTheGivenFields) {
    EventLogEntry e = makeDeviceEvent(0, 3, 22, 0x201, "extra");
    EXPECT_EQ(e.type, 3);
    EXPECT_EQ(e.code, 22);
    EXPECT_EQ(e.devname, "Left [1]");
    EXPECT_EQ(e.data, "extra");
    EXPECT_EQ(e.time, 0);
}

TEST_F(DeviceNameTest, FailedDeviceReadGivesUnknown) {
    m_emulator->InjectFault({ARK_REQ_GET_VD_INFO, emu::Fault::Kind::Fail, 0, 1, 0});
    EXPECT_EQ(makeDeviceEvent(0, 1, 4, 0x100).devname, "(unknown)");
    EXPECT_EQ(deviceName(0, 0x100), "[1/E2/3] MODEL_SERIAL");
}

TEST(DeviceName, ParentMemberCountPastTheRecordIsCapped) {
    // The parent claims 70 members; its record holds 64. The child at slot 64 is named by its
    // position, the one the controller puts beyond the record is not looked for there.
    emu::State s;
    std::vector<uint32_t> members;
    for (uint32_t i = 0; i < 70; ++i) members.push_back(0x400 + i);
    members[63] = 0x301;
    members[66] = 0x302;
    s.arrays[0x300] = emuArray(0x300, "Wide", members, 1, ARK_RAID0);
    for (uint32_t id : {0x301u, 0x302u}) {
        s.arrays[id] = emuArray(id, id == 0x301 ? "Last" : "Beyond", {});
        s.arrays[id].parent = 0x300;
    }
    EmulatedDomains domains;
    domains.Add(s);
    ARK_VD_INFO wide{};
    ASSERT_EQ(arkGetVDInfo(0, 0x300, &wide), 0);
    ASSERT_EQ(wide.array.ndisks, 70) << "the controller's count reaches the reader";
    EXPECT_EQ(deviceName(0, 0x301), "Last [64]");
    EXPECT_EQ(deviceName(0, 0x302), "Beyond");
}

TEST_F(DeviceNameTest, FailedParentReadGivesThePlainName) {
    // The child's own read succeeds; the parent's (second call) fails.
    m_emulator->InjectFault({ARK_REQ_GET_VD_INFO, emu::Fault::Kind::Fail, 2, 1, 0});
    EXPECT_EQ(deviceName(0, 0x202), "Right");
}

}  // namespace
