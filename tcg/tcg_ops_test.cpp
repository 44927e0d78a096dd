// The device operations over a scripted drive: the exact calls they send, what they refuse
// before sending anything, and how failures come back.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "tcg_dev_enterprise.h"
#include "tcg_dev_opal.h"
#include "tcg_log.h"
#include "tcg_ops_util.h"
#include "tcg_status.h"
#include "tcg_test_support.h"

namespace {

using namespace tcgtest;

using OpalDevice = ScriptedDevice<TcgDevOpal2>;
using EnterpriseDevice = ScriptedDevice<TcgDevEnterprise>;

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes payload(const Bytes& frame) {
    return Bytes(frame.begin() + 56, frame.begin() + 56 + be32(frame.data() + 52));
}

const Bytes kStatusList = {0xF9, 0xF0, 0x00, 0x00, 0x00, 0xF1};
const Bytes kSet = {0xA8, 0, 0, 0, 0x06, 0, 0, 0, 0x17};
const Bytes kGet = {0xA8, 0, 0, 0, 0x06, 0, 0, 0, 0x16};
const Bytes kEGet = {0xA8, 0, 0, 0, 0x06, 0, 0, 0, 0x06};
const Bytes kESet = {0xA8, 0, 0, 0, 0x06, 0, 0, 0, 0x07};
const Bytes kRevert = {0xA8, 0, 0, 0, 0x06, 0, 0, 0x02, 0x02};
const Bytes kAdminSP = {0xA8, 0, 0, 0x02, 0x05, 0, 0, 0, 0x01};
const Bytes kEndOfSession = replyFrame({0xFA});

template <typename Device>
void prepare(Device& dev) {
    dev.hashingDisabled = 1;
    dev.diskInfo.OPAL20_basecomID = 0x1000;
    dev.diskInfo.Enterprise_basecomID = 0x1000;
}

struct Captured {
    uint8_t rc;
    std::string out;
};

template <typename F>
Captured run(F&& f) {
    testing::internal::CaptureStdout();
    const uint8_t rc = f();
    return {rc, testing::internal::GetCapturedStdout()};
}

TEST(TcgTable, OpalAndEnterpriseFrames) {
    OpalDevice opal;
    prepare(opal);
    opal.activeSession = std::make_unique<TcgSession>(&opal);
    opal.replies.push_back({0, methodReply({0xF0, 0xF1})});
    opal.replies.push_back({0, methodReply({0xF0, 0xF1})});
    const Bytes range = tcgOpalRangeUid(1);
    ASSERT_EQ(opal.setTable(range, 7, uint8_t(0x01)), 0);
    ASSERT_EQ(opal.getTable(range, 3, 4), 0);
    EXPECT_EQ(payload(opal.sends().at(0)),
              cat({{0xF8},
                   range,
                   kSet,
                   {0xF0, 0xF2, 0x01, 0xF0, 0xF2, 0x07, 0x01, 0xF3, 0xF1, 0xF3, 0xF1},
                   kStatusList}));
    EXPECT_EQ(payload(opal.sends().at(1)),
              cat({{0xF8},
                   range,
                   kGet,
                   {0xF0, 0xF0, 0xF2, 0x03, 0x03, 0xF3, 0xF2, 0x04, 0x04, 0xF3, 0xF1, 0xF1},
                   kStatusList}));
    opal.activeSession->expectAbort();

    EnterpriseDevice ent;
    prepare(ent);
    ent.diskInfo.Enterprise = true;
    ent.activeSession = std::make_unique<TcgSession>(&ent);
    ent.replies.push_back({0, methodReply({0xF0, 0xF1})});
    ent.replies.push_back({0, methodReply({0xF0, 0xF1}, 12)});
    const Bytes band = tcgBandUid(255);
    EXPECT_EQ(band, (Bytes{0xA8, 0, 0, 0x08, 0x02, 0, 0, 0x01, 0x00}));
    EXPECT_EQ(tcgBandMasterUid(255), (Bytes{0xA8, 0, 0, 0, 0x09, 0, 0, 0x81, 0x00}));
    ASSERT_EQ(ent.getTable(band, "MaxRanges", "MaxRanges"), 0);
    const Captured set = run([&] { return ent.setTable(band, "ReadLocked", Bytes{0x01}); });
    EXPECT_EQ(set.rc, 12);
    EXPECT_EQ(set.out, "ERR : method status code INVALID_PARAMETER\nERR : Set Failed \n");
    EXPECT_EQ(payload(ent.sends().at(0)), cat({{0xF8},
                                               band,
                                               kEGet,
                                               {0xF0, 0xF0, 0xF2},
                                               tcgTextToken("startColumn"),
                                               tcgTextToken("MaxRanges"),
                                               {0xF3, 0xF2},
                                               tcgTextToken("endColumn"),
                                               tcgTextToken("MaxRanges"),
                                               {0xF3, 0xF1, 0xF1},
                                               kStatusList}));
    // The column asked for is the column written.
    EXPECT_EQ(payload(ent.sends().at(1)), cat({{0xF8},
                                               band,
                                               kESet,
                                               {0xF0, 0xF0, 0xF1, 0xF0, 0xF0, 0xF2},
                                               tcgTextToken("ReadLocked"),
                                               {0x01, 0xF3, 0xF1, 0xF1, 0xF1},
                                               kStatusList}));
    ent.activeSession->expectAbort();
}

TEST(TcgOperations, RefusedBeforeAnythingIsSent) {
    struct Case {
        const char* what;
        std::function<uint8_t(TcgDev&)> call;
        bool enterprise;
        uint8_t rc;
        const char* out;
    };
    const Case cases[] = {
        {"User300 is no user", [](TcgDev& d) { return d.setPassword("pw", "User300", "n"); }, false,
         0x83, "ERR : Invalid Userid User300\n"},
        {"User0", [](TcgDev& d) { return d.enableUser("pw", "User0", 1); }, false, 0x83,
         "ERR : Invalid Userid User0\n"},
        {"User1x", [](TcgDev& d) { return d.setPassword("pw", "User1x", "n"); }, false, 0x83,
         "ERR : Invalid Userid User1x\n"},
        {"Admin01", [](TcgDev& d) { return d.setPassword("pw", "Admin01", "n"); }, false, 0x83,
         "ERR : Invalid Userid Admin01\n"},
        {"Admin256", [](TcgDev& d) { return d.enableUser("pw", "Admin256", 1); }, false, 0x83,
         "ERR : Invalid Userid Admin256\n"},
        {"SUM user", [](TcgDev& d) { return d.setNewPassword_SUM("pw", "Guest1", "n"); }, false,
         0x83, "ERR : Invalid userid \"Guest1\"specified for setNewPassword_SUM\n"},
        {"BandMaster1024", [](TcgDev& d) { return d.setPassword("pw", "BandMaster1024", "n"); },
         true, 0x83, "ERR : Invalid Userid BandMaster1024\n"},
        {"EraseMaster1", [](TcgDev& d) { return d.setPassword("pw", "EraseMaster1", "n"); }, true,
         0x83, "ERR : Invalid Userid EraseMaster1\n"},
        {"BandMaster-1", [](TcgDev& d) { return d.setPassword("pw", "BandMaster-1", "n"); }, true,
         0x83, "ERR : Invalid Userid BandMaster-1\n"},
        {"Opal erase", [](TcgDev& d) { return d.eraseLockingRange(1, "pw"); }, false, 0x83,
         "ERR : eraseLockingRange is not implemented.  It is not part of the Opal SSC \n"},
        {"Opal bands", [](TcgDev& d) { return d.setBandsEnabled(-1, "pw"); }, false, 0x83,
         "ERR : setBandsEnabled is not implemented.  It is not part of the Opal SSC \n"},
        {"Opal global range setup", [](TcgDev& d) { return d.setupLockingRange(0, 1, 2, "pw"); },
         false, 0x81, "ERR : global locking range cannot be changed\n"},
        {"Opal state 6", [](TcgDev& d) { return d.setLockingRange(1, 6, "pw"); }, false, 0x83,
         "ERR : Invalid locking state for setLockingRange\n"},
        {"Enterprise read-only", [](TcgDev& d) { return d.setLockingRange(1, 2, "pw"); }, true,
         0x83, "ERR : Read Only locking state is unsupported in Enterprise SSC\n"},
        {"Enterprise state 4", [](TcgDev& d) { return d.setLockingRange(1, 4, "pw"); }, true, 0x83,
         "ERR : Invalid locking state for setLockingRange (RW=1, LOCKED=3)\n"},
        {"Enterprise SUM password",
         [](TcgDev& d) { return d.setNewPassword_SUM("pw", "BandMaster1", "n"); }, true, 0x83,
         "INFO: setNewPassword_SUM is not in the Enterprise SSC and not supported\n"},
        // The password is not part of the line.
        {"Enterprise SUM range",
         [](TcgDev& d) { return d.setupLockingRange_SUM(0, 5, 6, "secretpw"); }, true, 0x83,
         "ERR : setupLockingRange_SUM is not a part of the Enterprise SSC \n"},
        {"Enterprise SUM lock", [](TcgDev& d) { return d.setLockingRange_SUM(1, 1, "pw"); }, true,
         0x83, "ERR : setLockingRange_SUM not implemented\n"},
        {"Enterprise SUM setup", [](TcgDev& d) { return d.setup_SUM(1, 0, 8, "a", "b"); }, true, 1,
         "INFO: setup_SUM not supported on TcgDevEnterprise\n"},
        {"Enterprise activate", [](TcgDev& d) { return d.activateLockingSP("pw"); }, true, 0x83,
         "ERR : activate Locking SP is not a part of the Enterprise SSC \n"},
        {"Enterprise MBR", [](TcgDev& d) { return d.setMBREnable(1, "pw"); }, true, 0x83,
         "ERR : setMBREnable is not a part of the Enterprise SSC \n"},
        {"Enterprise enableUser", [](TcgDev& d) { return d.enableUser("pw", "User1", 1); }, true,
         0x83, "ERR : enableUser not implemented\n"},
        {"raw UID", [](TcgDev& d) { return d.objDump("0000020500000001", "xyz", "", "1"); }, false,
         0x83, "ERR : Invalid UID (16 hex digits) xyz\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<TcgDev> dev;
        std::vector<ScriptedDrive::Transfer>* transfers;
        if (c.enterprise) {
            auto d = std::make_unique<EnterpriseDevice>();
            prepare(*d);
            d->diskInfo.Enterprise = true;
            transfers = &d->transfers;
            dev = std::move(d);
        } else {
            auto d = std::make_unique<OpalDevice>();
            prepare(*d);
            transfers = &d->transfers;
            dev = std::move(d);
        }
        const Captured r = run([&] { return c.call(*dev); });
        EXPECT_EQ(r.rc, c.rc);
        EXPECT_EQ(r.out, c.out);
        EXPECT_TRUE(transfers->empty());
    }
}

TEST(TcgOperations, OpalRevertEndsItsSessionOnlyWhenTheRevertFailed) {
    for (uint8_t status : {uint8_t(0), uint8_t(1)}) {
        SCOPED_TRACE(int(status));
        OpalDevice dev;
        prepare(dev);
        dev.replies.push_back({0, syncSessionReply(105, 7)});
        dev.replies.push_back({0, methodReply({0xF0, 0xF1}, status)});
        dev.replies.push_back({0, kEndOfSession});
        const Captured r = run([&] { return dev.revertTPer("sid", 0, 1); });
        EXPECT_EQ(r.rc, status);
        const auto sent = dev.sends();
        ASSERT_EQ(sent.size(), status == 0 ? 2u : 3u);
        EXPECT_EQ(payload(sent[1]), cat({{0xF8}, kAdminSP, kRevert, {0xF0, 0xF1}, kStatusList}));
        if (status != 0) {
            EXPECT_EQ(payload(sent[2]), Bytes{0xFA});
        }
    }
}

// A well-formed user the drive's Authority table does not hold: looked up inside the Admin1
// session, nothing set; a lookup whose exchange fails keeps its own code.
TEST(TcgOperations, OpalUserTheDriveLacksIsFoundMissingInTheSession) {
    struct Case {
        const char* what;
        std::function<uint8_t(TcgDev&)> call;
        Bytes row;  // the Authority row looked up
        ScriptedDrive::Reply lookup;
        uint8_t rc;
        const char* out;
    };
    const Case cases[] = {
        {"password of User9",
         [](TcgDev& d) { return d.setPassword("pw", "User9", "n"); },
         {0xA8, 0, 0, 0, 0x09, 0, 0x03, 0, 0x09},
         {0, methodReply({0xF0, 0xF1}, 12)},
         0x83,
         "ERR : method status code INVALID_PARAMETER\n"
         "ERR : Unable to find user User9 in Authority Table\n"},
        {"enabling Admin5",
         [](TcgDev& d) { return d.enableUser("pw", "Admin5", 1); },
         {0xA8, 0, 0, 0, 0x09, 0, 0x01, 0, 0x05},
         {0, methodReply({0xF0, 0xF1}, 13)},
         0x83,
         "ERR : method status code INVALID_REFERENCE\n"
         "ERR : Unable to find user Admin5 in Authority Table\n"},
        // The transport's failure code is 1, as NOT_AUTHORIZED is: it is still no answer.
        {"the lookup's receive fails",
         [](TcgDev& d) { return d.setPassword("pw", "User2", "n"); },
         {0xA8, 0, 0, 0, 0x09, 0, 0x03, 0, 0x02},
         {1, {}},
         1,
         "ERR : Command failed on recv1\nERR : Command failed on exec 1\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OpalDevice dev;
        prepare(dev);
        dev.replies.push_back({0, syncSessionReply(105, 7)});
        dev.replies.push_back(c.lookup);
        dev.replies.push_back({0, kEndOfSession});
        const Captured r = run([&] { return c.call(dev); });
        EXPECT_EQ(r.rc, c.rc);
        EXPECT_EQ(r.out, c.out);
        const auto sent = dev.sends();
        ASSERT_EQ(sent.size(), 3u);  // start, Get, End of Session: no Set
        EXPECT_EQ(payload(sent[1]),
                  cat({{0xF8},
                       c.row,
                       kGet,
                       {0xF0, 0xF0, 0xF2, 0x03, 0x00, 0xF3, 0xF2, 0x04, 0x00, 0xF3, 0xF1, 0xF1},
                       kStatusList}));
        EXPECT_EQ(payload(sent[2]), Bytes{0xFA});
    }
}

TEST(TcgOperations, OpalActivationNeedsAnInactiveLockingSP) {
    OpalDevice dev;
    prepare(dev);
    dev.replies.push_back({0, syncSessionReply(105, 7)});
    // Column 6 holds 9: Manufactured.
    dev.replies.push_back({0, methodReply({0xF0, 0xF0, 0xF2, 0x06, 0x09, 0xF3, 0xF1, 0xF1})});
    dev.replies.push_back({0, kEndOfSession});
    const Captured r = run([&] { return dev.activateLockingSP("sid"); });
    EXPECT_EQ(r.rc, 0x83);
    EXPECT_EQ(r.out, "ERR : Locking SP lifecycle is not Manufactured-Inactive\n");
    const auto sent = dev.sends();
    ASSERT_EQ(sent.size(), 3u);  // start, Get, End of Session: no Activate
    EXPECT_EQ(payload(sent[2]), Bytes{0xFA});
}

TEST(TcgOperations, DefaultPasswordThatCannotBeReadIsAFailure) {
    OpalDevice opal;
    prepare(opal);
    opal.replies.push_back({0, syncSessionReply(105, 7)});
    opal.replies.push_back({0, methodReply({0xF0, 0xF1}, 1)});
    opal.replies.push_back({0, kEndOfSession});
    const Captured o = run([&] { return opal.printDefaultPassword(); });
    EXPECT_EQ(o.rc, 1);
    EXPECT_EQ(o.out,
              "ERR : method status code NOT_AUTHORIZED\nERR : unable to read MSID password\n");

    OpalDevice good;
    prepare(good);
    good.replies.push_back({0, syncSessionReply(105, 7)});
    good.replies.push_back({0, methodReply({0xF0, 0xF0, 0xF2, 0x03, 0xA6, 'M', 'S', 'I', 'D', '4',
                                            '2', 0xF3, 0xF1, 0xF1})});
    good.replies.push_back({0, kEndOfSession});
    const Captured g = run([&] { return good.printDefaultPassword(); });
    EXPECT_EQ(g.rc, 0);
    EXPECT_EQ(g.out, "MSID: MSID42\n");
}

TEST(TcgOperations, OpalListingRefusesMoreRangesThanAByteAddresses) {
    OpalDevice dev;
    prepare(dev);
    dev.replies.push_back({0, syncSessionReply(105, 7)});
    dev.replies.push_back(
        {0, methodReply({0xF0, 0xF0, 0xF2, 0x04, 0x82, 0x01, 0x00, 0xF3, 0xF1, 0xF1})});
    dev.replies.push_back({0, kEndOfSession});
    const Captured r = run([&] { return dev.listLockingRanges("pw", -1); });
    EXPECT_EQ(r.rc, 0x81);
    EXPECT_EQ(r.out, "ERR : MaxRanges 256 is more than 255 ranges can be addressed\n");
    EXPECT_EQ(dev.sends().size(), 3u);
}

}  // namespace

namespace {

std::string hexOf(const std::string& text, const char* format) {
    std::string hex;
    char b[4];
    for (unsigned char c : text) {
        std::snprintf(b, sizeof b, format, c);
        hex += b;
    }
    return hex;
}

TEST(TcgDumps, EveryDumpHidesCredentials) {
    EnterpriseDevice dev;
    prepare(dev);
    dev.diskInfo.Enterprise = true;
    dev.replies.push_back({0, syncSessionReply(105, 7)});
    dev.replies.push_back({0, methodReply({0xF0, 0x01, 0xF1})});
    dev.replies.push_back({0, methodReply({0xF0, 0xF1})});
    // The MSID comes back in a C_PIN read; eight bytes long, it looks like a UID.
    dev.replies.push_back(
        {0, methodReply({0xF0, 0xF0, 0xF0, 0xF2, 0xA3, 'P', 'I',  'N',  0xA8, 'f', 'a',
                         'c',  't',  'o',  'r',  'y',  '8', 0xF3, 0xF1, 0xF1, 0xF1})});
    dev.replies.push_back({0, kEndOfSession});
    tcgLogLevel() = TCG_DBG3;
    const Captured r = run([&] {
        TcgSession& s = tcgNewSession(dev);
        uint8_t rc = s.startSession(ENTERPRISE_LOCKINGSP_UID, "hunter2", tcgBandMasterUid(1));
        if (rc == 0)
            rc = dev.setTable(tcgCPinOf(tcgBandMasterUid(1)), "PIN",
                              tcgClearCredential("newsecret1"));
        if (rc == 0) rc = dev.getTable(tcgCPinOf(tcgBandMasterUid(1)), "PIN", "PIN");
        tcgEndSession(dev);
        return rc;
    });
    tcgLogLevel() = TCG_INFO;
    EXPECT_EQ(r.rc, 0);
    EXPECT_NE(r.out.find("DBG : IF-SEND ComID 4096"), std::string::npos);
    EXPECT_NE(r.out.find("DBG : IF-RECV"), std::string::npos);
    // The annotated lines alone (the traces of DBG1 come between them).
    std::string annotated;
    for (size_t at = 0; at < r.out.size();) {
        const size_t end = r.out.find('\n', at);
        const std::string line = r.out.substr(at, end - at + 1);
        if (line.rfind("DBG : ", 0) == 0) annotated += line;
        at = end == std::string::npos ? r.out.size() : end + 1;
    }
    EXPECT_NE(annotated.find("DBG :     bytes \"Challenge\"\nDBG :     <credential>\n"),
              std::string::npos);
    EXPECT_NE(annotated.find("DBG :     bytes \"PIN\"\nDBG :     <credential>\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("Dumping command buffer"), std::string::npos);
    for (const std::string secret : {"hunter2", "newsecret1", "factory8"}) {
        SCOPED_TRACE(secret);
        EXPECT_EQ(r.out.find(secret), std::string::npos);
        // Neither in the hex dumps, which print a byte as " %02x".
        EXPECT_EQ(r.out.find(hexOf(secret.substr(0, 4), " %02x")), std::string::npos);
        EXPECT_EQ(r.out.find(hexOf(secret.substr(0, 4), " %02X")), std::string::npos);
    }
}

}  // namespace

namespace {

const Bytes kOk = methodReply({0xF0, 0xF1});

// A session start that succeeds (Enterprise: and its Authenticate answers `accepted`).
void scriptStart(std::deque<ScriptedDrive::Reply>& r, bool enterprise, bool accepted = true) {
    r.push_back({0, syncSessionReply(105, 9)});
    if (enterprise) r.push_back({0, methodReply({0xF0, uint8_t(accepted ? 1 : 0), 0xF1})});
}

TEST(TcgOperations, EnterpriseOwnershipGoesOnPastABandThatKeepsTheMsid) {
    EnterpriseDevice dev;
    prepare(dev);
    dev.diskInfo.Enterprise = true;
    auto& r = dev.replies;
    // EraseMaster.
    scriptStart(r, true);
    r.push_back({0, kOk});
    r.push_back({0, kEndOfSession});
    // MaxRanges 3, read anonymously.
    r.push_back({0, syncSessionReply(105, 9)});
    r.push_back({0, methodReply(cat({{0xF0, 0xF0, 0xF0, 0xF2},
                                     tcgTextToken("MaxRanges"),
                                     {0x03, 0xF3, 0xF1, 0xF1, 0xF1}}))});
    r.push_back({0, kEndOfSession});
    // BandMaster0 to 3; BandMaster2 does not take the MSID.
    for (int n = 0; n <= 3; ++n) {
        scriptStart(r, true, n != 2);
        if (n != 2) r.push_back({0, kOk});
        r.push_back({0, kEndOfSession});
    }
    const Captured c = run([&] { return dev.initLSPUsers("MSIDENT", "newpw"); });
    EXPECT_EQ(c.rc, 135);
    EXPECT_EQ(c.out,
              "INFO: EraseMaster password set\n"
              "INFO: Maximum ranges supported 3\n"
              "INFO: BandMaster0 password set\n"
              "INFO: BandMaster1 password set\n"
              "ERR : Session Authenticate failed (response = false)\n"
              "INFO: BandMaster3 password set\n"
              "WARN: BandMaster passwords not set for bands 2\n");
    EXPECT_TRUE(r.empty());
    // The last Set went to BandMaster3's C_PIN row.
    const auto sent = dev.sends();
    ASSERT_GE(sent.size(), 3u);
    const Bytes lastSet = payload(sent[sent.size() - 2]);
    EXPECT_EQ(Bytes(lastSet.begin() + 1, lastSet.begin() + 10),
              (Bytes{0xA8, 0, 0, 0, 0x0B, 0, 0, 0x80, 0x04}));
}

TEST(TcgOperations, OpalInitialSetupReportsMbrShadowingThatWasNotEnabled) {
    OpalDevice dev;
    prepare(dev);
    dev.deviceName = "1/1";
    auto& r = dev.replies;
    // The MSID.
    scriptStart(r, false);
    r.push_back(
        {0, methodReply({0xF0, 0xF0, 0xF2, 0x03, 0xA4, 'M', 'S', 'I', 'D', 0xF3, 0xF1, 0xF1})});
    r.push_back({0, kEndOfSession});
    // SID PIN, activation, the global range configured and unlocked.
    scriptStart(r, false);
    r.push_back({0, kOk});
    r.push_back({0, kEndOfSession});
    scriptStart(r, false);
    r.push_back({0, methodReply({0xF0, 0xF0, 0xF2, 0x06, 0x08, 0xF3, 0xF1, 0xF1})});
    r.push_back({0, kOk});
    r.push_back({0, kEndOfSession});
    for (int step = 0; step < 2; ++step) {
        scriptStart(r, false);
        r.push_back({0, kOk});
        r.push_back({0, kEndOfSession});
    }
    // MBRControl refuses.
    scriptStart(r, false);
    r.push_back({0, methodReply({0xF0, 0xF1}, 1)});
    r.push_back({0, kEndOfSession});
    const Captured c = run([&] { return dev.initialSetup("pw"); });
    EXPECT_EQ(c.rc, 1);
    EXPECT_EQ(c.out,
              "INFO: SID password changed\n"
              "INFO: takeOwnership complete\n"
              "INFO: Locking SP Activate Complete\n"
              "INFO: LockingRange0 disabled ReadLocking,WriteLocking\n"
              "INFO: LockingRange0 set to RW\n"
              "ERR : method status code NOT_AUTHORIZED\n"
              "ERR : Set Failed \n"
              "ERR : setMBREnable Failed \n"
              "INFO: Initial setup of TPer complete on 1/1\n"
              "WARN: Initial setup: MBR shadowing was not enabled (setMBREnable failed)\n");
    EXPECT_TRUE(r.empty());
}

}  // namespace

namespace {

TEST(TcgOperations, PbaImageGoesToTheMbrTableInChunksThatFit) {
    const std::string path =
        testing::TempDir() + "tcg_ops_test_pba_" + std::to_string(getpid()) + ".img";
    std::string image(2000, '\0');
    for (size_t i = 0; i < image.size(); ++i) image[i] = char(i * 7);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(image.data(), 1, image.size(), f);
    std::fclose(f);

    OpalDevice dev;
    prepare(dev);
    scriptStart(dev.replies, false);
    for (int i = 0; i < 3; ++i) dev.replies.push_back({0, kOk});
    dev.replies.push_back({0, kEndOfSession});
    const Captured c = run([&] { return dev.loadPBA("pw", path.c_str()); });
    std::remove(path.c_str());
    EXPECT_EQ(c.rc, 0);
    EXPECT_EQ(c.out,
              "INFO: Writing PBA to MBR: 912 of 2000 bytes (45%)\n"
              "INFO: Writing PBA to MBR: 1824 of 2000 bytes (91%)\n"
              "INFO: Writing PBA to MBR: 2000 of 2000 bytes (100%)\n"
              "INFO: PBA image " +
                  path + " written to MBR\n");
    const auto sent = dev.sends();
    ASSERT_EQ(sent.size(), 5u);  // start, three writes, End of Session
    const Bytes mbr = {0xA8, 0, 0, 0x08, 0x04, 0, 0, 0, 0};
    const size_t offsets[] = {0, 912, 1824};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const Bytes p = payload(sent[1 + i]);
        const size_t n = i < 2 ? 912 : 176;
        TcgBytes data;
        tcgEncodeBytes(data, reinterpret_cast<const uint8_t*>(image.data()) + offsets[i], n);
        EXPECT_EQ(p, cat({{0xF8},
                          mbr,
                          kSet,
                          {0xF0, 0xF2, 0x00},
                          tcgUintToken(offsets[i]),
                          {0xF3, 0xF2, 0x01},
                          data,
                          {0xF3, 0xF1},
                          kStatusList}));
        EXPECT_LE(sent[1 + i].size(), 1024u);
    }
    // A file that is not there is refused before anything is sent.
    OpalDevice none;
    prepare(none);
    const Captured missing = run([&] { return none.loadPBA("pw", path.c_str()); });
    EXPECT_EQ(missing.rc, 0x83);
    EXPECT_EQ(missing.out, "ERR : Unable to open PBA image file " + path + "\n");
    EXPECT_TRUE(none.transfers.empty());
}

}  // namespace

namespace {

TEST(TcgOperations, EnterpriseListingOfOneBandReportsItsFailure) {
    EnterpriseDevice dev;
    prepare(dev);
    dev.hashingDisabled = 0;  // the MSID goes as text whatever the device says
    dev.diskInfo.Enterprise = true;
    auto& r = dev.replies;
    r.push_back({0, syncSessionReply(105, 9)});
    r.push_back({0, methodReply(cat({{0xF0, 0xF0, 0xF0, 0xF2},
                                     tcgTextToken("PIN"),
                                     tcgTextToken("MSIDX"),
                                     {0xF3, 0xF1, 0xF1, 0xF1}}))});
    r.push_back({0, kEndOfSession});
    scriptStart(r, true, false);
    r.push_back({0, kEndOfSession});
    const Captured c = run([&] { return dev.listLockingRanges("", 1); });
    EXPECT_EQ(c.rc, 135);
    EXPECT_EQ(c.out,
              "INFO: Band[1]:\n"
              "ERR : Session Authenticate failed (response = false)\n"
              "INFO:     could not establish session for row[1]\n");
    const auto sent = dev.sends();
    ASSERT_EQ(sent.size(), 6u);
    // BandMaster1 with the MSID as a text atom.
    EXPECT_EQ(payload(sent[4]),
              cat({{0xF8, 0xA8, 0, 0,    0,    0,    0, 0, 0, 0x01, 0xA8, 0, 0,    0,    0x06,
                    0,    0,    0, 0x0C, 0xF0, 0xA8, 0, 0, 0, 0x09, 0,    0, 0x80, 0x02, 0xF2},
                   tcgTextToken("Challenge"),
                   tcgTextToken("MSIDX"),
                   {0xF3, 0xF1},
                   kStatusList}));
}

}  // namespace

namespace {

// The method calls one operation sends inside its session, after the start and before the
// End of Session.
TEST(TcgOperations, MethodCallsOfEachOperation) {
    const Bytes kLockingSP = {0xA8, 0, 0, 0x02, 0x05, 0, 0, 0, 0x02};
    const Bytes kThisSP = {0xA8, 0, 0, 0, 0, 0, 0, 0, 0x01};
    const Bytes kActivate = {0xA8, 0, 0, 0, 0x06, 0, 0, 0x02, 0x03};
    const Bytes kRevertSP = {0xA8, 0, 0, 0, 0x06, 0, 0, 0, 0x11};
    const Bytes kGenKey = {0xA8, 0, 0, 0, 0x06, 0, 0, 0, 0x10};
    const Bytes kErase = {0xA8, 0, 0, 0, 0x06, 0, 0, 0x08, 0x03};
    const Bytes kLockingInfo = {0xA8, 0, 0, 0x08, 0x01, 0, 0, 0, 0x01};
    const Bytes kKey = {0xA8, 0, 0, 0x08, 0x06, 0, 0x03, 0, 0x02};
    const Bytes maxRanges8 = methodReply({0xF0, 0xF0, 0xF2, 0x04, 0x08, 0xF3, 0xF1, 0xF1});
    const Bytes activeKey = methodReply(cat({{0xF0, 0xF0, 0xF2, 0x0A}, kKey, {0xF3, 0xF1, 0xF1}}));
    auto params = [](const Bytes& p) { return cat({{0xF0}, p, {0xF1}}); };
    struct Case {
        const char* what;
        std::function<uint8_t(TcgDev&)> call;
        std::vector<Bytes> replies;  // one per method call
        std::vector<Bytes> calls;    // invoker, method and parameters of each
        bool endsSession = true;     // a revert leaves that to the drive
    };
    const Case cases[] = {
        {"activate with range 1 in single-user mode",
         [](TcgDev& d) { return d.activateLockingSP_SUM(1, "pw"); },
         {methodReply({0xF0, 0xF0, 0xF2, 0x06, 0x08, 0xF3, 0xF1, 0xF1}), kOk},
         {cat({kLockingSP, kGet,
               params({0xF0, 0xF2, 0x03, 0x06, 0xF3, 0xF2, 0x04, 0x06, 0xF3, 0xF1})}),
          cat({kLockingSP, kActivate,
               params(cat(
                   {{0xF2, 0x83, 0x06, 0x00, 0x00, 0xF0}, tcgOpalRangeUid(1), {0xF1, 0xF3}}))})}},
        {"revert keeping the global range's data",
         [](TcgDev& d) { return d.revertLockingSP("pw", 1); },
         {kOk},
         {cat({kThisSP, kRevertSP, params({0xF2, 0x83, 0x06, 0x00, 0x00, 0x01, 0xF3})})},
         false},
        {"revert without keeping",
         [](TcgDev& d) { return d.revertLockingSP("pw", 0); },
         {kOk},
         {cat({kThisSP, kRevertSP, params({})})},
         false},
        {"archive lock writes ReadLocked only",
         [](TcgDev& d) { return d.setLockingRange(1, 4, "pw"); },
         {maxRanges8, kOk},
         {cat({kLockingInfo, kGet,
               params({0xF0, 0xF2, 0x03, 0x04, 0xF3, 0xF2, 0x04, 0x04, 0xF3, 0xF1})}),
          cat({tcgOpalRangeUid(1), kSet,
               params({0xF2, 0x01, 0xF0, 0xF2, 0x07, 0x01, 0xF3, 0xF1, 0xF3})})}},
        {"read-only locking on the global range",
         [](TcgDev& d) { return d.configureLockingRange(0, 2, "pw"); },
         {kOk},
         {cat({tcgOpalRangeUid(0), kSet,
               params({0xF2, 0x01, 0xF0, 0xF2, 0x05, 0x00, 0xF3, 0xF2, 0x06, 0x01, 0xF3, 0xF1,
                       0xF3})})}},
        {"rekey reads the key and generates it",
         [](TcgDev& d) { return d.rekeyLockingRange(2, "pw"); },
         {maxRanges8, activeKey, kOk},
         {cat({kLockingInfo, kGet,
               params({0xF0, 0xF2, 0x03, 0x04, 0xF3, 0xF2, 0x04, 0x04, 0xF3, 0xF1})}),
          cat({tcgOpalRangeUid(2), kGet,
               params({0xF0, 0xF2, 0x03, 0x0A, 0xF3, 0xF2, 0x04, 0x0A, 0xF3, 0xF1})}),
          cat({kKey, kGenKey, params({})})}},
        {"enable User3",
         [](TcgDev& d) { return d.enableUser("pw", "User3", 1); },
         {kOk, kOk},
         {cat({{0xA8, 0, 0, 0, 0x09, 0, 0x03, 0, 0x03},
               kGet,
               params({0xF0, 0xF2, 0x03, 0x00, 0xF3, 0xF2, 0x04, 0x00, 0xF3, 0xF1})}),
          cat({{0xA8, 0, 0, 0, 0x09, 0, 0x03, 0, 0x03},
               kSet,
               params({0xF2, 0x01, 0xF0, 0xF2, 0x05, 0x01, 0xF3, 0xF1, 0xF3})})}},
        {"User2's password",
         [](TcgDev& d) { return d.setPassword("pw", "User2", "new"); },
         {kOk, kOk},
         {cat({{0xA8, 0, 0, 0, 0x09, 0, 0x03, 0, 0x02},
               kGet,
               params({0xF0, 0xF2, 0x03, 0x00, 0xF3, 0xF2, 0x04, 0x00, 0xF3, 0xF1})}),
          cat({{0xA8, 0, 0, 0, 0x0B, 0, 0x03, 0, 0x02},
               kSet,
               params(
                   {0xF2, 0x01, 0xF0, 0xF2, 0x03, 0xD0, 0x03, 'n', 'e', 'w', 0xF3, 0xF1, 0xF3})})}},
        {"erase range 3 in single-user mode",
         [](TcgDev& d) { return d.eraseLockingRange_SUM(3, "pw"); },
         {maxRanges8, kOk},
         {cat({kLockingInfo, kGet,
               params({0xF0, 0xF2, 0x03, 0x04, 0xF3, 0xF2, 0x04, 0x04, 0xF3, 0xF1})}),
          cat({tcgOpalRangeUid(3), kErase, params({})})}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OpalDevice dev;
        prepare(dev);
        scriptStart(dev.replies, false);
        for (const Bytes& r : c.replies) dev.replies.push_back({0, r});
        if (c.endsSession) dev.replies.push_back({0, kEndOfSession});
        const Captured out = run([&] { return c.call(dev); });
        EXPECT_EQ(out.rc, 0) << out.out;
        const auto sent = dev.sends();
        ASSERT_EQ(sent.size(), c.calls.size() + (c.endsSession ? 2 : 1));
        for (size_t i = 0; i < c.calls.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(payload(sent[1 + i]), cat({{0xF8}, c.calls[i], kStatusList}));
        }
        if (c.endsSession) {
            EXPECT_EQ(payload(sent.back()), Bytes{0xFA});
        }
        EXPECT_TRUE(dev.replies.empty());
    }
}

}  // namespace

namespace {

TEST(TcgOperations, MethodCallsOfEachEnterpriseOperation) {
    const Bytes kThisSP = {0xA8, 0, 0, 0, 0, 0, 0, 0, 0x01};
    const Bytes kRevertSP = {0xA8, 0, 0, 0, 0x06, 0, 0, 0, 0x11};
    const Bytes kGenKey = {0xA8, 0, 0, 0, 0x06, 0, 0, 0, 0x10};
    const Bytes kKey = {0xA8, 0, 0, 0x08, 0x06, 0, 0, 0, 0x02};
    auto params = [](const Bytes& p) { return cat({{0xF0}, p, {0xF1}}); };
    auto named = [](const char* name, const Bytes& value) {
        return cat({{0xF2}, tcgTextToken(name), value, {0xF3}});
    };
    struct Case {
        const char* what;
        std::function<uint8_t(TcgDev&)> call;
        std::vector<Bytes> replies;
        std::vector<Bytes> calls;
        bool endsSession = true;
        bool readsMaxRanges = false;  // in a session of its own before the band's
    };
    const Case cases[] = {
        {"Locking SP revert, run on the Admin SP",
         [](TcgDev& d) { return d.revertLockingSP("pw", 1); },
         {kOk},
         {cat({kThisSP, kRevertSP, params(named("KeepGlobalRangeKey", {0x01}))})},
         false},
        {"PSID revert of the SP",
         [](TcgDev& d) { return d.revertTPer("psid", 1, 0); },
         {kOk},
         {cat({kThisSP, kRevertSP, params({})})},
         false},
        {"PSID revert of the TPer",
         [](TcgDev& d) { return d.revertTPer("psid", 1, 1); },
         {kOk},
         {cat({kAdminSP, kRevert, params({})})},
         false},
        {"band 1 locking enabled",
         [](TcgDev& d) { return d.configureLockingRange(1, 3, "pw"); },
         {kOk},
         {cat({tcgBandUid(1), kESet,
               params(cat({{0xF0, 0xF1, 0xF0, 0xF0},
                           named("ReadLockEnabled", {0x01}),
                           named("WriteLockEnabled", {0x01}),
                           named("LockOnReset", {0xF0, 0x00, 0xF1}),
                           {0xF1, 0xF1}}))})},
         true,
         true},
        {"band 1 rekeyed",
         [](TcgDev& d) { return d.rekeyLockingRange(1, "pw"); },
         {methodReply(cat({{0xF0, 0xF0, 0xF0, 0xF2},
                           tcgTextToken("ActiveKey"),
                           kKey,
                           {0xF3, 0xF1, 0xF1, 0xF1}})),
          kOk},
         {cat({tcgBandUid(1), kEGet,
               params(cat({{0xF0},
                           named("startColumn", tcgTextToken("ActiveKey")),
                           named("endColumn", tcgTextToken("ActiveKey")),
                           {0xF1}}))}),
          cat({kKey, kGenKey, params({})})},
         true,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EnterpriseDevice dev;
        prepare(dev);
        dev.diskInfo.Enterprise = true;
        // MaxRanges 3, read anonymously, before a band is addressed.
        const size_t first = c.readsMaxRanges ? 3 : 0;
        if (c.readsMaxRanges) {
            dev.replies.push_back({0, syncSessionReply(105, 8)});
            dev.replies.push_back({0, methodReply(cat({{0xF0, 0xF0, 0xF0, 0xF2},
                                                       tcgTextToken("MaxRanges"),
                                                       {0x03, 0xF3, 0xF1, 0xF1, 0xF1}}))});
            dev.replies.push_back({0, kEndOfSession});
        }
        scriptStart(dev.replies, true);
        for (const Bytes& r : c.replies) dev.replies.push_back({0, r});
        if (c.endsSession) dev.replies.push_back({0, kEndOfSession});
        const Captured out = run([&] { return c.call(dev); });
        EXPECT_EQ(out.rc, 0) << out.out;
        const auto sent = dev.sends();
        ASSERT_EQ(sent.size(), first + c.calls.size() + (c.endsSession ? 3 : 2));
        for (size_t i = 0; i < c.calls.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(payload(sent[first + 2 + i]), cat({{0xF8}, c.calls[i], kStatusList}));
        }
        EXPECT_TRUE(dev.replies.empty());
    }
}

}  // namespace

namespace {

TEST(TcgOperations, EnterpriseMaxRangesFallsBackToTheLockingInfoRow) {
    const Bytes table = {0xA8, 0, 0, 0x08, 0x01, 0, 0, 0, 0x00};
    const Bytes row = {0xA8, 0, 0, 0x08, 0x01, 0, 0, 0, 0x01};
    const Bytes five = methodReply(
        cat({{0xF0, 0xF0, 0xF0, 0xF2}, tcgTextToken("MaxRanges"), {0x05, 0xF3, 0xF1, 0xF1, 0xF1}}));
    struct Case {
        const char* what;
        uint8_t tableStatus, rowStatus;
        uint8_t rc;
        uint16_t max;
        const char* out;
    };
    const Case cases[] = {
        {"the table answers", 0, 0, 0, 5, ""},
        {"the row answers", 12, 0, 0, 5, "ERR : method status code INVALID_PARAMETER\n"},
        {"neither answers", 12, 12, 12, 0,
         "ERR : method status code INVALID_PARAMETER\nERR : method status code "
         "INVALID_PARAMETER\nERR : Unable to get MaxRanges from LockingInfo table\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EnterpriseDevice dev;
        prepare(dev);
        dev.diskInfo.Enterprise = true;
        dev.replies.push_back({0, syncSessionReply(105, 9)});
        dev.replies.push_back({0, c.tableStatus ? methodReply({0xF0, 0xF1}, c.tableStatus) : five});
        dev.replies.push_back({0, kEndOfSession});
        if (c.tableStatus) {
            dev.replies.push_back({0, syncSessionReply(105, 10)});
            dev.replies.push_back({0, c.rowStatus ? methodReply({0xF0, 0xF1}, c.rowStatus) : five});
            dev.replies.push_back({0, kEndOfSession});
        }
        uint16_t max = 0;
        const Captured out = run([&] { return dev.getMaxRanges(&max); });
        EXPECT_EQ(out.rc, c.rc);
        EXPECT_EQ(max, c.max);
        EXPECT_EQ(out.out, c.out);
        const auto sent = dev.sends();
        ASSERT_EQ(sent.size(), c.tableStatus ? 6u : 3u);
        // The invoking UID follows the Call token.
        auto invoker = [&](size_t i) {
            const Bytes p = payload(sent[i]);
            return Bytes(p.begin() + 1, p.begin() + 10);
        };
        EXPECT_EQ(invoker(1), table);
        if (c.tableStatus) {
            EXPECT_EQ(invoker(4), row);
        }
        EXPECT_TRUE(dev.replies.empty());
    }
}

}  // namespace
