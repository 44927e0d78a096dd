// The disk model's security, sanitize and microcode state machines, request by request.

#include "ata_security.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using emu::testing::EmulatorFrom;

constexpr uint8_t kOk = 0x50, kAbort = 0x51;

struct Step {
    const char* what;
    uint8_t command;
    uint16_t features;
    uint16_t control;      // word 0 of the data block; data is sent when `password` is set
    const char* password;  // null: no data
    uint8_t status;        // expected reply status
};

uint8_t send(emu::Emulator& e, const Step& s) {
    std::vector<uint8_t> buffer(20 + 512 + 20, 0);
    ARK_ATA_PASSTHROUGH h{};
    h.disk = 256;
    h.command = s.command;
    h.features = s.features;
    size_t inLen = 20;
    if (s.password != nullptr) {
        h.sectors = 1;
        h.protocol = ARK_ATA_DATA_OUT;
        buffer[20] = uint8_t(s.control);
        buffer[21] = uint8_t(s.control >> 8);
        std::memcpy(&buffer[22], s.password, std::strlen(s.password));
        buffer[54] = buffer[55] = 0xFF;
        inLen += 512;
    }
    std::memcpy(buffer.data(), &h, sizeof h);
    uint32_t returned = 0;
    EXPECT_EQ(e.Handle(ARK_REQ_ATA_PASSTHROUGH, buffer.data(), uint32_t(inLen),
                       buffer.data() + inLen, 20, &returned),
              0);
    return buffer[inLen + 15];
}

void play(emu::Emulator& e, const std::vector<Step>& steps) {
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        if (s.command == 0) {
            e.Modify([](emu::State& st) { emu::PowerCycle(st.disks.at(256)); });
            continue;
        }
        EXPECT_EQ(send(e, s), s.status);
    }
}

const char* const kDisk = R"({"domains": [{"disks": [{"capacity": 100000}]}]})";
const Step kPowerCycle = {"power cycle", 0, 0, 0, nullptr, 0};

TEST(AtaSecurity, UserPasswordLifecycle) {
    auto e = EmulatorFrom(kDisk);
    play(*e, {
                 {"set user password", 0xF1, 0, 0x0000, "pw", kOk},
                 kPowerCycle,
                 {"locked: erase unit without prepare", 0xF4, 0, 0, "pw", kAbort},
                 {"freeze lock refused while locked", 0xF5, 0, 0, nullptr, kAbort},
                 {"wrong password", 0xF2, 0, 0, "nope", kAbort},
                 {"right password", 0xF2, 0, 0, "pw", kOk},
                 {"freeze lock", 0xF5, 0, 0, nullptr, kOk},
                 {"frozen: disable refused", 0xF6, 0, 0, "pw", kAbort},
                 kPowerCycle,
                 {"unlock again", 0xF2, 0, 0, "pw", kOk},
                 {"erase prepare", 0xF3, 0, 0, nullptr, kOk},
                 {"erase unit", 0xF4, 0, 0x0002, "pw", kOk},
                 {"no password left to disable", 0xF6, 0, 0, "pw", kAbort},
             });
    const emu::Disk d = e->Snapshot().disks.at(256);
    EXPECT_FALSE(d.security.enabled);
    EXPECT_FALSE(d.userData);
}

TEST(AtaSecurity, EraseUnitMustFollowPrepareDirectly) {
    auto e = EmulatorFrom(kDisk);
    play(*e, {
                 {"set", 0xF1, 0, 0, "pw", kOk},
                 {"prepare", 0xF3, 0, 0, nullptr, kOk},
                 {"something else between", 0xEC, 0, 0, nullptr, kAbort},  // IDENTIFY without room
                 {"erase unit", 0xF4, 0, 0, "pw", kAbort},
             });
    EXPECT_TRUE(e->Snapshot().disks.at(256).userData);
}

TEST(AtaSecurity, FiveWrongAttemptsUntilPowerOn) {
    auto e = EmulatorFrom(kDisk);
    std::vector<Step> steps = {{"set", 0xF1, 0, 0, "pw", kOk}, kPowerCycle};
    for (int i = 0; i < 5; ++i) steps.push_back({"wrong", 0xF2, 0, 0, "x", kAbort});
    steps.push_back({"right, but counted out", 0xF2, 0, 0, "pw", kAbort});
    steps.push_back(kPowerCycle);
    steps.push_back({"right after power-on", 0xF2, 0, 0, "pw", kOk});
    play(*e, steps);
}

TEST(AtaSecurity, SanitizeNeedsItsKeys) {
    auto e = EmulatorFrom(kDisk);
    // Without the LBA key, no operation starts.
    play(*e, {{"block erase without key", 0xB4, 0x0012, 0, nullptr, kAbort},
              {"crypto scramble without key", 0xB4, 0x0011, 0, nullptr, kAbort},
              {"freeze without key", 0xB4, 0x0020, 0, nullptr, kAbort},
              {"unknown subcommand", 0xB4, 0x0077, 0, nullptr, kAbort},
              {"status", 0xB4, 0x0000, 0, nullptr, kOk}});
    EXPECT_EQ(e->Snapshot().disks.at(256).sanitize.state, emu::DiskSanitize::Idle);
}

// A command without data whose whole reply header the test reads.
ARK_ATA_PASSTHROUGH Reply(emu::Emulator& e, ARK_ATA_PASSTHROUGH h, std::vector<uint8_t> data = {}) {
    h.disk = 256;
    h.sectors = uint16_t(data.size() / 512);
    h.protocol = data.empty() ? 0 : ARK_ATA_DATA_OUT;
    std::vector<uint8_t> buffer(20 + data.size() + 20, 0);
    std::memcpy(buffer.data(), &h, sizeof h);
    std::copy(data.begin(), data.end(), buffer.begin() + 20);
    const uint32_t inLen = uint32_t(20 + data.size());
    EXPECT_EQ(
        e.Handle(ARK_REQ_ATA_PASSTHROUGH, buffer.data(), inLen, buffer.data() + inLen, 20, nullptr),
        0);
    ARK_ATA_PASSTHROUGH reply;
    std::memcpy(&reply, buffer.data() + inLen, sizeof reply);
    return reply;
}

TEST(AtaSecurity, SanitizeStatusReportsProgressInLba15To0) {
    auto e = EmulatorFrom(kDisk);
    ARK_ATA_PASSTHROUGH erase{};
    erase.command = 0xB4;
    erase.features = 0x0012;
    erase.lba_low = 0x4272;  // "BkEr"
    erase.lba_mid = 0x0045;
    erase.lba_high = 0x006B;
    ASSERT_EQ(Reply(*e, erase).command, kOk);
    e->Modify([](emu::State& s) { s.disks.at(256).sanitize.progress = 4000; });
    ARK_ATA_PASSTHROUGH status{};
    status.command = 0xB4;
    const ARK_ATA_PASSTHROUGH r = Reply(*e, status);
    EXPECT_EQ(r.command, kOk);
    EXPECT_EQ(r.sector_count, 0x4000);  // in progress
    // 40% of 0xFFFF is 0x6666: LBA 7:0 in the low byte of LBA low, 15:8 in that of LBA mid.
    EXPECT_EQ(r.lba_low, 0x66);
    EXPECT_EQ(r.lba_mid, 0x66);
    EXPECT_EQ(r.lba_high, 0);
}

TEST(AtaSecurity, AntifreezeLockIsRefusedWhileFrozen) {
    auto e = EmulatorFrom(kDisk);
    ARK_ATA_PASSTHROUGH freeze{};
    freeze.command = 0xB4;
    freeze.features = 0x0020;
    freeze.lba_low = 0x466B;  // "FrLk"
    freeze.lba_mid = 0x004C;
    freeze.lba_high = 0x0072;
    ASSERT_EQ(Reply(*e, freeze).command, kOk);
    ARK_ATA_PASSTHROUGH anti{};
    anti.command = 0xB4;
    anti.features = 0x0040;
    anti.lba_low = 0x4169;  // "Anti"
    anti.lba_mid = 0x0074;
    anti.lba_high = 0x006E;
    EXPECT_EQ(Reply(*e, anti).command, kAbort);
    EXPECT_FALSE(e->Snapshot().disks.at(256).sanitize.antifreeze);
}

TEST(AtaSecurity, MicrocodeCountSaysMoreExpectedOrApplied) {
    auto e = EmulatorFrom(kDisk);
    std::vector<uint8_t> image(3 * 512, 0x11);
    const uint32_t total = uint32_t(image.size());
    std::memcpy(image.data(), "DMFW", 4);
    std::memcpy(image.data() + 4, &total, 4);
    std::memcpy(image.data() + 8, "REV9    ", 8);
    struct Row {
        size_t first, blocks;
        uint16_t count;
    };
    for (const Row& row : {Row{0, 2, 0x01}, Row{2, 1, 0x02}}) {
        SCOPED_TRACE(row.first);
        ARK_ATA_PASSTHROUGH h{};
        h.command = 0x92;
        h.features = 0x03;
        h.sector_count = uint16_t(row.blocks);
        h.lba_mid = uint16_t(row.first);
        const ARK_ATA_PASSTHROUGH r =
            Reply(*e, h,
                  std::vector<uint8_t>(image.begin() + row.first * 512,
                                       image.begin() + (row.first + row.blocks) * 512));
        EXPECT_EQ(r.command, kOk);
        EXPECT_EQ(r.sector_count, row.count);
    }
    EXPECT_EQ(e->Snapshot().disks.at(256).fwrev, "REV9");
}

}  // namespace
