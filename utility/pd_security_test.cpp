// The ATA security, sanitize and microcode actions of --pdcmd, end to end over the emulated
// disks' state machines.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ark.h"
#include "ata_security.h"
#include "util_harness.h"

namespace {

using utiltest::UtilityMachine;
namespace fs = std::filesystem;

const char* const kMachine = R"({"domains": [{
   "first_id": 256,
   "disks": [{"port": 0, "capacity": 4000000, "fwrev": "OLD1"},
             {"port": 1, "capacity": 4000000}]
}]})";

const char* const kPassword = "s3cret-Passw0rd";

class PdSecurity : public ::testing::Test {
protected:
    UtilityMachine m{kMachine};

    emu::Disk disk() { return m.emulator().Snapshot().disks.at(256); }
    void powerCycle() {
        m.emulator().Modify([](emu::State& s) { emu::PowerCycle(s.disks.at(256)); });
    }
    // Every run's output must leave the password out.
    utiltest::RunResult run(const std::vector<std::string>& args) {
        auto r = m.run(args);
        EXPECT_EQ(r.out.find(kPassword), std::string::npos) << r.out;
        return r;
    }
};

TEST_F(PdSecurity, PasswordLockUnlockErase) {
    auto r = run({"--pdcmd", "1/1", "-p", kPassword});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(disk().security.enabled);
    EXPECT_FALSE(disk().security.locked);

    powerCycle();
    r = run({"-Q", "-e", "-p", "1/1"});
    EXPECT_NE(r.out.find("Status:            Locked\n"), std::string::npos) << r.out;
    r = run({"--pdcmd", "1/1", "-i"});
    EXPECT_NE(r.out.find("Security:           supported, enabled, locked, level high\n"),
              std::string::npos)
        << r.out;

    r = run({"--pdcmd", "1/1", "-u", "not-the-password"});
    EXPECT_EQ(r.out, "the disk aborted SECURITY UNLOCK (status 0x51, error 0x04)\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(disk().security.locked);

    r = run({"--pdcmd", "1/1", "-u", kPassword});
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(disk().security.locked);

    r = run({"--pdcmd", "1/1", "-E", kPassword});
    EXPECT_EQ(r.out, "disk erased\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(disk().userData);
    EXPECT_FALSE(disk().security.enabled);
    const auto sent = m.requests(ARK_REQ_ATA_PASSTHROUGH);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].input[15], 0xF3);  // ERASE PREPARE, then
    EXPECT_EQ(sent[1].input[15], 0xF4);  // ERASE UNIT, enhanced
    EXPECT_EQ(sent[1].input[20], 0x02);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&sent[1].input[22])), kPassword);
}

TEST_F(PdSecurity, MasterPasswordAndMaximumLevel) {
    ASSERT_EQ(run({"--pdcmd", "1/1", "-m", "-p", "master-pw"}).status, 0);
    ASSERT_EQ(run({"--pdcmd", "1/1", "-M", "-p", kPassword}).status, 0);
    EXPECT_TRUE(disk().security.maximum);
    powerCycle();
    // At level maximum the master password does not unlock; it still erases.
    auto r = run({"--pdcmd", "1/1", "-m", "-u", "master-pw"});
    EXPECT_EQ(r.status, 1);
    r = run({"--pdcmd", "1/1", "--use-master", "-e", "master-pw"});
    EXPECT_EQ(r.out, "disk erased\n");
    EXPECT_FALSE(disk().security.locked);
}

TEST_F(PdSecurity, DisableAndFreeze) {
    ASSERT_EQ(run({"--pdcmd", "1/1", "-p", kPassword}).status, 0);
    auto r = run({"--pdcmd", "1/1", "-d", "wrong"});
    EXPECT_EQ(r.status, 1);
    r = run({"--pdcmd", "1/1", "--security-disable", kPassword});
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(disk().security.enabled);
    m.emulator().Modify([](emu::State& s) { s.disks.at(256).security.frozen = true; });
    r = run({"--pdcmd", "1/1", "-p", kPassword});
    EXPECT_EQ(r.out, "the disk aborted SECURITY SET PASSWORD (status 0x51, error 0x04)\n");
}

TEST_F(PdSecurity, TooManyWrongPasswords) {
    ASSERT_EQ(run({"--pdcmd", "1/1", "-p", kPassword}).status, 0);
    powerCycle();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(run({"--pdcmd", "1/1", "-u", "wrong"}).status, 1);
    EXPECT_EQ(run({"--pdcmd", "1/1", "-u", kPassword}).status, 1);  // counted out until power-on
    const auto r = run({"--pdcmd", "1/1", "-i"});
    EXPECT_NE(r.out.find("attempts exceeded"), std::string::npos) << r.out;
    powerCycle();
    EXPECT_EQ(run({"--pdcmd", "1/1", "-u", kPassword}).status, 0);
}

TEST_F(PdSecurity, BadPasswordsSendNothing) {
    const std::string longer(33, 'x');
    for (const std::string& pw : {std::string(""), longer}) {
        SCOPED_TRACE(pw.size());
        const auto r = run({"--pdcmd", "1/1", "-p", pw});
        EXPECT_EQ(r.out, "a password has 1 to 32 characters\n");
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(m.requests(ARK_REQ_ATA_PASSTHROUGH).empty());
    }
}

TEST_F(PdSecurity, SanitizeBlockEraseRunsToCompletion) {
    auto r = run({"--pdcmd", "1/1", "--sanitize-block-erase"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 0);
    const auto sent = m.requests(ARK_REQ_ATA_PASSTHROUGH);
    ASSERT_EQ(sent.size(), 1u);
    ARK_ATA_PASSTHROUGH h;
    std::memcpy(&h, sent[0].input.data(), sizeof h);
    EXPECT_EQ(h.command, 0xB4);
    EXPECT_EQ(h.features, 0x0012);
    EXPECT_EQ(h.lba_low, 0x4272);  // "BkEr": 0x72 now, 0x42 before
    EXPECT_EQ(h.lba_mid, 0x0045);
    EXPECT_EQ(h.lba_high, 0x006B);

    r = run({"-Q", "-e"});
    EXPECT_NE(r.out.find("Erasing"), std::string::npos);
    for (int i = 0; i < 4; ++i) m.emulator().Tick();
    r = run({"--pdcmd", "1/1", "--sanitize-status"});
    EXPECT_EQ(r.out,
              "Sanitize:            in progress, 40.00% done\n"
              "Freeze lock:         not frozen\nAntifreeze lock:     not set\n");
    EXPECT_EQ(run({"--pdcmd", "1/1", "-p", kPassword}).status, 1);  // busy until it ends
    for (int i = 0; i < 6; ++i) m.emulator().Tick();
    r = run({"--pdcmd", "1/1", "--sanitize-status"});
    EXPECT_EQ(r.out,
              "Sanitize:            completed without error\n"
              "Freeze lock:         not frozen\nAntifreeze lock:     not set\n");
    EXPECT_FALSE(disk().userData);
}

TEST_F(PdSecurity, SanitizeLocks) {
    EXPECT_EQ(run({"--pdcmd", "1/1", "--sanitize-antifreeze-lock"}).status, 0);
    auto r = run({"--pdcmd", "1/1", "--sanitize-freeze-lock"});
    EXPECT_EQ(r.status, 1);  // the antifreeze lock blocks it
    powerCycle();
    EXPECT_EQ(run({"--pdcmd", "1/1", "--sanitize-freeze-lock"}).status, 0);
    r = run({"--pdcmd", "1/1", "--sanitize-crypto-scramble"});
    EXPECT_EQ(r.out, "the disk aborted SANITIZE CRYPTO SCRAMBLE (status 0x51, error 0x04)\n");
    r = run({"--pdcmd", "1/1", "--sanitize-status"});
    EXPECT_NE(r.out.find("Freeze lock:         frozen\n"), std::string::npos);
}

TEST_F(PdSecurity, SanitizeOverwriteCarriesPatternAndPasses) {
    auto r = run({"--pdcmd", "1/2", "--overwrite-passes", "3", "--sanitize-overwrite", "A5A5F00D"});
    EXPECT_EQ(r.status, 0);
    ARK_ATA_PASSTHROUGH h;
    const auto sent = m.requests(ARK_REQ_ATA_PASSTHROUGH);
    ASSERT_EQ(sent.size(), 1u);
    std::memcpy(&h, sent[0].input.data(), sizeof h);
    EXPECT_EQ(h.features, 0x0014);
    EXPECT_EQ(h.sector_count, 3);
    EXPECT_EQ(h.lba_low, 0xA50D);   // pattern bits 7:0 and 31:24
    EXPECT_EQ(h.lba_mid, 0x57F0);   // bits 15:8 and the 'W' of "OW"
    EXPECT_EQ(h.lba_high, 0x4FA5);  // bits 23:16 and the 'O'
    r = run({"--pdcmd", "1/2", "--sanitize-overwrite", "xyz"});
    EXPECT_EQ(r.out, "invalid pattern xyz (hexadecimal, 32 bits)\n");
}

TEST_F(PdSecurity, MicrocodeDownloadChangesTheFirmware) {
    const fs::path file = fs::path(testing::TempDir()) / "pd_security_microcode.bin";
    std::vector<uint8_t> image(200 * 512, 0xAB);  // two segments: 128 and 72 blocks
    const uint32_t total = static_cast<uint32_t>(image.size());
    std::memcpy(image.data(), "DMFW", 4);
    std::memcpy(image.data() + 4, &total, 4);
    std::memcpy(image.data() + 8, "NEW2    ", 8);
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
    const auto r = run({"--pdcmd", "1/1", "-f", file.string()});
    fs::remove(file);
    EXPECT_EQ(r.out, "microcode downloaded; firmware revision NEW2 (was OLD1)\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(disk().fwrev, "NEW2");
    const auto sent = m.requests(ARK_REQ_ATA_PASSTHROUGH);
    ASSERT_EQ(sent.size(), 4u);  // IDENTIFY, two segments as large as the disk takes, IDENTIFY
    ARK_ATA_PASSTHROUGH first, second;
    std::memcpy(&first, sent[1].input.data(), sizeof first);
    std::memcpy(&second, sent[2].input.data(), sizeof second);
    EXPECT_EQ(first.command, 0x92);
    EXPECT_EQ(first.sector_count, 128);
    EXPECT_EQ(first.lba_mid, 0);
    EXPECT_EQ(second.command, 0x92);
    EXPECT_EQ(second.features, 0x03);
    EXPECT_EQ(second.sector_count, 72);
    EXPECT_EQ(second.lba_mid, 128);  // its offset in blocks
}

TEST_F(PdSecurity, MicrocodeTheDiskRefuses) {
    // An image that announces 8 blocks but holds 4: every segment goes in, none applies it.
    std::vector<uint8_t> partial(4 * 512, 0x5A);
    const uint32_t announced = 8 * 512;
    std::memcpy(partial.data(), "DMFW", 4);
    std::memcpy(partial.data() + 4, &announced, 4);
    std::memcpy(partial.data() + 8, "NEW3    ", 8);
    struct Row {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* out;  // %s: the file
        size_t passthroughs;
    };
    const Row rows[] = {
        {"not an image", std::vector<uint8_t>(1024, 'x'),
         "the disk aborted DOWNLOAD MICROCODE (status 0x51, error 0x04)\n", 2},
        {"not whole blocks", std::vector<uint8_t>(700, 'x'),
         "%s is not a whole number of 512-byte blocks\n", 0},
        {"over 16 MiB", std::vector<uint8_t>((16 << 20) + 512, 0),
         "%s is not a microcode file this disk can take\n", 0},
        {"shorter than it says", partial,
         "the disk took the microcode but did not apply it (COUNT 1)\n", 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path file = fs::path(testing::TempDir()) / "pd_security_not_microcode.bin";
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(row.bytes.data()),
                   std::streamsize(row.bytes.size()));
        const auto r = run({"--pdcmd", "1/1", "-f", file.string()});
        fs::remove(file);
        char expected[512];
        std::snprintf(expected, sizeof expected, row.out, file.string().c_str());
        EXPECT_EQ(r.out, expected);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(m.requests(ARK_REQ_ATA_PASSTHROUGH).size(), row.passthroughs);
        EXPECT_EQ(disk().fwrev, "OLD1");
    }
}

// Disks that hold an array's data or stand by as spares, and modifiers given to the wrong
// action: refused before anything reaches a disk.
TEST(PdSecurityRefusals, NothingIsSent) {
    UtilityMachine m{R"({"domains": [{"first_id": 256, "disks": [
        {"port": 0, "capacity": 100000}, {"port": 1, "capacity": 100000},
        {"port": 2, "capacity": 100000, "spare": true}, {"port": 3, "capacity": 100000}],
        "arrays": [{"level": "RAID1", "members": [256, 257]}]}]})"};
    struct Row {
        std::vector<std::string> args;
        const char* out;
    };
    const Row rows[] = {
        {{"--pdcmd", "1/1", "-e", kPassword},
         "disk 1/1 belongs to an array; delete the array first\n"},
        {{"--pdcmd", "1/2", "-m", "-E", kPassword},
         "disk 1/2 belongs to an array; delete the array first\n"},
        {{"--pdcmd", "1/1", "--sanitize-block-erase"},
         "disk 1/1 belongs to an array; delete the array first\n"},
        {{"--pdcmd", "1/2", "--sanitize-crypto-scramble"},
         "disk 1/2 belongs to an array; delete the array first\n"},
        {{"--pdcmd", "1/1", "--sanitize-overwrite", "0"},
         "disk 1/1 belongs to an array; delete the array first\n"},
        {{"--pdcmd", "1/3", "-e", kPassword},
         "disk 1/3 is a spare disk; take it back with -D 1/3 first\n"},
        {{"--pdcmd", "1/3", "--sanitize-block-erase"},
         "disk 1/3 is a spare disk; take it back with -D 1/3 first\n"},
        {{"--pdcmd", "1/4", "-M", "-u", kPassword}, "-M goes with -p only\n"},
        {{"--pdcmd", "1/4", "-m", "-i"}, "-m goes with the security commands only\n"},
        {{"--pdcmd", "1/4", "-m", "--sanitize-block-erase"},
         "-m goes with the security commands only\n"},
        {{"--pdcmd", "1/4", "--overwrite-passes", "2", "--sanitize-block-erase"},
         "--overwrite-passes goes with --sanitize-overwrite only\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args[2]);
        const auto r = m.run(row.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, row.out);
        EXPECT_EQ(r.out.find(kPassword), std::string::npos);
        EXPECT_TRUE(m.requests(ARK_REQ_ATA_PASSTHROUGH).empty());
    }
    for (uint32_t id : {256u, 257u, 258u})
        EXPECT_TRUE(m.emulator().Snapshot().disks.at(id).userData);
}

}  // namespace
