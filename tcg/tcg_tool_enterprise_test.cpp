// The TCG tool through the utility's --tcgtool option against emulated Enterprise drives:
// the calls of each action, whole flows with the drive's state after each step, and the
// refusals that must leave the drive alone.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "enterprise.h"
#include "sed_drive.h"
#include "tcg_hash.h"
#include "tcg_log.h"
#include "util_harness.h"

namespace {

using emu::tcg::BandMaster;
using emu::tcg::CPinOf;
using emu::tcg::SedDrive;
namespace uid = emu::tcg::uid;
namespace ent = emu::tcg::ent;
using utiltest::RunResult;
using utiltest::UtilityMachine;

// 1/1 Enterprise with 3 bands besides the global one; 1/2 the same with one band, whose
// LockingInfo table UID refuses a Get (MaxRanges comes from the row).
const char* const kDrives = R"({"domains": [{
  "first_id": 256,
  "disks": [
    {"port": 0, "capacity": 2000000, "model": "ENT HDD", "fwrev": "E1", "serial": "SERENT01",
     "tcg": "enterprise",
     "tcg_settings": {"msid": "MSIDENT1", "psid": "PSIDENTPSIDENT01", "max_ranges": 3}},
    {"port": 1, "capacity": 2000000, "model": "ENT HDD", "fwrev": "E1", "serial": "SERENT02",
     "tcg": "enterprise",
     "tcg_settings": {"msid": "MSIDENT2", "psid": "PSIDENTPSIDENT02", "max_ranges": 1,
                      "locking_info_table": false}}
  ]
}]})";

const emu::tcg::Bytes kMsid = {'M', 'S', 'I', 'D', 'E', 'N', 'T', '1'};

[[maybe_unused]] emu::tcg::Bytes bytes(const std::string& s) {
    return emu::tcg::Bytes(s.begin(), s.end());
}

class Enterprise : public testing::Test {
protected:
    std::shared_ptr<SedDrive> drive(size_t index = 0) {
        return std::dynamic_pointer_cast<SedDrive>(
            m.emulator().Snapshot().disks.at(uint32_t(256 + index)).trusted);
    }
    // One run; the drive's call log holds that run only, and no session is left behind.
    RunResult run(std::vector<std::string> args, size_t index = 0) {
        drive(index)->ClearCallLog();
        args.insert(args.begin(), "--tcgtool");
        RunResult r = m.run(args);
        EXPECT_FALSE(drive(index)->Session().has_value());
        EXPECT_EQ(drive(index)->QueuedReplies(), 0u);
        tcgLogLevel() = TCG_INFO;
        return r;
    }
    // The calls of the last run after its Properties exchange.
    std::vector<std::string> calls(size_t index = 0) {
        std::vector<std::string> lines = drive(index)->CallLogLines();
        if (!lines.empty() && lines.front().find("Properties") != std::string::npos)
            lines.erase(lines.begin());
        return lines;
    }
    const emu::tcg::Sp& locking(size_t index = 0) {
        return *drive(index)->Model().FindSp(uid::kEnterpriseLockingSp);
    }
    std::optional<emu::tcg::Bytes> pin(const emu::tcg::Uid& authority, size_t index = 0) {
        const emu::tcg::Uid sp = authority == uid::kSid ? uid::kAdminSp : uid::kEnterpriseLockingSp;
        return drive(index)->Pin(sp, CPinOf(authority));
    }
    // The Locked bit of the drive's Level 0 Discovery, as --query shows it.
    bool lockedBit() {
        const RunResult r = run({"--query", "1/1"});
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.out.find("Locking function (0x0002)\n    Locked = "), std::string::npos);
        return r.out.find("    Locked = Y") != std::string::npos;
    }
    uint64_t band(uint32_t n, uint32_t column, size_t index = 0) {
        return locking(index).Uint(ent::Band(n), column).value_or(99);
    }

    UtilityMachine m{kDrives};
};

}  // namespace

namespace {

using Lines = std::vector<std::string>;

Lines cat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// One session's calls: its start, EAuthenticate when `who` signs in, the calls made as that
// authority, and End_of_Session (none after a revert: the drive ends the session itself).
Lines session(const std::string& sp, const std::string& who, const Lines& body, bool ended = true) {
    Lines l = {"[SessionManager] SMUID.StartSession(105, " + sp + ", 1, {SessionTimeout=60000})"};
    if (!who.empty())
        l.push_back("[" + sp + "/Anybody] ThisSP.EAuthenticate(" + who + ", {Challenge=<secret>})");
    const std::string as = "[" + sp + "/" + (who.empty() ? "Anybody" : who) + "] ";
    for (const std::string& b : body) l.push_back(as + b);
    if (ended) l.push_back(as + "EndOfSession");
    return l;
}

Lines bandSession(const std::string& who, const Lines& body) {
    return session("EntLockingSP", who, body);
}

std::string get(const std::string& row, const std::string& first, const std::string& last) {
    return row + ".EGet([{startColumn=\"" + first + "\"}, {endColumn=\"" + last + "\"}])";
}

std::string setPin(const std::string& authority) {
    return "C_PIN_" + authority + ".ESet([], [[{PIN=<secret>}]])";
}

const Lines kReadMsid = session("AdminSP", "", {get("C_PIN_MSID", "PIN", "PIN")});

// MaxRanges from the LockingInfo table's UID, or from its row when the table refuses.
Lines maxRanges(bool tableAnswers = true) {
    const std::string onTable = get("LockingInfoTable", "MaxRanges", "MaxRanges");
    if (tableAnswers) return bandSession("", {onTable});
    return cat({bandSession("", {onTable + " -> 12"}),
                bandSession("", {get("LockingInfo", "MaxRanges", "MaxRanges")})});
}

// The listing of one band as the tool prints it.
std::string bandText(uint32_t n, uint64_t start, uint64_t length, int rle, int wle, int rl, int wl,
                     int lockOnReset) {
    const std::string b = std::to_string(n);
    return "INFO: Band[" + b + "]:\n" + "INFO:     Name:            Band" + b + "\n" +
           "INFO:     CommonName:      Locking\n" +
           "INFO:     RangeStart:      " + std::to_string(start) + "\n" +
           "INFO:     RangeLength:     " + std::to_string(length) + "\n" +
           "INFO:     ReadLockEnabled: " + std::to_string(rle) + "\n" +
           "INFO:     WriteLockEnabled:" + std::to_string(wle) + "\n" +
           "INFO:     ReadLocked:      " + std::to_string(rl) + "\n" +
           "INFO:     WriteLocked:     " + std::to_string(wl) + "\n" +
           "INFO:     LockOnReset:     " + std::to_string(lockOnReset) + "\n";
}

TEST_F(Enterprise, EachActionMakesItsCalls) {
    const std::string M = "MSIDENT1", P = "PSIDENTPSIDENT01";
    const std::string kSetupBand1 =
        "Locking_Band1.ESet([], [[{RangeStart=0}, {RangeLength=64}, {ReadLockEnabled=0}, "
        "{WriteLockEnabled=0}, {ReadLocked=0}, {WriteLocked=0}, {LockOnReset=[]}]])";
    const Lines ownership1 =
        cat({kReadMsid, session("AdminSP", "SID", {setPin("SID")}),
             bandSession("EraseMaster", {setPin("EraseMaster")}), maxRanges(false),
             bandSession("BandMaster0", {setPin("BandMaster0")}),
             bandSession("BandMaster1", {setPin("BandMaster1")})});
    struct Case {
        std::vector<std::string> args;  // after -n
        size_t disk;
        int status;
        Lines calls;
    };
    const Case cases[] = {
        {{"--printDefaultPassword", "1/1"}, 0, 0, kReadMsid},
        {{"--setSIDPassword", M, "new", "1/1"}, 0, 0, session("AdminSP", "SID", {setPin("SID")})},
        {{"--takeOwnership", "new", "1/2"}, 1, 0, ownership1},
        {{"--initialSetup", "new", "1/2"},
         1,
         0,
         cat({ownership1, maxRanges(false),
              bandSession("BandMaster0",
                          {"Locking_GlobalRange.ESet([], [[{WriteLocked=0}, {ReadLocked=0}]])"}),
              maxRanges(false),
              bandSession("BandMaster0", {"Locking_GlobalRange.ESet([], [[{ReadLockEnabled=1}, "
                                          "{WriteLockEnabled=1}, {LockOnReset=[0]}]])"})})},
        {{"--setPassword", "", "EraseMaster", "new", "1/1"},
         0,
         0,
         cat({kReadMsid, bandSession("EraseMaster", {setPin("EraseMaster")})})},
        {{"--setPassword", M, "BandMaster3", "new", "1/1"},
         0,
         0,
         bandSession("BandMaster3", {setPin("BandMaster3")})},
        {{"--listLockingRange", "2", M, "1/1"},
         0,
         0,
         bandSession("BandMaster2", {get("Locking_Band2", "Name", "LockOnReset")})},
        {{"--listLockingRanges", "", "1/2"},
         1,
         0,
         cat({kReadMsid, maxRanges(false),
              bandSession("BandMaster0", {get("Locking_GlobalRange", "Name", "LockOnReset")}),
              bandSession("BandMaster1", {get("Locking_Band1", "Name", "LockOnReset")})})},
        {{"--setupLockingRange", "1", "0", "64", M, "1/1"},
         0,
         0,
         cat({maxRanges(), bandSession("BandMaster1", {kSetupBand1})})},
        {{"--enableLockingRange", "1", M, "1/1"},
         0,
         0,
         cat({maxRanges(),
              bandSession("BandMaster1", {"Locking_Band1.ESet([], [[{ReadLockEnabled=1}, "
                                          "{WriteLockEnabled=1}, {LockOnReset=[0]}]])"})})},
        {{"--disableLockingRange", "1", M, "1/1"},
         0,
         0,
         cat({maxRanges(),
              bandSession("BandMaster1", {"Locking_Band1.ESet([], [[{ReadLockEnabled=0}, "
                                          "{WriteLockEnabled=0}, {LockOnReset=[0]}]])"})})},
        {{"--setLockingRange", "1", "LK", M, "1/1"},
         0,
         0,
         cat({maxRanges(), bandSession("BandMaster1", {"Locking_Band1.ESet([], [[{WriteLocked=1}, "
                                                       "{ReadLocked=1}]])"})})},
        {{"--rekeyLockingRange", "1", M, "1/1"},
         0,
         0,
         cat({maxRanges(),
              bandSession("BandMaster1", {get("Locking_Band1", "ActiveKey", "ActiveKey"),
                                          "K_AES_256_Band1.GenKey()"})})},
        {{"--eraseLockingRange", "1", M, "1/1"},
         0,
         0,
         cat({maxRanges(), bandSession("EraseMaster", {"Locking_Band1.Erase()"})})},
        {{"--eraseLockingRange", "1", "", "1/1"},
         0,
         0,
         cat({maxRanges(), kReadMsid, bandSession("EraseMaster", {"Locking_Band1.Erase()"})})},
        {{"--setBandEnabled", "1", M, "1/1"},
         0,
         12,  // the Locking table has no Enabled column
         cat({maxRanges(), bandSession("EraseMaster", {"Locking_Band1.ESet([], [[{Enabled=1}]]) "
                                                       "-> 12"})})},
        {{"--revertTPer", M, "1/1"}, 0, 0, session("AdminSP", "SID", {"ThisSP.RevertSP()"}, false)},
        {{"--revertNoErase", M, "1/1"},
         0,
         0,
         session("AdminSP", "SID", {"ThisSP.RevertSP({KeepGlobalRangeKey=1})"}, false)},
        {{"--revertLockingSP", M, "1/1"},
         0,
         0,
         session("AdminSP", "SID", {"ThisSP.RevertSP({KeepGlobalRangeKey=0})"}, false)},
        {{"--PSIDrevert", P, "1/1"},
         0,
         0,
         session("AdminSP", "PSID", {"ThisSP.RevertSP()"}, false)},
        {{"--PSIDrevertAdminSP", P, "1/1"},
         0,
         0,
         session("AdminSP", "PSID", {"AdminSP.Revert()"}, false)},
    };
    const nlohmann::json factory[] = {drive(0)->SaveState(), drive(1)->SaveState()};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        ASSERT_TRUE(drive(c.disk)->RestoreState(factory[c.disk]));
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "-n");
        const RunResult r = run(args, c.disk);
        EXPECT_EQ(r.status, c.status) << r.out;
        EXPECT_EQ(calls(c.disk), c.calls);
    }
}

}  // namespace

namespace {

TEST_F(Enterprise, BandsFromFactoryThroughSetupLockEraseAndRevert) {
    const emu::tcg::Bytes pw = bytes("pw");
    // Every band master still holds the MSID: "" lists them all.
    RunResult r = run({"-n", "--listLockingRanges", "", "1/1"});
    EXPECT_EQ(r.status, 0);
    std::string all = "INFO: Maximum ranges supported: 3\n";
    for (uint32_t n = 0; n <= 3; ++n) all += bandText(n, 0, 0, 0, 0, 0, 0, 1);
    EXPECT_EQ(r.out, all);

    r = run({"-n", "--takeOwnership", "pw", "1/1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "INFO: SID password changed\nINFO: EraseMaster password set\n"
              "INFO: Maximum ranges supported 3\nINFO: BandMaster0 password set\n"
              "INFO: BandMaster1 password set\nINFO: BandMaster2 password set\n"
              "INFO: BandMaster3 password set\nINFO: takeOwnership complete\n");
    for (const auto& a :
         {uid::kSid, uid::kEraseMaster, BandMaster(0), BandMaster(1), BandMaster(2), BandMaster(3)})
        EXPECT_EQ(pin(a), pw) << emu::tcg::UidName(a);

    r = run({"-n", "--setupLockingRange", "1", "1000", "2000", "pw", "1/1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "INFO: LockingRange1 starting block 1000 for 2000 blocks configured as unlocked "
              "range\n");
    EXPECT_EQ(band(1, ent::kRangeStart), 1000u);
    EXPECT_EQ(band(1, ent::kRangeLength), 2000u);
    EXPECT_EQ(locking().rows.at(ent::Band(1)).at(ent::kLockOnReset), (emu::tcg::Bytes{0xF0, 0xF1}));

    // A band over band 1 is refused by the drive and changes nothing.
    r = run({"-n", "--setupLockingRange", "2", "1500", "10", "pw", "1/1"});
    EXPECT_EQ(r.status, 12);
    EXPECT_EQ(r.out,
              "ERR : method status code INVALID_PARAMETER\nERR : Set Failed \n"
              "ERR : setupLockingRange Failed \n");
    EXPECT_EQ(band(2, ent::kRangeStart), 0u);
    EXPECT_EQ(band(2, ent::kRangeLength), 0u);

    r = run({"-n", "--enableLockingRange", "1", "pw", "1/1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "INFO: Locking range configured 1\n");
    EXPECT_EQ(band(1, ent::kReadLockEnabled), 1u);
    EXPECT_EQ(band(1, ent::kWriteLockEnabled), 1u);
    EXPECT_FALSE(lockedBit());

    r = run({"-n", "--setLockingRange", "1", "LK", "pw", "1/1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "INFO: Locking range Read/Write set 1\n");
    EXPECT_EQ(band(1, ent::kReadLocked), 1u);
    EXPECT_EQ(band(1, ent::kWriteLocked), 1u);
    EXPECT_EQ(band(2, ent::kReadLocked), 0u);
    EXPECT_TRUE(lockedBit());

    r = run({"-n", "--listLockingRange", "1", "pw", "1/1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, bandText(1, 1000, 2000, 1, 1, 1, 1, 1));

    r = run({"-n", "--rekeyLockingRange", "1", "pw", "1/1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "INFO: LockingRange1 reKeyed \n");
    EXPECT_EQ(ent::KeyGeneration(locking(), 1), 2u);

    // Erase: a new key, the band unlocked with locking off, its master back to the MSID.
    r = run({"-n", "--eraseLockingRange", "1", "pw", "1/1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "INFO: LockingRange1 erased\n");
    EXPECT_EQ(ent::KeyGeneration(locking(), 1), 3u);
    EXPECT_EQ(ent::KeyGeneration(locking(), 2), 1u);
    EXPECT_EQ(band(1, ent::kReadLocked), 0u);
    EXPECT_EQ(band(1, ent::kReadLockEnabled), 0u);
    EXPECT_EQ(pin(BandMaster(1)), kMsid);
    EXPECT_EQ(pin(BandMaster(2)), pw);
    EXPECT_FALSE(lockedBit());
    r = run({"-n", "--listLockingRange", "1", "", "1/1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, bandText(1, 1000, 2000, 0, 0, 0, 0, 1));
    r = run({"-n", "--listLockingRange", "2", "", "1/1"});
    EXPECT_EQ(r.status, 135);
    EXPECT_EQ(r.out,
              "INFO: Band[2]:\nERR : Session Authenticate failed (response = false)\n"
              "INFO:     could not establish session for row[2]\n");

    // Back to the factory, keeping the global band's key only.
    r = run({"-n", "--revertNoErase", "pw", "1/1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "INFO: revertLockingSP completed successfully\n");
    for (const auto& a : {uid::kSid, uid::kEraseMaster, BandMaster(1), BandMaster(2)})
        EXPECT_EQ(pin(a), kMsid) << emu::tcg::UidName(a);
    EXPECT_EQ(ent::KeyGeneration(locking(), 0), 1u);
    EXPECT_EQ(ent::KeyGeneration(locking(), 1), 4u);
    EXPECT_EQ(ent::KeyGeneration(locking(), 2), 2u);
    EXPECT_EQ(band(1, ent::kRangeStart), 0u);
    EXPECT_EQ(band(1, ent::kRangeLength), 0u);
}

TEST_F(Enterprise, PsidRevertNeedsThePsidAndRenewsEveryKey) {
    ASSERT_EQ(run({"-n", "--takeOwnership", "pw", "1/1"}).status, 0);
    ASSERT_EQ(run({"-n", "--enableLockingRange", "0", "pw", "1/1"}).status, 0);
    RunResult r = run({"--PSIDrevert", "PSIDWRONGPSIDWRO", "1/1"});
    EXPECT_EQ(r.status, 135);
    EXPECT_EQ(r.out, "ERR : Session Authenticate failed (response = false)\n");
    EXPECT_EQ(pin(uid::kSid), bytes("pw"));
    EXPECT_EQ(band(0, ent::kReadLockEnabled), 1u);

    r = run({"--PSIDrevert", "PSIDENTPSIDENT01", "1/1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "INFO: revertTper completed successfully\n");
    EXPECT_EQ(calls(), session("AdminSP", "PSID", {"ThisSP.RevertSP()"}, false));
    for (const auto& a : {uid::kSid, uid::kEraseMaster, BandMaster(0), BandMaster(3)})
        EXPECT_EQ(pin(a), kMsid) << emu::tcg::UidName(a);
    for (uint32_t n = 0; n <= 3; ++n) EXPECT_EQ(ent::KeyGeneration(locking(), n), 2u) << n;
    EXPECT_EQ(band(0, ent::kReadLockEnabled), 0u);
    // The PSID itself stays.
    EXPECT_EQ(drive()->Pin(uid::kAdminSp, CPinOf(uid::kPsid)), bytes("PSIDENTPSIDENT01"));
}

// The one hashed flow: the credentials the drive holds are the derived keys.
TEST_F(Enterprise, OwnershipGoesOnPastABandMasterThatKeepsTheMsid) {
    emu::tcg::Fault f;
    f.kind = emu::tcg::Fault::Kind::MethodStatus;
    f.value = 0x3F;
    f.method = emu::tcg::method::kESet;
    f.invoker = CPinOf(BandMaster(2));
    drive()->InjectFault(f);
    const RunResult r = run({"--takeOwnership", "Owner-Pw-1", "1/1"});
    EXPECT_EQ(r.status, 0x3F);
    EXPECT_EQ(r.out,
              "INFO: SID password changed\nINFO: EraseMaster password set\n"
              "INFO: Maximum ranges supported 3\nINFO: BandMaster0 password set\n"
              "INFO: BandMaster1 password set\nERR : method status code FAIL\n"
              "ERR : Set Failed \nERR : Unable to set BandMaster2 new password \n"
              "INFO: BandMaster3 password set\n"
              "WARN: BandMaster passwords not set for bands 2\n"
              "ERR : takeOwnership failed unable to set Locking SP user passwords\n");
    std::string serial = "SERENT01";
    serial.resize(20, ' ');
    std::vector<uint8_t> token;
    TcgHashPassword(token, "Owner-Pw-1", std::vector<uint8_t>(serial.begin(), serial.end()),
                    kTcgHashIterations, kTcgHashSize);
    ASSERT_EQ(token.size(), 34u);
    const emu::tcg::Bytes derived(token.begin() + 2, token.end());
    for (const auto& a :
         {uid::kSid, uid::kEraseMaster, BandMaster(0), BandMaster(1), BandMaster(3)})
        EXPECT_EQ(pin(a), derived) << emu::tcg::UidName(a);
    EXPECT_EQ(pin(BandMaster(2)), kMsid);
}

// A band master given a password of its own before the drive is owned keeps it; the warning
// names its band and says nothing about what the master holds.
TEST_F(Enterprise, InitialSetupNamesTheBandWhoseMasterHasAPasswordOfItsOwn) {
    RunResult r = run({"-n", "--setPassword", "MSIDENT1", "BandMaster3", "Own-3", "1/1"});
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(pin(BandMaster(3)), bytes("Own-3"));
    r = run({"-n", "--initialSetup", "pw", "1/1"});
    EXPECT_EQ(r.status, 135);
    EXPECT_EQ(r.out,
              "INFO: SID password changed\nINFO: EraseMaster password set\n"
              "INFO: Maximum ranges supported 3\nINFO: BandMaster0 password set\n"
              "INFO: BandMaster1 password set\nINFO: BandMaster2 password set\n"
              "ERR : Session Authenticate failed (response = false)\n"
              "WARN: BandMaster passwords not set for bands 3\n"
              "ERR : takeOwnership failed unable to set Locking SP user passwords\n"
              "ERR : Initial setup failed - unable to take ownership\n");
    EXPECT_EQ(r.out.find("MSID"), std::string::npos);
    EXPECT_EQ(pin(BandMaster(3)), bytes("Own-3"));
    for (const auto& a : {uid::kSid, uid::kEraseMaster, BandMaster(0), BandMaster(2)})
        EXPECT_EQ(pin(a), bytes("pw")) << emu::tcg::UidName(a);
}

TEST_F(Enterprise, MaxRangesComesFromTheLockingInfoRowWhenTheTableRefuses) {
    const RunResult r = run({"-n", "--listLockingRanges", "", "1/2"}, 1);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "ERR : method status code INVALID_PARAMETER\n"
              "INFO: Maximum ranges supported: 1\n" +
                  bandText(0, 0, 0, 0, 0, 0, 0, 1) + bandText(1, 0, 0, 0, 0, 0, 0, 1));
}

TEST_F(Enterprise, ARefusedSessionTimeoutIsRetriedWithoutIt) {
    emu::tcg::Fault f;
    f.kind = emu::tcg::Fault::Kind::RefuseSessionTimeout;
    f.times = 1;
    drive()->InjectFault(f);
    const RunResult r = run({"-n", "--setLockingRange", "1", "LK", "MSIDENT1", "1/1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "ERR : method status code INVALID_PARAMETER\nINFO: Locking range Read/Write set 1\n");
    const Lines c = calls();
    ASSERT_GE(c.size(), 2u);
    EXPECT_EQ(c[0],
              "[SessionManager] SMUID.StartSession(105, EntLockingSP, 1, {SessionTimeout=60000}) "
              "-> 12");
    EXPECT_EQ(c[1], "[SessionManager] SMUID.StartSession(105, EntLockingSP, 1)");
    EXPECT_EQ(band(1, ent::kReadLocked), 1u);
    EXPECT_EQ(band(1, ent::kWriteLocked), 1u);
}

}  // namespace

namespace {

// The drive's persistent state without the failed-attempt counters, which a wrong password
// is meant to move.
nlohmann::json withoutTries(nlohmann::json state) {
    for (auto& sp : state["sps"])
        for (auto& [row, cells] : sp["rows"].items())
            if (row.rfind("0000000B", 0) == 0) cells.erase("6");
    return state;
}

TEST_F(Enterprise, RefusalsLeaveTheDriveAlone) {
    ASSERT_EQ(run({"-n", "--takeOwnership", "pw", "1/1"}).status, 0);
    ASSERT_EQ(run({"-n", "--setupLockingRange", "1", "0", "64", "pw", "1/1"}).status, 0);
    const nlohmann::json before = withoutTries(drive()->SaveState());
    const std::string authFailed = "ERR : Session Authenticate failed (response = false)\n";
    struct Case {
        std::vector<std::string> args;  // after -n
        int status;
        std::string out;
        Lines calls;
    };
    const Case cases[] = {
        {{"--setLockingRange", "1", "LK", "wrong", "1/1"},
         135,
         authFailed,
         cat({maxRanges(),
              {"[SessionManager] SMUID.StartSession(105, EntLockingSP, 1, "
               "{SessionTimeout=60000})",
               "[EntLockingSP/Anybody] ThisSP.EAuthenticate(BandMaster1, {Challenge=<secret>})",
               "[EntLockingSP/Anybody] EndOfSession"}})},
        {{"--takeOwnership", "again", "1/1"},
         135,
         authFailed + "ERR : takeOwnership failed unable to set new SID password\n",
         cat({kReadMsid,
              {"[SessionManager] SMUID.StartSession(105, AdminSP, 1, {SessionTimeout=60000})",
               "[AdminSP/Anybody] ThisSP.EAuthenticate(SID, {Challenge=<secret>})",
               "[AdminSP/Anybody] EndOfSession"}})},
        // A band the drive does not have: its BandMaster is unknown to the Locking SP.
        {{"--listLockingRange", "5", "pw", "1/1"},
         12,
         "INFO: Band[5]:\nERR : method status code INVALID_PARAMETER\n"
         "ERR : Session Authenticate failed\nINFO:     could not establish session for row[5]\n",
         {"[SessionManager] SMUID.StartSession(105, EntLockingSP, 1, {SessionTimeout=60000})",
          "[EntLockingSP/Anybody] ThisSP.EAuthenticate(BandMaster5, {Challenge=<secret>}) -> 12",
          "[EntLockingSP/Anybody] EndOfSession"}},
        {{"--eraseLockingRange", "4", "pw", "1/1"},
         0x81,
         "ERR : Requested locking range 4 greater than MaxRanges 3\n",
         maxRanges()},
        {{"--rekeyLockingRange", "9", "pw", "1/1"},
         0x81,
         "ERR : Requested locking range 9 greater than MaxRanges 3\n",
         maxRanges()},
        {{"--enableLockingRange", "4", "pw", "1/1"},
         0x81,
         "ERR : Requested locking range 4 greater than MaxRanges 3\n",
         maxRanges()},
        {{"--disableLockingRange", "15", "pw", "1/1"},
         0x81,
         "ERR : Requested locking range 15 greater than MaxRanges 3\n",
         maxRanges()},
        {{"--setLockingRange", "1", "RO", "pw", "1/1"},
         0x83,
         "ERR : Read Only locking state is unsupported in Enterprise SSC\n",
         {}},
        {{"--setPassword_SUM", "pw", "BandMaster1", "new", "1/1"},
         0x83,
         "INFO: setNewPassword_SUM is not in the Enterprise SSC and not supported\n",
         {}},
        {{"--setupLockingRange_SUM", "1", "0", "64", "pw", "1/1"},
         0x83,
         "ERR : setupLockingRange_SUM is not a part of the Enterprise SSC \n",
         {}},
        {{"--setLockingRange_SUM", "1", "RW", "pw", "1/1"},
         0x83,
         "ERR : setLockingRange_SUM not implemented\n",
         {}},
        {{"--setPassword", "pw", "BandMaster1024", "new", "1/1"},
         0x83,
         "ERR : Invalid Userid BandMaster1024\n",
         {}},
        {{"--setPassword", "pw", "BandMaster01", "new", "1/1"},
         0x83,
         "ERR : Invalid Userid BandMaster01\n",
         {}},
        {{"--setPassword", "pw", "BandMaster-1", "new", "1/1"},
         0x83,
         "ERR : Invalid Userid BandMaster-1\n",
         {}},
        {{"--setPassword", "pw", "EraseMaster1", "new", "1/1"},
         0x83,
         "ERR : Invalid Userid EraseMaster1\n",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "-n");
        const RunResult r = run(args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(calls(), c.calls);
        EXPECT_EQ(withoutTries(drive()->SaveState()), before);
    }
}

}  // namespace

namespace {

TEST_F(Enterprise, InitialSetupOwnsTheDriveAndTurnsGlobalLockingOn) {
    const RunResult r = run({"-n", "--initialSetup", "pw", "1/2"}, 1);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "INFO: SID password changed\nINFO: EraseMaster password set\n"
              "ERR : method status code INVALID_PARAMETER\n"
              "INFO: Maximum ranges supported 1\nINFO: BandMaster0 password set\n"
              "INFO: BandMaster1 password set\nINFO: takeOwnership complete\n"
              "ERR : method status code INVALID_PARAMETER\n"
              "INFO: Locking range Read/Write set 0\n"
              "ERR : method status code INVALID_PARAMETER\n"
              "INFO: Locking range configured 0\n"
              "INFO: Initial setup of TPer complete on 1/2\n");
    for (const auto& a : {uid::kSid, uid::kEraseMaster, BandMaster(0), BandMaster(1)})
        EXPECT_EQ(pin(a, 1), bytes("pw")) << emu::tcg::UidName(a);
    EXPECT_EQ(band(0, ent::kReadLockEnabled, 1), 1u);
    EXPECT_EQ(band(0, ent::kWriteLockEnabled, 1), 1u);
    EXPECT_EQ(band(0, ent::kReadLocked, 1), 0u);
    EXPECT_EQ(band(0, ent::kWriteLocked, 1), 0u);
    EXPECT_EQ(band(1, ent::kReadLockEnabled, 1), 0u);
    // Owned: a second run stops at the SID.
    const RunResult again = run({"-n", "--initialSetup", "pw2", "1/2"}, 1);
    EXPECT_EQ(again.status, 135);
    EXPECT_EQ(again.out,
              "ERR : Session Authenticate failed (response = false)\n"
              "ERR : takeOwnership failed unable to set new SID password\n"
              "ERR : Initial setup failed - unable to take ownership\n");
    EXPECT_EQ(pin(uid::kSid, 1), bytes("pw"));
}

}  // namespace
