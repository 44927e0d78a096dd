// The calls each TCG tool action makes on an emulated Opal 2 drive, in one run from the factory
// through ownership, users, ranges, MBR, reverts and Single User Mode: catches wrong UIDs,
// columns, authorities, nesting and session order.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "drive_checks.h"
#include "sed_drive.h"
#include "util_harness.h"

namespace {

const char* const kDrive = R"({"domains": [{
  "first_id": 256,
  "disks": [
    {"port": 0, "capacity": 2000000, "model": "OPAL SSD", "fwrev": "O2", "serial": "SEROPAL01",
     "tcg": "opal2", "tcg_settings": {"msid": "MSIDOPAL2", "psid": "PSIDOPALPSIDOPAL"}}
  ]
}]})";

std::string start(const std::string& sp, const std::string& authority = "") {
    std::string s = "[SessionManager] SMUID.StartSession(105, " + sp + ", 1";
    if (!authority.empty()) s += ", {0=<secret>}, {3=" + authority + "}";
    return s + ")";
}

TEST(OpalToolCalls, EachActionMakesItsCalls) {
    // Named per process: other checkouts may run this test at the same time.
    const std::string pba =
        testing::TempDir() + "opal_calls_pba_" + std::to_string(getpid()) + ".img";
    std::FILE* f = std::fopen(pba.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    const std::string image = "pre-boot image";
    std::fwrite(image.data(), 1, image.size(), f);
    std::fclose(f);

    const std::string A = "[AdminSP/SID] ", L = "[LockingSP/Admin1] ", U2 = "[LockingSP/User2] ";
    const std::string readMsid = "[AdminSP/Anybody] C_PIN_MSID.Get([{3=3}, {4=3}])";
    const std::string maxRanges = L + "LockingInfo.Get([{3=4}, {4=4}])";
    struct Case {
        std::vector<std::string> args;
        int status;
        std::vector<std::string> calls;  // after the Properties exchange
    };
    const std::vector<Case> cases = {
        {{"--printDefaultPassword"},
         0,
         {start("AdminSP"), readMsid, "[AdminSP/Anybody] EndOfSession"}},
        {{"--initialSetup", "Pw"},
         0,
         {start("AdminSP"), readMsid, "[AdminSP/Anybody] EndOfSession", start("AdminSP", "SID"),
          A + "C_PIN_SID.Set({1=[{3=<secret>}]})", A + "EndOfSession", start("AdminSP", "SID"),
          A + "LockingSP.Get([{3=6}, {4=6}])", A + "LockingSP.Activate()", A + "EndOfSession",
          start("LockingSP", "Admin1"), L + "Locking_GlobalRange.Set({1=[{5=0}, {6=0}]})",
          L + "EndOfSession", start("LockingSP", "Admin1"),
          L + "Locking_GlobalRange.Set({1=[{7=0}, {8=0}]})", L + "EndOfSession",
          start("LockingSP", "Admin1"), L + "MBRControl.Set({1=[{1=1}]})", L + "EndOfSession"}},
        {{"--setSIDPassword", "Pw", "Sid"},
         0,
         {start("AdminSP", "SID"), A + "C_PIN_SID.Set({1=[{3=<secret>}]})", A + "EndOfSession"}},
        {{"--setAdmin1Pwd", "Pw", "Adm"},
         0,
         {start("LockingSP", "Admin1"), L + "Admin1.Get([{3=0}, {4=0}])",
          L + "C_PIN_Admin1.Set({1=[{3=<secret>}]})", L + "EndOfSession"}},
        {{"--setPassword", "Adm", "User1", "Usr"},
         0,
         {start("LockingSP", "Admin1"), L + "User1.Get([{3=0}, {4=0}])",
          L + "C_PIN_User1.Set({1=[{3=<secret>}]})", L + "EndOfSession"}},
        {{"--enableuser", "Adm", "User1"},
         0,
         {start("LockingSP", "Admin1"), L + "User1.Get([{3=0}, {4=0}])",
          L + "User1.Set({1=[{5=1}]})", L + "EndOfSession"}},
        {{"--setupLockingRange", "1", "0", "64", "Adm"},
         0,
         {start("LockingSP", "Admin1"), maxRanges,
          L + "Locking_Range1.Set({1=[{3=0}, {4=64}, {5=0}, {6=0}, {7=0}, {8=0}]})",
          L + "EndOfSession", start("LockingSP", "Admin1"),
          L + "Locking_Range1.Get([{3=10}, {4=10}])", L + "K_AES_256_Range1.GenKey()",
          L + "EndOfSession"}},
        {{"--readonlyLockingRange", "1", "Adm"},
         0,
         {start("LockingSP", "Admin1"), maxRanges, L + "Locking_Range1.Set({1=[{5=0}, {6=1}]})",
          L + "EndOfSession"}},
        {{"--disableLockingRange", "1", "Adm"},
         0,
         {start("LockingSP", "Admin1"), maxRanges, L + "Locking_Range1.Set({1=[{5=0}, {6=0}]})",
          L + "EndOfSession"}},
        {{"--setLockingRange", "1", "RO", "Adm"},
         0,
         {start("LockingSP", "Admin1"), maxRanges, L + "Locking_Range1.Set({1=[{7=0}, {8=1}]})",
          L + "EndOfSession"}},
        {{"--rekeyLockingRange", "1", "Adm"},
         0,
         {start("LockingSP", "Admin1"), maxRanges, L + "Locking_Range1.Get([{3=10}, {4=10}])",
          L + "K_AES_256_Range1.GenKey()", L + "EndOfSession"}},
        {{"--listLockingRange", "1", "Adm"},
         0,
         {start("LockingSP", "Admin1"), maxRanges, L + "Locking_GlobalRange.Get([{3=3}, {4=8}])",
          L + "Locking_Range1.Get([{3=3}, {4=8}])", L + "Locking_Range2.Get([{3=3}, {4=8}])",
          L + "Locking_Range3.Get([{3=3}, {4=8}])", L + "Locking_Range4.Get([{3=3}, {4=8}])",
          L + "Locking_Range5.Get([{3=3}, {4=8}])", L + "Locking_Range6.Get([{3=3}, {4=8}])",
          L + "Locking_Range7.Get([{3=3}, {4=8}])", L + "Locking_Range8.Get([{3=3}, {4=8}])",
          L + "EndOfSession"}},
        {{"--setMBRDone", "on", "Adm"},
         0,
         {start("LockingSP", "Admin1"), L + "MBRControl.Set({1=[{2=1}]})", L + "EndOfSession"}},
        {{"--setMBREnable", "off", "Adm"},
         0,
         {start("LockingSP", "Admin1"), L + "MBRControl.Set({1=[{1=0}]})", L + "EndOfSession"}},
        {{"--loadPBAimage", "Adm", pba},
         0,
         {start("LockingSP", "Admin1"), L + "MBR.Set({0=0}, {1=\"pre-boot image\"})",
          L + "EndOfSession"}},
        {{"--eraseLockingRange", "1", "Adm"}, 131, {}},
        {{"--setBandsEnabled", "Adm"}, 131, {}},
        {{"--revertLockingSP", "Adm"}, 0, {start("LockingSP", "Admin1"), L + "ThisSP.RevertSP()"}},
        {{"--activateLockingSP", "Sid"},
         0,
         {start("AdminSP", "SID"), A + "LockingSP.Get([{3=6}, {4=6}])", A + "LockingSP.Activate()",
          A + "EndOfSession"}},
        {{"--revertNoErase", "Sid"},
         0,
         {start("LockingSP", "Admin1"), L + "ThisSP.RevertSP({393216=1})"}},
        {{"--PSIDrevert", "PSIDOPALPSIDOPAL"},
         0,
         {start("AdminSP", "PSID"), "[AdminSP/PSID] AdminSP.Revert()"}},
        {{"--activateLockingSP_SUM", "1", "MSIDOPAL2"},
         0,
         {start("AdminSP", "SID"), A + "LockingSP.Get([{3=6}, {4=6}])",
          A + "LockingSP.Activate({393216=[Locking_Range1]})", A + "EndOfSession"}},
        {{"--setupLockingRange_SUM", "1", "0", "64", ""},
         0,
         {start("LockingSP", "User2"),
          U2 + "Locking_Range1.Set({1=[{3=0}, {4=64}, {5=1}, {6=1}, {7=0}, {8=0}]})",
          U2 + "EndOfSession", start("LockingSP", "User2"),
          U2 + "Locking_Range1.Get([{3=10}, {4=10}])", U2 + "K_AES_256_Range1.GenKey()",
          U2 + "EndOfSession"}},
        {{"--setLockingRange_SUM", "1", "LK", ""},
         0,
         {start("LockingSP", "User2"), U2 + "Locking_Range1.Set({1=[{7=1}, {8=1}]})",
          U2 + "EndOfSession"}},
        {{"--setPassword_SUM", "", "User2", "Usr"},
         0,
         {start("LockingSP", "User2"), U2 + "C_PIN_User2.Set({1=[{3=<secret>}]})",
          U2 + "EndOfSession"}},
        {{"--eraseLockingRange_SUM", "1", "MSIDOPAL2"},
         0,
         {start("LockingSP", "Admin1"), maxRanges, L + "Locking_Range1.Erase()",
          L + "EndOfSession"}},
        {{"--revertTPer", "MSIDOPAL2"}, 0, {start("AdminSP", "SID"), A + "AdminSP.Revert()"}},
    };

    utiltest::UtilityMachine m(kDrive);
    auto drive = std::dynamic_pointer_cast<emu::tcg::SedDrive>(
        m.emulator().Snapshot().disks.at(256).trusted);
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        SCOPED_TRACE(args[0]);
        args.insert(args.begin(), {"--tcgtool", "-n"});
        args.push_back("1/1");
        drive->ClearCallLog();
        const utiltest::RunResult r = m.run(args);
        EXPECT_EQ(r.status, c.status) << r.out;
        std::vector<std::string> lines = drive->CallLogLines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0].rfind("[SessionManager] SMUID.Properties(", 0), 0u);
        lines.erase(lines.begin());
        EXPECT_EQ(lines, c.calls);
        EXPECT_TRUE(emu::tcg::test::NoSessionLeft(*drive));
    }
    std::filesystem::remove(pba);
}

}  // namespace
