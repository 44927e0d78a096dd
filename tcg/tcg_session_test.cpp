#include "tcg_session.h"

#include <gtest/gtest.h>

#include "tcg_command.h"
#include "tcg_dev_enterprise.h"
#include "tcg_dev_opal.h"
#include "tcg_status.h"
#include "tcg_test_support.h"

namespace {

using namespace tcgtest;

const Bytes kSmuid = {0xA8, 0, 0, 0, 0, 0, 0, 0, 0xFF};
const Bytes kStartSession = {0xA8, 0, 0, 0, 0, 0, 0, 0xFF, 0x02};
const Bytes kLockingSP = {0xA8, 0, 0, 0x02, 0x05, 0, 0, 0, 0x02};
const Bytes kAdmin1 = {0xA8, 0, 0, 0, 0x09, 0, 0x01, 0, 0x01};
const Bytes kStatusList = {0xF9, 0xF0, 0x00, 0x00, 0x00, 0xF1};

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// The payload of a sent frame, as long as its SubPacket says.
Bytes payload(const Bytes& frame) {
    return Bytes(frame.begin() + 56, frame.begin() + 56 + be32(frame.data() + 52));
}

using OpalDevice = ScriptedDevice<TcgDevOpal2>;
using EnterpriseDevice = ScriptedDevice<TcgDevEnterprise>;

TEST(TcgSession, OpalStartCarriesTheChallengeAndAuthority) {
    struct Case {
        const char* what;
        bool hashingDisabled;  // device: the password's own bytes as a medium atom
        bool dontHash;         // session: the password as a text atom
        Bytes challenge;
    };
    const Case cases[] = {
        {"device sends passwords unhashed", true, false, {0xD0, 0x02, 'p', 'w'}},
        {"session sends text", false, true, {0xA2, 'p', 'w'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OpalDevice dev;
        dev.diskInfo.OPAL20_basecomID = 0x1000;
        dev.hashingDisabled = c.hashingDisabled;
        dev.replies.push_back({0, syncSessionReply(105, 0x1001)});
        {
            TcgSession s(&dev);
            if (c.dontHash) s.dontHashPwd();
            ASSERT_EQ(s.startSession(OPAL_LOCKINGSP_UID, "pw", OPAL_ADMIN1_UID), 0);
            EXPECT_EQ(s.tsn(), 0x1001u);
            EXPECT_EQ(s.hsn(), 105u);
            const Bytes sent = dev.sends().at(0);
            EXPECT_EQ(payload(sent), cat({{0xF8},
                                          kSmuid,
                                          kStartSession,
                                          {0xF0, 0x81, 0x69},
                                          kLockingSP,
                                          {0x01, 0xF2, 0x00},
                                          c.challenge,
                                          {0xF3, 0xF2, 0x03},
                                          kAdmin1,
                                          {0xF3, 0xF1},
                                          kStatusList}));
            EXPECT_EQ(Bytes(sent.begin() + 4, sent.begin() + 6), (Bytes{0x10, 0x00}));
            EXPECT_EQ(be32(sent.data() + 20), 0u);  // no session yet
            dev.replies.push_back({0, replyFrame({0xFA})});
        }
        // Destruction ended the session, stamped with its numbers.
        ASSERT_EQ(dev.sends().size(), 2u);
        const Bytes end = dev.sends()[1];
        EXPECT_EQ(payload(end), Bytes{0xFA});
        EXPECT_EQ(be32(end.data() + 20), 0x1001u);
        EXPECT_EQ(be32(end.data() + 24), 105u);
    }
}

TEST(TcgSession, UnauthenticatedStartNamesNoAuthority) {
    OpalDevice dev;
    dev.replies.push_back({0, syncSessionReply(105, 7)});
    TcgSession s(&dev);
    ASSERT_EQ(s.startSession(OPAL_ADMINSP_UID, nullptr, OPAL_UID_HEXFF), 0);
    EXPECT_EQ(payload(dev.sends().at(0)), cat({{0xF8},
                                               kSmuid,
                                               kStartSession,
                                               {0xF0, 0x81, 0x69},
                                               {0xA8, 0, 0, 0x02, 0x05, 0, 0, 0, 0x01},
                                               {0x01, 0xF1},
                                               kStatusList}));
    s.expectAbort();
}

TEST(TcgSession, EnterpriseStartRetriesWithoutTimeoutThenAuthenticates) {
    EnterpriseDevice dev;
    dev.diskInfo.Enterprise = true;
    dev.diskInfo.Enterprise_basecomID = 0x07FE;
    dev.replies.push_back({0, methodReply({}, 12)});  // the timeout refused
    dev.replies.push_back({0, syncSessionReply(105, 9)});
    dev.replies.push_back({0, methodReply({0xF0, 0x01, 0xF1})});  // Authenticate: true
    TcgSession s(&dev);
    s.dontHashPwd();
    const Bytes bandMaster0 = {0xA8, 0, 0, 0, 0x09, 0, 0, 0x80, 0x01};
    ASSERT_EQ(s.startSession(ENTERPRISE_LOCKINGSP_UID, "pw", bandMaster0), 0);
    const auto sends = dev.sends();
    ASSERT_EQ(sends.size(), 3u);
    const Bytes start = cat({{0xF8},
                             kSmuid,
                             kStartSession,
                             {0xF0, 0x81, 0x69},
                             {0xA8, 0, 0, 0x02, 0x05, 0, 0x01, 0, 0x01},
                             {0x01}});
    const Bytes timeout = {0xF2, 0xAE, 'S', 'e', 's', 's', 'i',  'o',  'n',  'T',
                           'i',  'm',  'e', 'o', 'u', 't', 0x82, 0xEA, 0x60, 0xF3};
    EXPECT_EQ(payload(sends[0]), cat({start, timeout, {0xF1}, kStatusList}));
    EXPECT_EQ(payload(sends[1]), cat({start, {0xF1}, kStatusList}));
    EXPECT_EQ(
        payload(sends[2]),
        cat({{0xF8, 0xA8, 0, 0, 0, 0, 0, 0, 0, 0x01, 0xA8, 0, 0, 0, 0x06, 0, 0, 0, 0x0C, 0xF0},
             bandMaster0,
             {0xF2, 0xA9, 'C', 'h', 'a', 'l', 'l', 'e', 'n', 'g', 'e', 0xA2, 'p', 'w', 0xF3, 0xF1},
             kStatusList}));
    // Every command of the session goes to the Enterprise ComID with its numbers.
    EXPECT_EQ(Bytes(sends[2].begin() + 4, sends[2].begin() + 6), (Bytes{0x07, 0xFE}));
    EXPECT_EQ(be32(sends[2].data() + 20), 9u);
    s.expectAbort();
}

TEST(TcgSession, AuthenticateAnswers) {
    struct Case {
        const char* what;
        Bytes reply;
        uint8_t expected;
    };
    const Case cases[] = {
        {"true", methodReply({0xF0, 0x01, 0xF1}), 0},
        {"false", methodReply({0xF0, 0x00, 0xF1}), kTcgAuthFailed},
        {"not a number", methodReply({0xF0, 0xF2, 0xF1}), kTcgBadReply},
        {"refused", methodReply({}, 1), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OpalDevice dev;
        dev.replies.push_back({0, c.reply});
        TcgSession s(&dev);
        s.dontHashPwd();
        EXPECT_EQ(s.authenticate(tcgUidToken(OPAL_ADMIN1_UID), "pw"), c.expected);
    }
}

TEST(TcgSession, ReplyStatusRules) {
    struct Case {
        const char* what;
        uint8_t recvRc;
        Bytes reply;
        uint8_t expected;
    };
    Bytes zeroPacket = methodReply({0xF0, 0xF1});
    put32(zeroPacket, 40, 0);
    const Case cases[] = {
        {"success", 0, methodReply({0xF0, 0xF1}), 0},
        {"end of session needs no status", 0, replyFrame({0xFA}), 0},
        {"not authorized", 0, methodReply({0xF0, 0xF1}, 1), 1},
        {"unknown status passes through", 0, methodReply({0xF0, 0xF1}, 2), 2},
        {"status list missing", 0, replyFrame({0xF0, 0xF1, 0xF9}), kTcgNoMethodStatus},
        {"status not a number", 0, replyFrame({0xF9, 0xF0, 0xF2, 0x00, 0x00, 0xF1}), kTcgBadReply},
        {"status too wide for a byte", 0,
         replyFrame({0xF9, 0xF0, 0x82, 0x01, 0x00, 0x00, 0x00, 0xF1}), kTcgBadReply},
        {"zero header", 0, Bytes(1024, 0), kTcgBadHeader},
        {"zero packet length", 0, zeroPacket, kTcgBadHeader},
        {"receive failed", 1, {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OpalDevice dev;
        dev.replies.push_back({c.recvRc, c.reply});
        TcgSession s(&dev);
        TcgCommand cmd(OPAL_THISSP_UID, GET);
        cmd.addToken(STARTLIST);
        cmd.addToken(ENDLIST);
        ASSERT_EQ(cmd.complete(1), 0);
        TcgResponse r;
        EXPECT_EQ(s.sendCommand(cmd, r), c.expected);
    }
}

TEST(TcgSession, EndOfSessionOnlyForAStartedSessionThatWillNotAbort) {
    struct Case {
        const char* what;
        Bytes startReply;
        bool abort;
        size_t sends;
    };
    const Case cases[] = {
        {"started", syncSessionReply(105, 5), false, 2},
        {"started, then the method ends it", syncSessionReply(105, 5), true, 1},
        {"start refused (wrong PIN)", methodReply({}, 1), false, 1},
        {"start reply without session numbers", methodReply({0xF0, 0xF1}), false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OpalDevice dev;
        dev.replies.push_back({0, c.startReply});
        dev.replies.push_back({0, replyFrame({0xFA})});
        {
            TcgSession s(&dev);
            s.dontHashPwd();
            s.startSession(OPAL_LOCKINGSP_UID, "pw", OPAL_ADMIN1_UID);
            if (c.abort) s.expectAbort();
        }
        EXPECT_EQ(dev.sends().size(), c.sends);
    }
}

TEST(TcgSession, CommandThatCouldNotBeBuiltIsNotSent) {
    OpalDevice dev;
    TcgSession s(&dev);
    TcgCommand cmd(OPAL_THISSP_UID, SET);
    cmd.addToken(std::string(3000, 'x').c_str());
    EXPECT_EQ(cmd.complete(1), kTcgCommandFailed);
    TcgResponse r;
    EXPECT_EQ(s.sendCommand(cmd, r), kTcgCommandFailed);
    EXPECT_TRUE(dev.transfers.empty());
}

TEST(TcgSession, MethodStatusNames) {
    EXPECT_STREQ(TcgSession::methodStatus(0), "SUCCESS");
    EXPECT_STREQ(TcgSession::methodStatus(1), "NOT_AUTHORIZED");
    EXPECT_STREQ(TcgSession::methodStatus(18), "AUTHORITY_LOCKED_OUT");
    EXPECT_STREQ(TcgSession::methodStatus(63), "FAIL");
    EXPECT_STREQ(TcgSession::methodStatus(2), "Unknown status code");
    EXPECT_STREQ(TcgSession::methodStatus(64), "Unknown status code");
}

}  // namespace
