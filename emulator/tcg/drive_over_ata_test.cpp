// The drive models as the controller emulator carries them: scenario profiles, the built-in
// machine's self-encrypting disks, and TRUSTED SEND / RECEIVE through the ATA pass-through.

#include <gtest/gtest.h>

#include <cstring>

#include "ark.h"
#include "scenario.h"
#include "sed_drive.h"
#include "test_host.h"
#include "test_support.h"

namespace emu::tcg {
namespace {

struct AtaReply {
    int rc = -1;
    ARK_ATA_PASSTHROUGH header{};
    Bytes data;
};

AtaReply Ata(Emulator& e, uint32_t disk, uint8_t command, uint8_t protocol, uint16_t comId,
             uint16_t sectors, const Bytes& out = {}, uint16_t count = 0xFFFF) {
    ARK_ATA_PASSTHROUGH h{};
    h.disk = disk;
    h.command = command;
    h.features = protocol;
    h.sector_count = count == 0xFFFF ? sectors : count;
    h.sectors = sectors;
    h.lba_mid = comId & 0xFF;
    h.lba_high = comId >> 8;
    const bool toDisk = command == 0x5E;
    h.protocol = toDisk ? ARK_ATA_DATA_OUT : ARK_ATA_DATA_IN;
    const uint32_t data = sectors * 512u;
    const uint32_t inLen = 20 + (toDisk ? data : 0), outLen = 20 + (toDisk ? 0 : data);
    Bytes buffer(inLen + outLen, 0);
    std::memcpy(buffer.data(), &h, 20);
    std::copy(out.begin(), out.end(), buffer.begin() + 20);
    AtaReply r;
    r.rc = e.Handle(ARK_REQ_ATA_PASSTHROUGH, buffer.data(), inLen, buffer.data() + inLen, outLen,
                    nullptr);
    std::memcpy(&r.header, buffer.data() + inLen, 20);
    r.data.assign(buffer.begin() + inLen + 20, buffer.end());
    return r;
}

TEST(DriveOverAta, BuiltInMachineHasSelfEncryptingDisks) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(ParseScenario(DefaultScenarioText(), s, error)) << error;
    const struct {
        size_t domain;
        uint32_t disk;
        const char* profile;  // null: no TCG drive
        const char* msid;
    } cases[] = {
        {0, 256, nullptr, nullptr},         {0, 263, "opal2", "SSDN81230123480BG"},
        {0, 265, nullptr, nullptr},         {1, 512, "enterprise", "ZA1B2C3D"},
        {1, 513, "enterprise", "ZA1B2C4E"}, {1, 514, "opal2+ruby1", "2034ABCD1234"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.disk);
        Emulator e(s.domains[c.domain].state);
        const AtaReply id = Ata(e, c.disk, 0xEC, 0, 0, 1);
        ASSERT_EQ(id.rc, 0);
        EXPECT_EQ(id.data[96] & 1, c.profile ? 1 : 0);  // word 48 bit 0: trusted computing
        auto drive = std::dynamic_pointer_cast<SedDrive>(e.Snapshot().disks.at(c.disk).trusted);
        EXPECT_EQ(drive != nullptr, c.profile != nullptr);
        if (!drive) continue;
        EXPECT_EQ(drive->profile().name, c.profile);
        const std::string msid(c.msid);
        EXPECT_EQ(drive->Pin(uid::kAdminSp, uid::kCPinMsid), Bytes(msid.begin(), msid.end()));
    }
    // Every drive is a model of its own.
    Emulator hard(s.domains[1].state);
    EXPECT_NE(hard.Snapshot().disks.at(512).trusted, hard.Snapshot().disks.at(513).trusted);
}

TEST(DriveOverAta, EveryProfileIsRegistered) {
    for (const Profile& p : Profiles()) {
        SCOPED_TRACE(p.name);
        auto d = MakeTrustedDevice(p.name);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(std::dynamic_pointer_cast<SedDrive>(d)->profile().name, p.name);
    }
    for (const char* name :
         {"opal1", "opal2", "opalite", "pyrite1", "pyrite2", "ruby1", "enterprise", "opal2+ruby1"})
        EXPECT_NE(FindProfile(name), nullptr) << name;
}

TEST(DriveOverAta, ScenarioSettingsReachTheModel) {
    const struct {
        const char* json;
        const char* error;  // empty: accepted
    } cases[] = {
        {R"({"domains": [{"disks": [{"capacity": 9, "tcg": "pyrite2",
            "tcg_settings": {"msid": "ABC"}}]}]})",
         ""},
        {R"({"domains": [{"disks": [{"capacity": 9, "tcg": "pyrite2",
            "tcg_settings": {"msid": 7}}]}]})",
         "domains[0].disks[0].tcg_settings: msid: expected text of 1 to 32 characters"},
        {R"({"domains": [{"disks": [{"capacity": 9, "tcg_settings": {"msid": "A"}}]}]})",
         "domains[0].disks[0].tcg_settings: settings without a \"tcg\" drive model"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        Scenario s;
        std::string error;
        EXPECT_EQ(ParseScenario(c.json, s, error), *c.error == 0);
        EXPECT_EQ(error, c.error);
    }
}

TEST(DriveOverAta, SessionThroughThePassThrough) {
    auto e = testing::EmulatorFrom(R"({"domains": [{"disks": [{"capacity": 1000,
        "tcg": "opal2", "tcg_settings": {"msid": "FACTORY"}}]}]})");
    const AtaReply d0 = Ata(*e, 256, 0x5C, 1, 0x0001, 2);
    ASSERT_EQ(d0.rc, 0);
    EXPECT_EQ(d0.header.command, 0x50);
    EXPECT_EQ(GetBig16(&d0.data[48]), 0x0001);

    Bytes params;
    PutUint(params, 105);
    PutUid(params, uid::kAdminSp);
    PutUint(params, 1);
    params.push_back(kStartName);
    PutUint(params, 0);
    PutText(params, "FACTORY");
    params.insert(params.end(), {kEndName, kStartName, 3});
    PutUid(params, uid::kSid);
    params.push_back(kEndName);
    const Bytes frame = test::Sectors(BuildFrame(
        0x1000, 0, 0, test::CallPayload(uid::kSessionManager, method::kStartSession, params)));
    ASSERT_EQ(frame.size(), 512u);
    // COUNT must carry the transfer length.
    EXPECT_EQ(Ata(*e, 256, 0x5E, 1, 0x1000, 1, frame, 2).header.command, 0x51);
    EXPECT_EQ(Ata(*e, 256, 0x5E, 1, 0x1000, 1, frame).header.command, 0x50);
    const AtaReply sync = Ata(*e, 256, 0x5C, 1, 0x1000, 2);
    EXPECT_EQ(sync.header.command, 0x50);
    std::vector<Token> t;
    std::string error;
    ASSERT_TRUE(DecodeTokens(&sync.data[56], GetBig32(&sync.data[52]), t, error)) << error;
    ASSERT_GT(t.size(), 5u);
    EXPECT_EQ(t[2].AsUid(), method::kSyncSession);
    EXPECT_EQ(t[4].uint, 105u);
    auto drive = std::dynamic_pointer_cast<SedDrive>(e->Snapshot().disks.at(256).trusted);
    ASSERT_TRUE(drive->Session().has_value());
    EXPECT_EQ(drive->Session()->tsn, t[5].uint);
    // A refused frame aborts the command and queues nothing.
    EXPECT_EQ(Ata(*e, 256, 0x5E, 1, 0x0FFF, 1, frame).header.command, 0x51);
    EXPECT_EQ(drive->QueuedReplies(), 0u);
}

}  // namespace
}  // namespace emu::tcg
