// The TCG tool through the utility's --tcgtool option against the emulated self-encrypting
// drives: what it finds, the calls it makes, and that it never shows a secret.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sed_drive.h"
#include "tcg_hash.h"
#include "tcg_log.h"
#include "util_harness.h"

namespace {

using utiltest::UtilityMachine;

// 1/1 Opal 2, 1/2 Enterprise, 1/3 Opal 2 and Ruby, 1/4 Pyrite 2, 1/5 Opal 2 and Enterprise,
// 1/6 no TCG drive.
const char* const kDrives = R"({"domains": [{
  "first_id": 256,
  "disks": [
    {"port": 0, "capacity": 2000000, "model": "OPAL SSD", "fwrev": "O2", "serial": "SEROPAL01",
     "tcg": "opal2", "tcg_settings": {"msid": "MSIDOPAL2", "psid": "PSIDOPALPSIDOPAL"}},
    {"port": 1, "capacity": 2000000, "model": "ENT HDD", "fwrev": "E1", "serial": "SERENT01",
     "tcg": "enterprise", "tcg_settings": {"msid": "MSIDENT1", "psid": "PSIDENTPSIDENT01"}},
    {"port": 2, "capacity": 2000000, "model": "RUBY SSD", "fwrev": "R1", "tcg": "opal2+ruby1"},
    {"port": 3, "capacity": 2000000, "model": "PYRITE", "fwrev": "P2", "tcg": "pyrite2"},
    {"port": 4, "capacity": 2000000, "model": "BOTH", "fwrev": "B1", "tcg": "opal2+enterprise"},
    {"port": 5, "capacity": 2000000, "model": "PLAIN", "fwrev": "N1"}
  ]
}]})";

std::shared_ptr<emu::tcg::SedDrive> drive(UtilityMachine& m, size_t index) {
    return std::dynamic_pointer_cast<emu::tcg::SedDrive>(
        m.emulator().Snapshot().disks.at(uint32_t(256 + index)).trusted);
}

std::string pad(const char* text, size_t width) {
    std::string s(text);
    s.resize(width, ' ');
    return s;
}

TEST(TcgToolDrives, IsValidSEDNamesTheSSCs) {
    struct Case {
        const char* disk;
        std::string line;
    };
    const Case cases[] = {
        {"1/1", "1/1 SED -2----- " + pad("OPAL SSD", 40) + " " + pad("O2", 8) + "\n"},
        {"1/2", "1/2 SED --E---- " + pad("ENT HDD", 40) + " " + pad("E1", 8) + "\n"},
        {"1/3", "1/3 SED -2----r " + pad("RUBY SSD", 40) + " " + pad("R1", 8) + "\n"},
        {"1/4", "1/4 SED -----P- " + pad("PYRITE", 40) + " " + pad("P2", 8) + "\n"},
        {"1/5", "1/5 SED -2E---- " + pad("BOTH", 40) + " " + pad("B1", 8) + "\n"},
        {"1/6", "sendCmd failed!\n1/6 NO  ------- " + pad("PLAIN", 40) + " " + pad("N1", 8) + "\n"},
    };
    UtilityMachine m(kDrives);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.disk);
        const utiltest::RunResult r = m.run({"--tcgtool", "--isValidSED", c.disk});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, c.line);
    }
}

// The drive's call log of the last run.
std::vector<std::string> calls(UtilityMachine& m, size_t disk);

TEST(TcgToolDrives, TheDialectFollowsTheFirstSSCInOrder) {
    const std::string host =
        "[{MaxComPacketSize=2048}, {MaxPacketSize=2028}, {MaxIndTokenSize=1992}, "
        "{MaxPackets=1}, {MaxSubpackets=1}, {MaxMethods=1}]";
    struct Case {
        const char* disk;
        size_t index;
        std::string properties;  // the Opal family names the host list 0
    };
    const Case cases[] = {
        {"1/1", 0, "[SessionManager] SMUID.Properties({0=" + host + "})"},
        {"1/2", 1, "[SessionManager] SMUID.Properties({HostProperties=" + host + "})"},
        {"1/3", 2, "[SessionManager] SMUID.Properties({0=" + host + "})"},
        {"1/5", 4, "[SessionManager] SMUID.Properties({0=" + host + "})"},
    };
    UtilityMachine m(kDrives);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.disk);
        drive(m, c.index)->ClearCallLog();
        const utiltest::RunResult r = m.run({"--tcgtool", "--query", c.disk});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(calls(m, c.index), std::vector<std::string>{c.properties});
    }
}

std::vector<std::string> calls(UtilityMachine& m, size_t disk) {
    return drive(m, disk)->CallLogLines();
}

TEST(TcgToolDrives, EnterpriseRetriesWithoutTimeoutAndAFalseAuthenticateIs135) {
    UtilityMachine m(kDrives);
    emu::tcg::Fault refuseTimeout;
    refuseTimeout.kind = emu::tcg::Fault::Kind::RefuseSessionTimeout;
    drive(m, 1)->InjectFault(refuseTimeout);
    drive(m, 1)->ClearCallLog();
    const utiltest::RunResult r =
        m.run({"--tcgtool", "-n", "--setPassword", "wrong", "BandMaster1", "new", "1/2"});
    EXPECT_EQ(r.status, 135);
    // The refused start is reported as the drive answered it; the retry goes on.
    EXPECT_EQ(r.out,
              "ERR : method status code INVALID_PARAMETER\n"
              "ERR : Session Authenticate failed (response = false)\n");
    const std::vector<std::string> expected = {
        // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): long entries wrapped over lines
        "[SessionManager] SMUID.Properties({HostProperties=[{MaxComPacketSize=2048}, "
        "{MaxPacketSize=2028}, {MaxIndTokenSize=1992}, {MaxPackets=1}, {MaxSubpackets=1}, "
        "{MaxMethods=1}]})",
        "[SessionManager] SMUID.StartSession(105, EntLockingSP, 1, {SessionTimeout=60000}) "
        "-> 12",
        "[SessionManager] SMUID.StartSession(105, EntLockingSP, 1)",
        "[EntLockingSP/Anybody] ThisSP.EAuthenticate(BandMaster1, {Challenge=<secret>})",
        "[EntLockingSP/Anybody] EndOfSession",
    };
    EXPECT_EQ(calls(m, 1), expected);
    EXPECT_FALSE(drive(m, 1)->Session().has_value());
}

// The receive of the End of Session reply after the MSID is read fails; the next session must
// not take that reply for its own, and the setup goes on.
TEST(TcgToolDrives, AFailedEndOfSessionReceiveLeavesTheNextSessionItsOwnReply) {
    UtilityMachine m(kDrives);
    emu::tcg::Fault f;
    f.kind = emu::tcg::Fault::Kind::AbortReceive;
    f.value = 0x1000;  // the drive's base ComID: Properties, StartSession, Get, End of Session
    f.onCall = 4;
    f.times = 1;
    drive(m, 0)->InjectFault(f);
    const utiltest::RunResult r = m.run({"--tcgtool", "-n", "--initialSetup", "Pw-One", "1/1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "sendCmd failed!\n"
              "ERR : Command failed on recv1\n"
              "ERR : Command failed on exec 1\n"
              "ERR : EndSession Failed\n"
              "INFO: SID password changed\n"
              "INFO: takeOwnership complete\n"
              "INFO: Locking SP Activate Complete\n"
              "INFO: LockingRange0 disabled ReadLocking,WriteLocking\n"
              "INFO: LockingRange0 set to RW\n"
              "INFO: setMBREnable set on\n"
              "INFO: Initial setup of TPer complete on 1/1\n");
    const std::string pw = "Pw-One";
    EXPECT_EQ(drive(m, 0)->Pin(emu::tcg::uid::kAdminSp, emu::tcg::CPinOf(emu::tcg::uid::kSid)),
              emu::tcg::Bytes(pw.begin(), pw.end()));
    EXPECT_FALSE(drive(m, 0)->Session().has_value());
    EXPECT_EQ(drive(m, 0)->QueuedReplies(), 0u);
    EXPECT_TRUE(drive(m, 0)->FrameErrors().empty());
}

std::string hexOf(const std::string& text, const char* format) {
    std::string hex;
    char b[4];
    for (unsigned char c : text) {
        std::snprintf(b, sizeof b, format, c);
        hex += b;
    }
    return hex;
}

// Whether `out` shows `secret` as text or as hex bytes (either case, as the dumps print them).
bool shows(const std::string& out, const std::string& secret) {
    const std::string head = secret.substr(0, 6);
    return out.find(secret) != std::string::npos ||
           out.find(hexOf(head, " %02x")) != std::string::npos ||
           out.find(hexOf(head, " %02X")) != std::string::npos ||
           out.find(hexOf(head, "%02x")) != std::string::npos ||
           out.find(hexOf(head, "%02X")) != std::string::npos;
}

class TempFolder {
public:
    TempFolder() {
        std::string pattern = testing::TempDir() + "tcgtoolXXXXXX";
        path_ = mkdtemp(pattern.data()) ? pattern : "";
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

TEST(TcgToolDrives, NoActionShowsASecretAtAnyLevel) {
    TempFolder folder;
    ASSERT_FALSE(folder.path().empty());
    const std::string pba = folder.path() + "/pba.img";
    std::FILE* f = std::fopen(pba.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    const std::string image(3000, 'B');
    std::fwrite(image.data(), 1, image.size(), f);
    std::fclose(f);

    const std::string P = "Pw-Secret-77", N = "New-Secret-88";
    struct Drive {
        const char* disk;
        size_t index;
        const char* psid;
        const char* msid;
        const char* user;
    };
    const Drive drives[] = {{"1/1", 0, "PSIDOPALPSIDOPAL", "MSIDOPAL2", "User1"},
                            {"1/2", 1, "PSIDENTPSIDENT01", "MSIDENT1", "BandMaster1"}};
    UtilityMachine m(kDrives);
    for (const Drive& d : drives) {
        const std::string D = d.disk, S = d.psid, U = d.user;
        const std::vector<std::vector<std::string>> actions = {
            {"--initialSetup", P, D},
            {"--setSIDPassword", P, N, D},
            {"--setup_SUM", "1", "0", "64", P, N, D},
            {"--setAdmin1Pwd", P, N, D},
            {"--setPassword", P, U, N, D},
            {"--setPassword", "", U, N, D},
            {"--setPassword_SUM", P, "User2", N, D},
            {"--loadPBAimage", P, pba, D},
            {"--setLockingRange", "1", "LK", P, D},
            {"--revertTPer", P, D},
            {"--revertNoErase", P, D},
            {"--setLockingRange_SUM", "1", "RW", P, D},
            {"--revertLockingSP", P, D},
            {"--PSIDrevert", S, D},
            {"--PSIDrevertAdminSP", S, D},
            {"--yesIreallywanttoERASEALLmydatausingthePSID", S, D},
            {"--enableLockingRange", "1", P, D},
            {"--disableLockingRange", "1", P, D},
            {"--readonlyLockingRange", "1", P, D},
            {"--setupLockingRange", "1", "0", "64", P, D},
            {"--setupLockingRange_SUM", "0", "0", "64", P, D},
            {"--listLockingRanges", P, D},
            {"--listLockingRange", "1", P, D},
            {"--rekeyLockingRange", "1", P, D},
            {"--setBandsEnabled", P, D},
            {"--setBandEnabled", "1", P, D},
            {"--setMBREnable", "on", P, D},
            {"--setMBRDone", "on", P, D},
            {"--enableuser", P, "User1", D},
            {"--activateLockingSP", P, D},
            {"--activateLockingSP_SUM", "1", P, D},
            {"--eraseLockingRange_SUM", "1", P, D},
            {"--query", D},
            {"--eraseLockingRange", "1", P, D},
            {"--takeOwnership", P, D},
            {"--objDump", "0000020500000001", "0000000900000006", P, "0000000B00000001", D},
            {"--printDefaultPassword", D},
            {"--rawCmd", "0000020500000001", "0000000900000006", P, "0000000B00008402",
             "0000000600000016", "F0F0F1F1", D},
        };
        for (std::vector<std::string> args : actions) {
            SCOPED_TRACE(D + " " + args[0]);
            args.insert(args.begin(), {"--tcgtool", "-n", "-vvvvv"});
            const utiltest::RunResult r = m.run(args);
            // The level was reached: every command is dumped.
            EXPECT_NE(r.out.find("DBG3: Dumping command buffer"), std::string::npos);
            for (const std::string& secret : {P, N, S})
                EXPECT_FALSE(shows(r.out, secret)) << secret;
            // The MSID only on the line that exists to show it.
            std::string withoutMsidLine = r.out;
            const std::string line = std::string("MSID: ") + d.msid + "\n";
            for (size_t at; (at = withoutMsidLine.find(line)) != std::string::npos;)
                withoutMsidLine.erase(at, line.size());
            EXPECT_FALSE(shows(withoutMsidLine, d.msid));
            EXPECT_FALSE(drive(m, d.index)->Session().has_value());
        }
    }
}

// One run with hashing: the derived credential is no more visible than the password.
TEST(TcgToolDrives, HashedCredentialIsNotShown) {
    UtilityMachine m(kDrives);
    const utiltest::RunResult r =
        m.run({"--tcgtool", "-vvvvv", "--setSIDPassword", "Pw-Secret-77", "New-Secret-88", "1/1"});
    EXPECT_NE(r.status, 0);  // the SID is still the MSID
    tcgLogLevel() = TCG_INFO;
    std::string serial = "SEROPAL01";
    serial.resize(20, ' ');
    // The session start carried the derived key of the old password (derived once per run:
    // this asks the same cache); the new one was never sent.
    std::vector<uint8_t> token;
    TcgHashPassword(token, "Pw-Secret-77", std::vector<uint8_t>(serial.begin(), serial.end()),
                    kTcgHashIterations, kTcgHashSize);
    ASSERT_EQ(token.size(), 34u);
    EXPECT_FALSE(shows(r.out, std::string(token.begin() + 2, token.end())));
    EXPECT_FALSE(shows(r.out, "Pw-Secret-77"));
    EXPECT_FALSE(shows(r.out, "New-Secret-88"));
    EXPECT_FALSE(drive(m, 0)->Session().has_value());
}

}  // namespace
