#include "tcg_exchange.h"

#include <gtest/gtest.h>

#include "tcg_command.h"
#include "tcg_dev_enterprise.h"
#include "tcg_dev_generic.h"
#include "tcg_dev_opal.h"
#include "tcg_log.h"
#include "tcg_status.h"
#include "tcg_test_support.h"

namespace {

using namespace tcgtest;

using OpalDevice = ScriptedDevice<TcgDevOpal2>;

Bytes text(const char* s) {
    Bytes b;
    tcgEncodeBytes(b, reinterpret_cast<const uint8_t*>(s), std::strlen(s));
    return b;
}

// A command whose frame ends at `length` bytes.
void commandOf(TcgCommand& cmd, uint32_t length) {
    cmd.reset();
    cmd.addToken(Bytes(length - 56, 0xF1));
    ASSERT_EQ(cmd.complete(0), 0);
    ASSERT_EQ(cmd.position(), length);
}

TEST(TcgExec, SendsWholeSectors) {
    struct Case {
        uint32_t commandLength;
        size_t sent;
    };
    const Case cases[] = {{100, 512}, {512, 512}, {600, 1024}, {1024, 1024}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLength);
        OpalDevice dev;
        dev.diskInfo.OPAL20_basecomID = 0x07FE;
        dev.replies.push_back({0, replyFrame({0xFA})});
        TcgCommand cmd;
        commandOf(cmd, c.commandLength);
        TcgResponse r;
        ASSERT_EQ(dev.exec(cmd, r, 1), 0);
        ASSERT_EQ(dev.transfers.size(), 2u);
        EXPECT_EQ(dev.transfers[0].cmd, 0x5E);
        EXPECT_EQ(dev.transfers[0].comID, 0x07FE);
        EXPECT_EQ(dev.transfers[0].data.size(), c.sent);
        EXPECT_EQ(dev.transfers[1].cmd, 0x5C);
        EXPECT_EQ(dev.transfers[1].data.size(), 1024u);
        EXPECT_EQ(r.getTokenCount(), 1u);
    }
}

TEST(TcgExec, PollsWhileTheReplyIsNotReady) {
    struct Case {
        const char* what;
        std::vector<ScriptedDrive::Reply> replies;
        bool repeatLast;
        uint8_t expected;
        int receives;
        uint32_t tokens;
        uint32_t tsn = 0, hsn = 0;  // the command's session numbers
    };
    const Bytes ready = replyFrame({0xF0, 0xF1});
    const Bytes pending = replyFrame({}, 512, 0);
    // A reply's Packet with session numbers.
    auto inSession = [](Bytes frame, uint32_t tsn, uint32_t hsn) {
        put32(frame, 20, tsn);
        put32(frame, 24, hsn);
        return frame;
    };
    const Bytes staleEnd = inSession(replyFrame({0xFA}), 5, 105);
    const Case cases[] = {
        {"ready at once", {{0, ready}}, false, 0, 1, 2},
        {"ready after two polls", {{0, pending}, {0, pending}, {0, ready}}, false, 0, 3, 2},
        {"outstanding with a minimum transfer",
         {{0, replyFrame({0xF0}, 512, 512)}},
         false,
         0,
         1,
         1},
        {"never ready", {{0, pending}}, true, kTcgReplyTimeout, kTcgMaxPolls, 0},
        {"receive fails while pending", {{0, pending}, {1, {}}}, false, 1, 2, 0},
        // A reply left by an earlier exchange whose receive failed is not this one's.
        {"another session's reply is dropped",
         {{0, staleEnd}, {0, inSession(ready, 9, 105)}},
         false,
         0,
         2,
         2,
         9,
         105},
        {"a session's reply is not the Session Manager's",
         {{0, staleEnd}, {0, ready}},
         false,
         0,
         2,
         2},
        {"only other sessions' replies",
         {{0, staleEnd}},
         true,
         kTcgReplyTimeout,
         kTcgMaxPolls,
         0,
         9,
         105},
        // The Session Manager's own packets carry no session numbers.
        {"a reply without session numbers is taken", {{0, ready}}, false, 0, 1, 2, 9, 105},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OpalDevice dev;
        dev.drive->repeatLast = c.repeatLast;
        dev.replies.assign(c.replies.begin(), c.replies.end());
        TcgCommand cmd;
        commandOf(cmd, 64);
        cmd.setTSN(c.tsn);
        cmd.setHSN(c.hsn);
        TcgResponse r;
        EXPECT_EQ(dev.exec(cmd, r, 1), c.expected);
        EXPECT_EQ(int(dev.transfers.size()) - 1, c.receives);
        EXPECT_EQ(dev.sleeps, c.receives);
        EXPECT_EQ(dev.slept, uint32_t(c.receives) * kTcgPollMs);
        EXPECT_EQ(r.getTokenCount(), c.tokens);
    }
}

TEST(TcgExec, FailedSendReceivesNothing) {
    OpalDevice dev;
    dev.drive->sendResult = 1;
    TcgCommand cmd;
    commandOf(cmd, 64);
    TcgResponse r;
    EXPECT_EQ(dev.exec(cmd, r, 1), 1);
    EXPECT_EQ(dev.transfers.size(), 1u);
}

TEST(TcgExec, DumpsHideCredentials) {
    OpalDevice dev;
    dev.replies.push_back({0, replyFrame({0xFA})});
    TcgCommand cmd(OPAL_SMUID_UID, STARTSESSION);
    cmd.addCredential({0xD0, 0x04, 0xDE, 0xAD, 0xBE, 0xEF});
    ASSERT_EQ(cmd.complete(1), 0);
    TcgResponse r;
    const int saved = g_tcgLogLevel;
    g_tcgLogLevel = TCG_DBG3;
    testing::internal::CaptureStdout();
    ASSERT_EQ(dev.exec(cmd, r, 1), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    g_tcgLogLevel = saved;
    EXPECT_NE(out.find("Dumping command buffer"), std::string::npos);
    size_t hidden = 0;
    for (size_t at = out.find("**"); at != std::string::npos; at = out.find("**", at + 2)) ++hidden;
    EXPECT_EQ(hidden, 6u);
    EXPECT_EQ(out.find("de ad"), std::string::npos);
    EXPECT_NE(out.find("f8 a8"), std::string::npos);  // the rest is shown
}

// A Properties reply: the TPer's list, then the host's as the TPer accepted it.
Bytes propertiesReply(const std::vector<std::pair<const char*, Bytes>>& tper) {
    Bytes p = {0xF8, 0xA8, 0, 0, 0, 0, 0,    0,    0,    0xFF, 0xA8,
               0,    0,    0, 0, 0, 0, 0xFF, 0x01, 0xF0, 0xF0};
    for (const auto& [name, value] : tper) {
        p.push_back(0xF2);
        const Bytes n = text(name);
        p.insert(p.end(), n.begin(), n.end());
        p.insert(p.end(), value.begin(), value.end());
        p.push_back(0xF3);
    }
    p.insert(p.end(), {0xF1, 0xF2, 0x00, 0xF0, 0xF2});
    const Bytes host = text("MaxComPacketSize");
    p.insert(p.end(), host.begin(), host.end());
    p.insert(p.end(), {0x82, 0x08, 0x00, 0xF3, 0xF1, 0xF3, 0xF1});
    return methodReply(p);
}

TEST(TcgProperties, OpalTakesTheTPerSizes) {
    struct Case {
        const char* what;
        std::vector<ScriptedDrive::Reply> replies;
        uint8_t expected;
        uint32_t maxComPacketSize;
        uint32_t maxIndTokenSize;
    };
    const Case cases[] = {
        {"sizes given",
         {{0, propertiesReply({{"MaxComPacketSize", {0x84, 0, 1, 0, 0}},
                               {"MaxIndTokenSize", {0x82, 0xFD, 0xE8}}})}},
         0,
         65536,
         65000},
        {"no sizes", {{0, propertiesReply({{"MaxMethods", {0x01}}})}}, 0, 2048, 1950},
        {"size of the wrong kind",
         {{0, propertiesReply({{"MaxComPacketSize", {0xF0}}})}},
         0,
         2048,
         1950},
        {"refused", {{0, methodReply({}, 12)}}, 12, 2048, 1950},
        {"no reply", {{1, {}}}, 1, 2048, 1950},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OpalDevice dev;
        dev.replies.assign(c.replies.begin(), c.replies.end());
        EXPECT_EQ(dev.properties(), c.expected);
        EXPECT_EQ(dev.diskInfo.PropertiesExchanged, c.expected == 0);
        EXPECT_EQ(dev.maxComPacketSize, c.maxComPacketSize);
        EXPECT_EQ(dev.maxIndTokenSize, c.maxIndTokenSize);
        ASSERT_NE(dev.activeSession, nullptr);
    }
}

TEST(TcgProperties, HostPropertiesOffered) {
    struct Case {
        const char* what;
        bool enterprise;
        Bytes name;
    };
    const Case cases[] = {{"opal", false, {0x00}}, {"enterprise", true, text("HostProperties")}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedDevice<TcgDevEnterprise> dev;
        dev.replies.push_back({0, propertiesReply({})});
        ASSERT_EQ(tcgProperties(dev, c.enterprise), 0);
        Bytes expected = {0xF8, 0xA8, 0, 0, 0, 0, 0,    0,    0,    0xFF, 0xA8,
                          0,    0,    0, 0, 0, 0, 0xFF, 0x01, 0xF0, 0xF2};
        expected.insert(expected.end(), c.name.begin(), c.name.end());
        expected.push_back(0xF0);
        const std::pair<const char*, Bytes> rows[] = {{"MaxComPacketSize", {0x82, 0x08, 0x00}},
                                                      {"MaxPacketSize", {0x82, 0x07, 0xEC}},
                                                      {"MaxIndTokenSize", {0x82, 0x07, 0xC8}},
                                                      {"MaxPackets", {0x01}},
                                                      {"MaxSubpackets", {0x01}},
                                                      {"MaxMethods", {0x01}}};
        for (const auto& [name, value] : rows) {
            expected.push_back(0xF2);
            const Bytes n = text(name);
            expected.insert(expected.end(), n.begin(), n.end());
            expected.insert(expected.end(), value.begin(), value.end());
            expected.push_back(0xF3);
        }
        expected.insert(expected.end(), {0xF1, 0xF3, 0xF1, 0xF9, 0xF0, 0, 0, 0, 0xF1});
        const Bytes sent = dev.sends().at(0);
        EXPECT_EQ(Bytes(sent.begin() + 56, sent.begin() + 56 + long(expected.size())), expected);
        EXPECT_EQ(be32(sent.data() + 52), expected.size());
    }
}

TEST(TcgProperties, PrintedAfterDiscovery) {
    OpalDevice dev;
    dev.deviceName = "1/1";
    dev.replies.push_back(
        {0, propertiesReply({{"MaxComPacketSize", {0x82, 0x10, 0x00}}, {"MaxPackets", {0x01}}})});
    ASSERT_EQ(dev.properties(), 0);
    testing::internal::CaptureStdout();
    dev.puke();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("\nTPer Properties: "), std::string::npos);
    EXPECT_NE(out.find("  MaxComPacketSize = 4096"), std::string::npos);
    EXPECT_NE(out.find("  MaxPackets = 1"), std::string::npos);
    EXPECT_NE(out.find("\nHost Properties: \n"), std::string::npos);
    EXPECT_LT(out.find("MaxPackets = 1"), out.find("Host Properties"));
}

TEST(TcgDevGeneric, RefusesEveryOperation) {
    TcgDevGeneric dev;
    testing::internal::CaptureStdout();
    EXPECT_EQ(dev.takeOwnership("pw"), 0xFF);
    EXPECT_EQ(dev.comID(), 255);
    EXPECT_EQ(dev.listLockingRanges("pw", -1), 0xFF);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ERR : Generic Device class does not support function takeOwnership\n\n"
              "ERR : Generic Device class does not support function comID\n\n"
              "ERR : Generic Device class does not support function listLockingRanges\n\n");
}

}  // namespace
