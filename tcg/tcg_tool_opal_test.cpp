// The TCG tool against the emulated Opal-family drives, end to end through the utility's
// --tcgtool option: the calls each action makes, whole life cycles with the drive's state
// after every step, Single User Mode, and refusals that change nothing.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "drive_checks.h"
#include "sed_drive.h"
#include "util_harness.h"

namespace {

using emu::tcg::Bytes;
using emu::tcg::SedDrive;
using utiltest::UtilityMachine;
namespace uid = emu::tcg::uid;
namespace col = emu::tcg::col;

// 1/1 Opal 2, 1/2 Pyrite 2, 1/3 Ruby, 1/4 Opal 1, 1/5 Opalite, 1/6 Pyrite 1.
const char* const kDrives = R"({"domains": [{
  "first_id": 256,
  "disks": [
    {"port": 0, "capacity": 2000000, "model": "OPAL SSD", "fwrev": "O2", "serial": "SEROPAL01",
     "tcg": "opal2", "tcg_settings": {"msid": "MSIDOPAL2", "psid": "PSIDOPALPSIDOPAL"}},
    {"port": 1, "capacity": 2000000, "model": "PYRITE", "fwrev": "P2", "serial": "SERPYR01",
     "tcg": "pyrite2", "tcg_settings": {"msid": "MSIDPYRITE", "psid": "PSIDPYRITEPSIDPY"}},
    {"port": 2, "capacity": 2000000, "model": "RUBY SSD", "fwrev": "R1", "serial": "SERRUBY01",
     "tcg": "ruby1", "tcg_settings": {"msid": "MSIDRUBY", "psid": "PSIDRUBYPSIDRUBY"}},
    {"port": 3, "capacity": 2000000, "model": "OPAL1 SSD", "fwrev": "O1", "serial": "SEROPAL1",
     "tcg": "opal1", "tcg_settings": {"msid": "MSIDOPAL1", "psid": "PSIDOPAL1PSIDOPA"}},
    {"port": 4, "capacity": 2000000, "model": "OPALITE", "fwrev": "L1", "serial": "SERLITE1",
     "tcg": "opalite", "tcg_settings": {"msid": "MSIDLITE", "psid": "PSIDLITEPSIDLITE"}},
    {"port": 5, "capacity": 2000000, "model": "PYRITE1", "fwrev": "p1", "serial": "SERPYR1",
     "tcg": "pyrite1", "tcg_settings": {"msid": "MSIDPYR1", "psid": "PSIDPYR1PSIDPYR1"}}
  ]
}]})";

Bytes bytes(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

class OpalTool : public testing::Test {
protected:
    SedDrive& drive(size_t index = 0) {
        return *std::dynamic_pointer_cast<SedDrive>(
            machine.emulator().Snapshot().disks.at(uint32_t(256 + index)).trusted);
    }
    // One run of the tool on one disk; the drive must be left with no session open.
    utiltest::RunResult tool(std::vector<std::string> args, size_t index = 0) {
        drive(index).ClearCallLog();
        args.insert(args.begin(), "--tcgtool");
        args.push_back("1/" + std::to_string(index + 1));
        utiltest::RunResult r = machine.run(args);
        EXPECT_TRUE(emu::tcg::test::NoSessionLeft(drive(index)));
        EXPECT_TRUE(drive(index).FrameErrors().empty());
        return r;
    }
    const emu::tcg::Sp& locking(size_t index = 0) {
        return *drive(index).Model().FindSp(uid::kLockingSp);
    }
    std::optional<Bytes> pin(const emu::tcg::Uid& sp, const emu::tcg::Uid& authority,
                             size_t index = 0) {
        return drive(index).Pin(sp, emu::tcg::CPinOf(authority));
    }
    // RangeStart, RangeLength and the four lock columns of a range.
    std::vector<uint64_t> range(uint32_t n, size_t index = 0) {
        std::vector<uint64_t> v;
        for (uint32_t c = col::kRangeStart; c <= col::kWriteLocked; ++c)
            v.push_back(locking(index).Uint(emu::tcg::OpalRange(n), c).value_or(99));
        return v;
    }
    // The saved state without the C_PIN Tries counters, which a refused password moves.
    nlohmann::json state(size_t index = 0) {
        nlohmann::json s = drive(index).SaveState();
        for (auto& sp : s["sps"])
            for (auto& [row, cells] : sp["rows"].items())
                if (row.rfind("0000000B", 0) == 0) cells.erase("6");
        return s;
    }
    // The drive's call log of the last run, without the Properties exchange every run opens with.
    std::vector<std::string> calls(size_t index = 0) {
        std::vector<std::string> lines = drive(index).CallLogLines();
        if (!lines.empty() && lines[0].rfind("[SessionManager] SMUID.Properties(", 0) == 0)
            lines.erase(lines.begin());
        return lines;
    }
    std::vector<uint64_t> keys(size_t index = 0) {
        std::vector<uint64_t> v;
        for (uint32_t n = 0; n <= drive(index).profile().maxRanges; ++n)
            v.push_back(drive(index).KeyGeneration(n).value_or(99));
        return v;
    }

    UtilityMachine machine{kDrives};
};

TEST_F(OpalTool, LifeCycleFromFactoryToRevert) {
    const Bytes msid = bytes("MSIDOPAL2"), pw = bytes("Pw-One");
    const std::vector<uint64_t> factoryKeys(9, 0);
    ASSERT_EQ(keys(), factoryKeys);

    auto r = tool({"--printDefaultPassword"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "MSID: MSIDOPAL2\n");

    r = tool({"-n", "--initialSetup", "Pw-One"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "INFO: SID password changed\n"
              "INFO: takeOwnership complete\n"
              "INFO: Locking SP Activate Complete\n"
              "INFO: LockingRange0 disabled ReadLocking,WriteLocking\n"
              "INFO: LockingRange0 set to RW\n"
              "INFO: setMBREnable set on\n"
              "INFO: Initial setup of TPer complete on 1/1\n");
    EXPECT_EQ(pin(uid::kAdminSp, uid::kSid), pw);
    EXPECT_EQ(locking().lifeCycle, emu::tcg::kManufactured);
    EXPECT_EQ(pin(uid::kLockingSp, emu::tcg::AdminAuthority(1)), pw);
    EXPECT_EQ(range(0), (std::vector<uint64_t>{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(locking().Uint(uid::kMbrControl, col::kMbrEnable), 1u);

    r = tool({"-n", "--setupLockingRange", "1", "2048", "4096", "Pw-One"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "INFO: LockingRange1 reKeyed \n"
              "INFO: LockingRange1 starting block 2048 for 4096 blocks configured as unlocked "
              "range\n");
    EXPECT_EQ(range(1), (std::vector<uint64_t>{2048, 4096, 0, 0, 0, 0}));
    EXPECT_EQ(keys(), (std::vector<uint64_t>{0, 1, 0, 0, 0, 0, 0, 0, 0}));

    r = tool({"-n", "--enableLockingRange", "1", "Pw-One"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "INFO: LockingRange1 enabled ReadLocking,WriteLocking\n");
    EXPECT_EQ(range(1), (std::vector<uint64_t>{2048, 4096, 1, 1, 0, 0}));

    r = tool({"-n", "--setLockingRange", "1", "LK", "Pw-One"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "INFO: LockingRange1 set to LK\n");
    EXPECT_EQ(range(1), (std::vector<uint64_t>{2048, 4096, 1, 1, 1, 1}));

    r = tool({"-n", "--listLockingRanges", "Pw-One"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "INFO: Locking Range Configuration for 1/1\n"
              "INFO: LR0 Begin 0 for 0\n"
              "INFO:             RLKEna = N  WLKEna = N  RLocked = N  WLocked = N \n"
              "INFO: LR1 Begin 2048 for 4096\n"
              "INFO:             RLKEna = Y  WLKEna = Y  RLocked = Y  WLocked = Y \n"
              "INFO: LR2 Begin 0 for 0\n"
              "INFO:             RLKEna = N  WLKEna = N  RLocked = N  WLocked = N \n"
              "INFO: LR3 Begin 0 for 0\n"
              "INFO:             RLKEna = N  WLKEna = N  RLocked = N  WLocked = N \n"
              "INFO: LR4 Begin 0 for 0\n"
              "INFO:             RLKEna = N  WLKEna = N  RLocked = N  WLocked = N \n"
              "INFO: LR5 Begin 0 for 0\n"
              "INFO:             RLKEna = N  WLKEna = N  RLocked = N  WLocked = N \n"
              "INFO: LR6 Begin 0 for 0\n"
              "INFO:             RLKEna = N  WLKEna = N  RLocked = N  WLocked = N \n"
              "INFO: LR7 Begin 0 for 0\n"
              "INFO:             RLKEna = N  WLKEna = N  RLocked = N  WLocked = N \n"
              "INFO: LR8 Begin 0 for 0\n"
              "INFO:             RLKEna = N  WLKEna = N  RLocked = N  WLocked = N \n");

    r = tool({"-n", "--setLockingRange", "1", "RW", "Pw-One"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "INFO: LockingRange1 set to RW\n");
    EXPECT_EQ(range(1), (std::vector<uint64_t>{2048, 4096, 1, 1, 0, 0}));

    r = tool({"-n", "--rekeyLockingRange", "1", "Pw-One"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "INFO: LockingRange1 reKeyed \n");
    EXPECT_EQ(keys(), (std::vector<uint64_t>{0, 2, 0, 0, 0, 0, 0, 0, 0}));

    // The Locking SP goes back to the factory; only the global range keeps its key.
    r = tool({"-n", "--revertNoErase", "Pw-One"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "INFO: Revert LockingSP complete\n");
    EXPECT_EQ(locking().lifeCycle, emu::tcg::kManufacturedInactive);
    EXPECT_EQ(keys(), (std::vector<uint64_t>{0, 3, 1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(range(1), (std::vector<uint64_t>{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(pin(uid::kAdminSp, uid::kSid), pw);

    // The SID is still the owner's: taking ownership again is refused and changes nothing.
    const auto before = state();
    r = tool({"-n", "--initialSetup", "Pw-Two"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "ERR : method status code NOT_AUTHORIZED\n"
              "ERR : Session start failed rc = 1\n"
              "ERR : takeOwnership failed\n"
              "ERR : Initial setup failed - unable to take ownership\n");
    EXPECT_EQ(state(), before);

    r = tool({"-n", "--revertTPer", "Pw-One"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "INFO: revertTper completed successfully\n");
    EXPECT_EQ(pin(uid::kAdminSp, uid::kSid), msid);
    EXPECT_EQ(locking().lifeCycle, emu::tcg::kManufacturedInactive);
    EXPECT_EQ(keys(), (std::vector<uint64_t>{1, 4, 2, 2, 2, 2, 2, 2, 2}));

    // Hashed this time: the drive holds the derived credential, not the password.
    r = tool({"--initialSetup", "Pw-Two"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "INFO: SID password changed\n"
              "INFO: takeOwnership complete\n"
              "INFO: Locking SP Activate Complete\n"
              "INFO: LockingRange0 disabled ReadLocking,WriteLocking\n"
              "INFO: LockingRange0 set to RW\n"
              "INFO: setMBREnable set on\n"
              "INFO: Initial setup of TPer complete on 1/1\n");
    const auto sid = pin(uid::kAdminSp, uid::kSid);
    ASSERT_TRUE(sid.has_value());
    EXPECT_EQ(sid->size(), 32u);
    EXPECT_EQ(pin(uid::kLockingSp, emu::tcg::AdminAuthority(1)), sid);
    EXPECT_EQ(locking().lifeCycle, emu::tcg::kManufactured);
}

TEST_F(OpalTool, SingleUserModeSetupRerunAndAWrongUserPassword) {
    const auto user2 = emu::tcg::UserAuthority(2);
    // A range the drive lacks is refused before ownership is taken.
    const auto factory = state();
    auto r = tool({"-n", "--setup_SUM", "9", "2048", "4096", "Admin-Pw", "User-Pw"});
    EXPECT_EQ(r.status, 0x81);
    EXPECT_EQ(r.out, "ERR : Requested locking range 9 greater than MaxRanges 8\n");
    EXPECT_EQ(calls(), std::vector<std::string>{});
    EXPECT_EQ(state(), factory);

    r = tool({"-n", "--setup_SUM", "1", "2048", "4096", "Admin-Pw", "User-Pw"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "INFO: SID password changed\n"
              "INFO: takeOwnership complete\n"
              "INFO: Locking SP Activate Complete for single User2 on locking range 1\n"
              "INFO: LockingRange reKeyed \n"
              "INFO: LockingRange1 starting block 2048 for 4096 blocks configured as LOCKED range\n"
              "INFO: LockingRange1 erased\n"
              "INFO: LockingRange1 set to RW\n"
              "INFO: User2 password changed\n"
              "INFO: Setup of SUM complete on 1/1\n");
    EXPECT_EQ(drive().SingleUserRanges(), std::vector<uint32_t>{1});
    EXPECT_EQ(range(1), (std::vector<uint64_t>{2048, 4096, 1, 1, 0, 0}));
    EXPECT_EQ(pin(uid::kLockingSp, user2), bytes("User-Pw"));
    EXPECT_EQ(pin(uid::kLockingSp, emu::tcg::AdminAuthority(1)), bytes("Admin-Pw"));
    EXPECT_EQ(locking().Uint(user2, col::kEnabled), 1u);
    // Set up and rekeyed by its user, then erased by the Admin.
    EXPECT_EQ(keys(), (std::vector<uint64_t>{0, 2, 0, 0, 0, 0, 0, 0, 0}));
    // NOLINTBEGIN(bugprone-suspicious-missing-comma): long entries wrapped over lines
    const std::vector<std::string> sumCalls = {
        "[SessionManager] SMUID.StartSession(105, AdminSP, 1)",
        "[AdminSP/Anybody] C_PIN_MSID.Get([{3=3}, {4=3}])",
        "[AdminSP/Anybody] EndOfSession",
        "[SessionManager] SMUID.StartSession(105, AdminSP, 1, {0=<secret>}, {3=SID})",
        "[AdminSP/SID] C_PIN_SID.Set({1=[{3=<secret>}]})",
        "[AdminSP/SID] EndOfSession",
        "[SessionManager] SMUID.StartSession(105, AdminSP, 1, {0=<secret>}, {3=SID})",
        "[AdminSP/SID] LockingSP.Get([{3=6}, {4=6}])",
        "[AdminSP/SID] LockingSP.Activate({393216=[Locking_Range1]})",
        "[AdminSP/SID] EndOfSession",
        "[SessionManager] SMUID.StartSession(105, LockingSP, 1, {0=<secret>}, {3=User2})",
        "[LockingSP/User2] Locking_Range1.Set({1=[{3=2048}, {4=4096}, {5=1}, {6=1}, {7=0}, "
        "{8=0}]})",
        "[LockingSP/User2] EndOfSession",
        "[SessionManager] SMUID.StartSession(105, LockingSP, 1, {0=<secret>}, {3=User2})",
        "[LockingSP/User2] Locking_Range1.Get([{3=10}, {4=10}])",
        "[LockingSP/User2] K_AES_256_Range1.GenKey()",
        "[LockingSP/User2] EndOfSession",
        "[SessionManager] SMUID.StartSession(105, LockingSP, 1, {0=<secret>}, {3=Admin1})",
        "[LockingSP/Admin1] LockingInfo.Get([{3=4}, {4=4}])",
        "[LockingSP/Admin1] Locking_Range1.Erase()",
        "[LockingSP/Admin1] EndOfSession",
        "[SessionManager] SMUID.StartSession(105, LockingSP, 1, {0=<secret>}, {3=Admin1})",
        "[LockingSP/Admin1] Locking_Range1.Get([{3=3}, {4=8}])",
        "[LockingSP/Admin1] EndOfSession",
        "[SessionManager] SMUID.StartSession(105, LockingSP, 1, {0=<secret>}, {3=User2})",
        "[LockingSP/User2] Locking_Range1.Set({1=[{7=0}, {8=0}]})",
        "[LockingSP/User2] EndOfSession",
        "[SessionManager] SMUID.StartSession(105, LockingSP, 1, {0=<secret>}, {3=User2})",
        "[LockingSP/User2] C_PIN_User2.Set({1=[{3=<secret>}]})",
        "[LockingSP/User2] EndOfSession"};
    // NOLINTEND(bugprone-suspicious-missing-comma)
    EXPECT_EQ(calls(), sumCalls);

    // A re-run erases the range again and gives its user the new password.
    r = tool({"-n", "--setup_SUM", "1", "2048", "4096", "Admin-Pw", "User-Pw2"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "INFO: LockingRange1 erased\n"
              "INFO: LockingRange1 set to RW\n"
              "INFO: User2 password changed\n"
              "INFO: Setup of SUM complete on 1/1\n");
    EXPECT_EQ(keys(), (std::vector<uint64_t>{0, 3, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(pin(uid::kLockingSp, user2), bytes("User-Pw2"));

    const auto before = state();
    r = tool({"-n", "--setLockingRange_SUM", "1", "LK", "User-Pw"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "ERR : method status code NOT_AUTHORIZED\n"
              "ERR : Session start failed rc = 1\n"
              "ERR : Error starting session. Did you provide the correct user password? "
              "(GlobalRange = User1; Range1 = User2, etc.)\n");
    EXPECT_EQ(calls(),
              std::vector<std::string>{"[SessionManager] SMUID.StartSession(105, LockingSP, "
                                       "1, {0=<secret>}, {3=User2}) -> 1"});
    EXPECT_EQ(state(), before);

    r = tool({"-n", "--setLockingRange_SUM", "1", "LK", "User-Pw2"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(range(1), (std::vector<uint64_t>{2048, 4096, 1, 1, 1, 1}));

    // The range is its user's: the Admin may not unlock it, only erase it.
    r = tool({"-n", "--setLockingRange", "1", "RW", "Admin-Pw"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "ERR : method status code NOT_AUTHORIZED\n"
              "ERR : Set Failed \n"
              "ERR : setLockingRange Failed \n");
    EXPECT_EQ(range(1), (std::vector<uint64_t>{2048, 4096, 1, 1, 1, 1}));
    r = tool({"-n", "--eraseLockingRange_SUM", "1", "Admin-Pw"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "INFO: LockingRange1 erased\n");
    EXPECT_EQ(range(1), (std::vector<uint64_t>{2048, 4096, 1, 1, 0, 0}));
    EXPECT_EQ(keys(), (std::vector<uint64_t>{0, 4, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(pin(uid::kLockingSp, user2), Bytes{});

    // Without -n an empty password still goes as an empty credential: the emptied user gets in.
    r = tool({"--setLockingRange_SUM", "1", "LK", ""});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(range(1), (std::vector<uint64_t>{2048, 4096, 1, 1, 1, 1}));
}

// Refusals: the exit status, the lines, no state changed and no call past the refused one.
TEST_F(OpalTool, RefusalsChangeNothing) {
    ASSERT_EQ(tool({"-n", "--initialSetup", "Pw-One"}).status, 0);
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;
        std::vector<std::string> calls;
    };
    const std::string adminStart =
        "[SessionManager] SMUID.StartSession(105, LockingSP, 1, {0=<secret>}, {3=Admin1})";
    const std::string refused =
        "ERR : method status code NOT_AUTHORIZED\n"
        "ERR : Session start failed rc = 1\n";
    const std::vector<Case> cases = {
        {{"-n", "--setLockingRange", "0", "LK", "Wrong"}, 1, refused, {adminStart + " -> 1"}},
        {{"-n", "--takeOwnership", "Pw-Two"},
         1,
         refused + "ERR : takeOwnership failed\n",
         {"[SessionManager] SMUID.StartSession(105, AdminSP, 1)",
          "[AdminSP/Anybody] C_PIN_MSID.Get([{3=3}, {4=3}])", "[AdminSP/Anybody] EndOfSession",
          "[SessionManager] SMUID.StartSession(105, AdminSP, 1, {0=<secret>}, {3=SID}) -> 1"}},
        {{"-n", "--activateLockingSP", "Pw-One"},
         131,
         "ERR : Locking SP lifecycle is not Manufactured-Inactive\n",
         {"[SessionManager] SMUID.StartSession(105, AdminSP, 1, {0=<secret>}, {3=SID})",
          "[AdminSP/SID] LockingSP.Get([{3=6}, {4=6}])", "[AdminSP/SID] EndOfSession"}},
        {{"-n", "--setLockingRange", "16", "LK", "Pw-One"},
         136,
         "ERR : Invalid Locking Range (0-15) 16\n",
         {}},
        {{"-n", "--setLockingRange", "9", "LK", "Pw-One"},
         129,
         "ERR : Requested locking range 9 greater than MaxRanges 8\n",
         {adminStart, "[LockingSP/Admin1] LockingInfo.Get([{3=4}, {4=4}])",
          "[LockingSP/Admin1] EndOfSession"}},
        {{"-n", "--rekeyLockingRange", "9", "Pw-One"},
         129,
         "ERR : Requested locking range 9 greater than MaxRanges 8\n"
         "ERR : rekeyLockingRange Failed \n",
         {adminStart, "[LockingSP/Admin1] LockingInfo.Get([{3=4}, {4=4}])",
          "[LockingSP/Admin1] EndOfSession"}},
        {{"-n", "--eraseLockingRange_SUM", "15", "Pw-One"},
         129,
         "ERR : Requested locking range 15 greater than MaxRanges 8\n"
         "ERR : setLockingRange Failed \n",
         {adminStart, "[LockingSP/Admin1] LockingInfo.Get([{3=4}, {4=4}])",
          "[LockingSP/Admin1] EndOfSession"}},
        // Single User Mode actions address a range through its user: the count of locking
        // objects in discovery refuses one the drive lacks before any session.
        {{"-n", "--setLockingRange_SUM", "9", "LK", "Pw-One"},
         129,
         "ERR : Requested locking range 9 greater than MaxRanges 8\n",
         {}},
        {{"-n", "--setupLockingRange_SUM", "12", "0", "64", "Pw-One"},
         129,
         "ERR : Requested locking range 12 greater than MaxRanges 8\n",
         {}},
        {{"-n", "--activateLockingSP_SUM", "9", "Pw-One"},
         129,
         "ERR : Requested locking range 9 greater than MaxRanges 8\n",
         {}},
        {{"-n", "--setPassword", "Pw-One", "User300", "Pw-Two"},
         131,
         "ERR : Invalid Userid User300\n",
         {}},
        {{"-n", "--enableuser", "Pw-One", "Bob"}, 131, "ERR : Invalid Userid Bob\n", {}},
        // Well-formed names of authorities the drive (4 Admins, 8 Users) does not have.
        {{"-n", "--setPassword", "Pw-One", "User9", "Pw-Two"},
         131,
         "ERR : method status code INVALID_PARAMETER\n"
         "ERR : Unable to find user User9 in Authority Table\n",
         {adminStart, "[LockingSP/Admin1] User9.Get([{3=0}, {4=0}]) -> 12",
          "[LockingSP/Admin1] EndOfSession"}},
        {{"-n", "--enableuser", "Pw-One", "User9"},
         131,
         "ERR : method status code INVALID_PARAMETER\n"
         "ERR : Unable to find user User9 in Authority Table\n",
         {adminStart, "[LockingSP/Admin1] User9.Get([{3=0}, {4=0}]) -> 12",
          "[LockingSP/Admin1] EndOfSession"}},
        {{"-n", "--setPassword", "Pw-One", "Admin5", "Pw-Two"},
         131,
         "ERR : method status code INVALID_PARAMETER\n"
         "ERR : Unable to find user Admin5 in Authority Table\n",
         {adminStart, "[LockingSP/Admin1] Admin5.Get([{3=0}, {4=0}]) -> 12",
          "[LockingSP/Admin1] EndOfSession"}},
        // The session comes first: a wrong password is what the run reports.
        {{"-n", "--setPassword", "Wrong", "User9", "Pw-Two"}, 1, refused, {adminStart + " -> 1"}},
        {{"-n", "--setup_SUM", "1", "0", "64", "Pw-One", "Pw-Two"},
         131,
         "ERR : Setup_SUM failed - LockingSP has already been configured in standard mode.\n",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1]);
        const auto before = state();
        const auto r = tool(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(calls(), c.calls);
        EXPECT_EQ(state(), before);
    }
}

TEST_F(OpalTool, PyriteLocksWithoutKeys) {
    auto r = tool({"-n", "--initialSetup", "Pw-One"}, 1);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(locking(1).lifeCycle, emu::tcg::kManufactured);
    r = tool({"-n", "--enableLockingRange", "0", "Pw-One"}, 1);
    EXPECT_EQ(r.status, 0);
    r = tool({"-n", "--setLockingRange", "0", "LK", "Pw-One"}, 1);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(range(0, 1), (std::vector<uint64_t>{0, 0, 1, 1, 1, 1}));
    // No media encryption: nothing to rekey.
    r = tool({"-n", "--rekeyLockingRange", "0", "Pw-One"}, 1);
    EXPECT_EQ(r.status, 0x8A);
    EXPECT_EQ(r.out,
              "ERR : Locking range has no ActiveKey\n"
              "ERR : rekeyLockingRange Failed \n");
    EXPECT_EQ(drive(1).KeyGeneration(0), std::nullopt);
    r = tool({"-n", "--PSIDrevert", "PSIDPYRITEPSIDPY"}, 1);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(locking(1).lifeCycle, emu::tcg::kManufacturedInactive);
    EXPECT_EQ(pin(uid::kAdminSp, uid::kSid, 1), bytes("MSIDPYRITE"));
}

TEST_F(OpalTool, RubyBehavesAsOpalTwoWithoutShadowing) {
    auto r = tool({"-n", "--initialSetup", "Pw-One"}, 2);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "INFO: SID password changed\n"
              "INFO: takeOwnership complete\n"
              "INFO: Locking SP Activate Complete\n"
              "INFO: LockingRange0 disabled ReadLocking,WriteLocking\n"
              "INFO: LockingRange0 set to RW\n"
              "INFO: Initial setup of TPer complete on 1/3\n");
    EXPECT_FALSE(locking(2).Has(uid::kMbrControl));
    r = tool({"-n", "--setupLockingRange", "3", "0", "64", "Pw-One"}, 2);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(range(3, 2), (std::vector<uint64_t>{0, 64, 0, 0, 0, 0}));
    EXPECT_EQ(keys(2), (std::vector<uint64_t>{0, 0, 0, 1, 0, 0, 0, 0, 0}));
    r = tool({"-n", "--revertLockingSP", "Pw-One"}, 2);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(keys(2), (std::vector<uint64_t>{1, 1, 1, 2, 1, 1, 1, 1, 1}));
    EXPECT_EQ(locking(2).lifeCycle, emu::tcg::kManufacturedInactive);
}

// An overlapping range is the drive's to refuse; the refusal changes nothing, not even the key.
TEST_F(OpalTool, AnOverlappingRangeIsRefusedAndChangesNothing) {
    ASSERT_EQ(tool({"-n", "--initialSetup", "Pw-One"}).status, 0);
    ASSERT_EQ(tool({"-n", "--setupLockingRange", "1", "0", "2048", "Pw-One"}).status, 0);
    const auto before = state();
    const auto keysBefore = keys();
    auto r = tool({"-n", "--setupLockingRange", "2", "1024", "2048", "Pw-One"});
    EXPECT_EQ(r.status, 12);
    EXPECT_EQ(r.out,
              "ERR : method status code INVALID_PARAMETER\n"
              "ERR : Set Failed \n"
              "ERR : setupLockingRange Failed \n");
    const std::string L = "[LockingSP/Admin1] ";
    EXPECT_EQ(calls(),
              (std::vector<std::string>{
                  "[SessionManager] SMUID.StartSession(105, LockingSP, 1, {0=<secret>}, "
                  "{3=Admin1})",
                  L + "LockingInfo.Get([{3=4}, {4=4}])",
                  L + "Locking_Range2.Set({1=[{3=1024}, {4=2048}, {5=0}, {6=0}, {7=0}, {8=0}]}) "
                      "-> 12",
                  L + "EndOfSession"}));
    EXPECT_EQ(state(), before);
    EXPECT_EQ(keys(), keysBefore);
    // Right after range 1 it fits.
    r = tool({"-n", "--setupLockingRange", "2", "2048", "2048", "Pw-One"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(range(2), (std::vector<uint64_t>{2048, 2048, 0, 0, 0, 0}));
}

std::string validSedLine(const char* disk, const char* sscs, std::string model, std::string fw) {
    model.resize(40, ' ');
    fw.resize(8, ' ');
    return std::string(disk) + " SED " + sscs + " " + model + " " + fw + "\n";
}

const char* const kOwned =
    "INFO: SID password changed\n"
    "INFO: takeOwnership complete\n"
    "INFO: Locking SP Activate Complete\n"
    "INFO: LockingRange0 disabled ReadLocking,WriteLocking\n"
    "INFO: LockingRange0 set to RW\n"
    "INFO: setMBREnable set on\n";

TEST_F(OpalTool, OpalOneFromDiscoveryThroughARangeToRevert) {
    const size_t d = 3;
    auto r = tool({"--isValidSED"}, d);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, validSedLine("1/4", "1------", "OPAL1 SSD", "O1"));

    r = tool({"-n", "--initialSetup", "Pw-One"}, d);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string(kOwned) + "INFO: Initial setup of TPer complete on 1/4\n");
    EXPECT_EQ(pin(uid::kAdminSp, uid::kSid, d), bytes("Pw-One"));
    EXPECT_EQ(locking(d).lifeCycle, emu::tcg::kManufactured);

    r = tool({"-n", "--setupLockingRange", "1", "0", "4096", "Pw-One"}, d);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "INFO: LockingRange1 reKeyed \n"
              "INFO: LockingRange1 starting block 0 for 4096 blocks configured as unlocked "
              "range\n");
    r = tool({"-n", "--enableLockingRange", "1", "Pw-One"}, d);
    EXPECT_EQ(r.status, 0);
    r = tool({"-n", "--setLockingRange", "1", "LK", "Pw-One"}, d);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "INFO: LockingRange1 set to LK\n");
    EXPECT_EQ(range(1, d), (std::vector<uint64_t>{0, 4096, 1, 1, 1, 1}));
    EXPECT_EQ(keys(d), (std::vector<uint64_t>{0, 1, 0, 0, 0, 0, 0, 0, 0}));

    r = tool({"-n", "--revertTPer", "Pw-One"}, d);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "INFO: revertTper completed successfully\n");
    EXPECT_EQ(pin(uid::kAdminSp, uid::kSid, d), bytes("MSIDOPAL1"));
    EXPECT_EQ(locking(d).lifeCycle, emu::tcg::kManufacturedInactive);
    EXPECT_EQ(range(1, d), (std::vector<uint64_t>{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(keys(d), (std::vector<uint64_t>{1, 2, 1, 1, 1, 1, 1, 1, 1}));
}

// Opalite and Pyrite 1.0 have the global range only: a range above it is refused before
// anything is set, the global range locks, and the drive goes back to the factory.
TEST_F(OpalTool, OpaliteAndPyriteOneHaveTheGlobalRangeOnly) {
    struct Drive {
        size_t index;
        const char* disk;
        const char* sscs;
        const char* model;
        const char* fw;
        const char* msid;
        const char* psid;
        bool keys;
    };
    const Drive drives[] = {
        {4, "1/5", "---L---", "OPALITE", "L1", "MSIDLITE", "PSIDLITEPSIDLITE", true},
        {5, "1/6", "----p--", "PYRITE1", "p1", "MSIDPYR1", "PSIDPYR1PSIDPYR1", false},
    };
    for (const Drive& v : drives) {
        SCOPED_TRACE(v.disk);
        const size_t d = v.index;
        auto r = tool({"--isValidSED"}, d);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, validSedLine(v.disk, v.sscs, v.model, v.fw));

        r = tool({"-n", "--initialSetup", "Pw-One"}, d);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out,
                  std::string(kOwned) + "INFO: Initial setup of TPer complete on " + v.disk + "\n");
        EXPECT_EQ(locking(d).lifeCycle, emu::tcg::kManufactured);

        const auto before = state(d);
        r = tool({"-n", "--setupLockingRange", "1", "0", "64", "Pw-One"}, d);
        EXPECT_EQ(r.status, 0x81);
        EXPECT_EQ(r.out, "ERR : Requested locking range 1 greater than MaxRanges 0\n");
        EXPECT_EQ(calls(d),
                  (std::vector<std::string>{
                      "[SessionManager] SMUID.StartSession(105, LockingSP, 1, {0=<secret>}, "
                      "{3=Admin1})",
                      "[LockingSP/Admin1] LockingInfo.Get([{3=4}, {4=4}])",
                      "[LockingSP/Admin1] EndOfSession"}));
        EXPECT_EQ(state(d), before);

        r = tool({"-n", "--enableLockingRange", "0", "Pw-One"}, d);
        EXPECT_EQ(r.status, 0);
        r = tool({"-n", "--setLockingRange", "0", "LK", "Pw-One"}, d);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(range(0, d), (std::vector<uint64_t>{0, 0, 1, 1, 1, 1}));
        // Only a drive that encrypts has a key to replace.
        r = tool({"-n", "--rekeyLockingRange", "0", "Pw-One"}, d);
        EXPECT_EQ(r.status, v.keys ? 0 : 0x8A);
        EXPECT_EQ(drive(d).KeyGeneration(0), v.keys ? std::optional<uint64_t>(1) : std::nullopt);

        r = tool({"-n", "--PSIDrevert", v.psid}, d);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "INFO: revertTper completed successfully\n");
        EXPECT_EQ(pin(uid::kAdminSp, uid::kSid, d), bytes(v.msid));
        EXPECT_EQ(locking(d).lifeCycle, emu::tcg::kManufacturedInactive);
        EXPECT_EQ(range(0, d), (std::vector<uint64_t>{0, 0, 0, 0, 0, 0}));
    }
}

}  // namespace
