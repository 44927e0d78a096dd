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

}  // namespace
