// The TCG stack end to end over the controller emulator's self-encrypting drive models, whose
// codec and frame parser are written independently of this stack.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <typeinfo>

#include "atoms.h"
#include "sed_drive.h"
#include "tcg_command.h"
#include "tcg_dev_enterprise.h"
#include "tcg_dev_opal.h"
#include "tcg_emulated_stack.h"
#include "tcg_log.h"
#include "tcg_ops_util.h"
#include "tcg_session.h"
#include "tcg_status.h"

namespace {

using tcgtest::EmulatedStack;

constexpr uint32_t kDisk = 256;
constexpr const char* kMsid = "MSID0123456789";
constexpr const char* kSerial = "EMU000000001";

// One drive of `profile` at location 1/1; `settings` is extra JSON inside "tcg_settings".
std::string machine(const std::string& profile, const std::string& settings = "") {
    return R"({"domains": [{"first_id": 256, "disks": [{"port": 0, "capacity": 2000000,
        "model": "EMU SED", "serial": ")" +
           std::string(kSerial) + R"(", "tcg": ")" + profile + R"(",
        "tcg_settings": {"msid": ")" +
           kMsid + "\"" + (settings.empty() ? "" : ", " + settings) + "}}]}]}";
}

std::shared_ptr<emu::tcg::SedDrive> driveOf(EmulatedStack& stack) {
    return std::dynamic_pointer_cast<emu::tcg::SedDrive>(
        stack.emulator->Snapshot().disks.at(kDisk).trusted);
}

const emu::tcg::Uid kStartSession = {0, 0, 0, 0, 0, 0, 0xFF, 0x02};
const emu::tcg::Uid kProperties = {0, 0, 0, 0, 0, 0, 0xFF, 0x01};

TEST(TcgDrive, EveryProfileOpensDiscoversAndPrints) {
    struct Case {
        const char* profile;
        const std::type_info& dialect;
        uint16_t comID;
        std::vector<const char*> headings;
    };
    const Case cases[] = {
        {"opal1", typeid(TcgDevOpal1), 0x1000, {"Opal V1.0 function (0x0200)", "Geometry"}},
        {"opal2",
         typeid(TcgDevOpal2),
         0x1000,
         {"OPAL 2.0 function (0x0203)", "SingleUser function (0x0201)",
          "DataStore function (0x0202)", "Block SID Authentication function (0x0402)"}},
        {"opalite", typeid(TcgDevOpalite), 0x1000, {"Opalite function (0x0301)"}},
        {"pyrite1", typeid(TcgDevPyrite1), 0x1000, {"Pyrite 1.0 function (0x0302)"}},
        {"pyrite2",
         typeid(TcgDevPyrite2),
         0x1000,
         {"Pyrite 2.0 function (0x0303)", "Supported Data Removal Mechanism function (0x0404)"}},
        {"ruby1", typeid(TcgDevRuby1), 0x1000, {"Ruby 1.0 function (0x0304)"}},
        {"enterprise", typeid(TcgDevEnterprise), 0x07FE, {"Enterprise function (0x0100)"}},
        {"opal2+ruby1",
         typeid(TcgDevRuby1),
         0x1000,
         {"OPAL 2.0 function (0x0203)", "Ruby 1.0 function (0x0304)"}},
        {"opal2+enterprise",
         typeid(TcgDevOpal2),
         0x1000,
         {"OPAL 2.0 function (0x0203)", "Enterprise function (0x0100)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.profile);
        EmulatedStack stack(machine(c.profile));
        auto drive = driveOf(stack);
        ASSERT_NE(drive, nullptr);
        testing::internal::CaptureStdout();
        auto dev = stack.open("1/1");
        const std::string openOutput = testing::internal::GetCapturedStdout();
        ASSERT_NE(dev, nullptr) << openOutput;
        EXPECT_EQ(openOutput, "");
        const auto& made = *dev;  // clang warns when typeid's operand calls a function
        EXPECT_EQ(typeid(made), c.dialect);
        EXPECT_EQ(dev->comID(), c.comID);
        EXPECT_TRUE(dev->diskInfo.TPer);
        EXPECT_TRUE(dev->diskInfo.Locking);
        EXPECT_EQ(std::string(dev->diskInfo.serialNumber).find(kSerial), 0u);
        EXPECT_TRUE(dev->diskInfo.PropertiesExchanged);
        EXPECT_TRUE(drive->PropertiesExchanged());
        EXPECT_EQ(drive->HostProperty("MaxComPacketSize"), 2048u);
        EXPECT_EQ(drive->HostProperty("MaxPacketSize"), 2028u);

        testing::internal::CaptureStdout();
        dev->puke();
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(out.find("\n1/1 ATA EMU SED"), 0u) << out;
        EXPECT_NE(out.find("TPer function (0x0001)"), std::string::npos);
        EXPECT_NE(out.find("Locking function (0x0002)"), std::string::npos);
        for (const char* heading : c.headings)
            EXPECT_NE(out.find(heading), std::string::npos) << heading << "\n" << out;
        EXPECT_NE(out.find("TPer Properties: "), std::string::npos);
        EXPECT_NE(out.find("MaxComPacketSize = "), std::string::npos);
        EXPECT_EQ(out.find("Unknown function codes"), std::string::npos);

        dev.reset();
        EXPECT_TRUE(drive->FrameErrors().empty()) << drive->FrameErrors().front();
        EXPECT_FALSE(drive->Session().has_value());
    }
}

TEST(TcgDrive, PropertiesTakeTheTPerSizesWhenGiven) {
    struct Case {
        const char* what;
        std::string settings;
        uint32_t maxComPacketSize;
        uint32_t maxIndTokenSize;
    };
    const Case cases[] = {
        {"sizes given",
         R"("tper_properties": {"MaxComPacketSize": 65536, "MaxIndTokenSize": 65000})", 65536,
         65000},
        {"sizes left out",
         R"("tper_properties": {"MaxComPacketSize": null, "MaxIndTokenSize": null})", 2048, 1950},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EmulatedStack stack(machine("opal2", c.settings));
        auto dev = stack.open("1/1");
        ASSERT_NE(dev, nullptr);
        EXPECT_TRUE(dev->diskInfo.PropertiesExchanged);
        EXPECT_EQ(dev->maxComPacketSize, c.maxComPacketSize);
        EXPECT_EQ(dev->maxIndTokenSize, c.maxIndTokenSize);
    }
}

TEST(TcgDrive, AuthenticatedSessionWithTheRightAndAWrongPin) {
    struct Case {
        const char* what;
        const char* profile;
        OPAL_UID sp;
        std::vector<uint8_t> authority;
        const char* pin;
        bool hashingDisabled;  // the PIN as the medium atom of its bytes, else as text
        uint8_t expected;
    };
    const std::vector<uint8_t> sid = tcgUidToken(OPAL_SID_UID);
    const std::vector<uint8_t> eraseMaster = tcgUidToken(ENTERPRISE_ERASEMASTER_UID);
    const Case cases[] = {
        {"opal, right pin as text", "opal2", OPAL_ADMINSP_UID, sid, kMsid, false, 0},
        {"opal, right pin unhashed", "opal2", OPAL_ADMINSP_UID, sid, kMsid, true, 0},
        {"opal, wrong pin", "opal2", OPAL_ADMINSP_UID, sid, "not the msid", false, 1},
        {"ruby, right pin", "opal2+ruby1", OPAL_ADMINSP_UID, sid, kMsid, true, 0},
        {"enterprise, right pin", "enterprise", ENTERPRISE_LOCKINGSP_UID, eraseMaster, kMsid, false,
         0},
        {"enterprise, wrong pin", "enterprise", ENTERPRISE_LOCKINGSP_UID, eraseMaster, "nope",
         false, kTcgAuthFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EmulatedStack stack(machine(c.profile));
        auto drive = driveOf(stack);
        auto dev = stack.open("1/1");
        ASSERT_NE(dev, nullptr);
        dev->hashingDisabled = c.hashingDisabled;
        drive->ClearCallLog();
        {
            TcgSession session(dev.get());
            if (!c.hashingDisabled) session.dontHashPwd();
            // With every buffer dumped: the credential shows as "**" for each of its bytes.
            const int level = g_tcgLogLevel;
            g_tcgLogLevel = TCG_DBG3;
            testing::internal::CaptureStdout();
            const uint8_t rc = session.startSession(c.sp, c.pin, c.authority);
            const std::string out = testing::internal::GetCapturedStdout();
            g_tcgLogLevel = level;
            EXPECT_EQ(rc, c.expected) << out;
            size_t hidden = 0;
            for (size_t at = out.find("**"); at != std::string::npos; at = out.find("**", at + 2))
                ++hidden;
            const size_t pinLength = std::strlen(c.pin);
            EXPECT_EQ(hidden, pinLength + (c.hashingDisabled || pinLength > 15 ? 2 : 1)) << out;
            // The password never reaches the output, whatever happened.
            EXPECT_EQ(out.find(c.pin), std::string::npos) << out;
            EXPECT_EQ(drive->Session().has_value(),
                      c.expected == 0 || c.profile == std::string("enterprise"));
        }
        // A started session is ended; one the drive refused leaves nothing to end.
        EXPECT_FALSE(drive->Session().has_value());
        EXPECT_TRUE(drive->FrameErrors().empty()) << drive->FrameErrors().front();
        const auto lines = drive->CallLogLines();
        ASSERT_FALSE(lines.empty());
        const bool ended = lines.back().find("EndOfSession") != std::string::npos;
        EXPECT_EQ(ended, drive->CallLog().front().status == 0) << lines.back();
    }
}

TEST(TcgDrive, MalformedRepliesAreRefusedCleanly) {
    using Kind = emu::tcg::Fault::Kind;
    struct Case {
        const char* what;
        Kind kind;
        int64_t value;
        emu::tcg::Uid method;
        uint8_t expected;
    };
    const Case cases[] = {
        {"zero header", Kind::ZeroHeader, 0, kStartSession, kTcgBadHeader},
        {"status list missing", Kind::NoStatus, 0, kStartSession, kTcgNoMethodStatus},
        {"token past the end", Kind::TokenPastEnd, 0, kStartSession, kTcgNoMethodStatus},
        {"control token where a number is expected", Kind::WrongTokenKind, 0, kStartSession,
         kTcgBadReply},
        {"never ready", Kind::Pending, -1, kStartSession, kTcgReplyTimeout},
        {"ready after three polls", Kind::Pending, 3, kStartSession, 0},
        // The tokens are read by the SubPacket length, inside the buffer.
        {"ComPacket length past the buffer", Kind::ComPacketLength, 5000, kStartSession, 0},
        {"SubPacket length past the buffer", Kind::SubPacketLength, 4000, kStartSession,
         kTcgNoMethodStatus},
        {"method refused", Kind::MethodStatus, 12, kStartSession, 12},
        {"send aborted", Kind::AbortSend, 0, kStartSession, 1},
        {"receive aborted", Kind::AbortReceive, 0, kStartSession, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EmulatedStack stack(machine("opal2"));
        auto drive = driveOf(stack);
        auto dev = stack.openAs<TcgDevOpal2>("1/1");
        ASSERT_TRUE(dev->diskInfo.PropertiesExchanged);
        emu::tcg::Fault f;
        f.kind = c.kind;
        f.value = c.value;
        if (c.kind != Kind::AbortSend && c.kind != Kind::AbortReceive) f.method = c.method;
        f.times = 1;
        drive->InjectFault(f);
        uint8_t rc = 0;
        testing::internal::CaptureStdout();
        {
            TcgSession session(dev.get());
            session.dontHashPwd();
            rc = session.startSession(OPAL_ADMINSP_UID, kMsid, OPAL_SID_UID);
        }
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(rc, c.expected) << out;
        EXPECT_EQ(out.find(kMsid), std::string::npos);
    }
}

// A receive that fails leaves its reply with the drive; the next exchange must not take it for
// its own, whichever exchange's reply it was.
TEST(TcgDrive, AReplyLeftByAFailedReceiveIsNotTakenForTheNextOne) {
    struct Case {
        const char* what;
        const char* profile;
        uint32_t failedReceive;  // counted from the session's start: 1 the start, ...
        bool readsMsid;          // a Get between the start and End of Session
    };
    const Case cases[] = {
        {"opal, the End of Session reply", "opal2", 2, false},
        {"opal, a Get's reply", "opal2", 2, true},
        {"opal, the End of Session reply after a Get", "opal2", 3, true},
        {"enterprise, the End of Session reply", "enterprise", 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EmulatedStack stack(machine(c.profile));
        auto drive = driveOf(stack);
        auto dev = stack.open("1/1");
        ASSERT_NE(dev, nullptr);
        const bool enterprise = dev->isEprise();
        emu::tcg::Fault f;
        f.kind = emu::tcg::Fault::Kind::AbortReceive;
        f.onCall = c.failedReceive;
        f.times = 1;
        drive->InjectFault(f);
        auto* opal = dynamic_cast<TcgDevOpal*>(dev.get());
        ASSERT_TRUE(opal != nullptr || !c.readsMsid);
        testing::internal::CaptureStdout();
        const uint8_t started =
            tcgNewSession(*dev).startSession(OPAL_ADMINSP_UID, nullptr, OPAL_UID_HEXFF);
        const uint8_t read =
            c.readsMsid ? opal->getTable(tcgUidToken(OPAL_C_PIN_MSID), 3, 3) : uint8_t(0);
        tcgEndSession(*dev);
        const std::string first = testing::internal::GetCapturedStdout();
        EXPECT_EQ(started, 0) << first;
        EXPECT_EQ(read != 0, c.readsMsid && c.failedReceive == 2) << first;
        EXPECT_NE(first.find("ERR : "), std::string::npos) << first;
        // The reply the host never read is still queued.
        EXPECT_EQ(drive->QueuedReplies(), 1u);

        testing::internal::CaptureStdout();
        uint8_t rc = 0xFF;
        {
            TcgSession session(dev.get());
            session.dontHashPwd();
            rc = enterprise ? session.startSession(ENTERPRISE_LOCKINGSP_UID, kMsid,
                                                   ENTERPRISE_ERASEMASTER_UID)
                            : session.startSession(OPAL_ADMINSP_UID, kMsid, OPAL_SID_UID);
            EXPECT_TRUE(drive->Session().has_value());
        }
        const std::string next = testing::internal::GetCapturedStdout();
        EXPECT_EQ(rc, 0) << next;
        EXPECT_EQ(next, "");
        EXPECT_FALSE(drive->Session().has_value());
        EXPECT_EQ(drive->QueuedReplies(), 0u);
        for (const std::string& e : drive->FrameErrors()) ADD_FAILURE() << e;
    }
}

TEST(TcgDrive, FailingPropertiesLeaveTheDefaults) {
    EmulatedStack stack(machine("opal2"));
    auto drive = driveOf(stack);
    emu::tcg::Fault f;
    f.kind = emu::tcg::Fault::Kind::MethodStatus;
    f.value = 63;
    f.method = kProperties;
    drive->InjectFault(f);
    testing::internal::CaptureStdout();
    auto dev = stack.openAs<TcgDevOpal2>("1/1");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("ERR : method status code FAIL\n"), std::string::npos) << out;
    EXPECT_NE(out.find("ERR : Properties exchange failed\n"), std::string::npos) << out;
    EXPECT_FALSE(dev->diskInfo.PropertiesExchanged);
    EXPECT_TRUE(dev->diskInfo.Opal2);  // the device is used anyway
    EXPECT_EQ(dev->maxComPacketSize, 2048u);
    EXPECT_EQ(dev->maxIndTokenSize, 1950u);
    testing::internal::CaptureStdout();
    dev->puke();
    EXPECT_EQ(testing::internal::GetCapturedStdout().find("TPer Properties"), std::string::npos);
}

TEST(TcgDrive, EnterpriseRetriesAStartWithoutTheTimeout) {
    EmulatedStack stack(machine("enterprise"));
    auto drive = driveOf(stack);
    auto dev = stack.open("1/1");
    ASSERT_NE(dev, nullptr);
    emu::tcg::Fault f;
    f.kind = emu::tcg::Fault::Kind::RefuseSessionTimeout;
    drive->InjectFault(f);
    drive->ClearCallLog();
    {
        TcgSession session(dev.get());
        session.dontHashPwd();
        EXPECT_EQ(session.startSession(ENTERPRISE_LOCKINGSP_UID, kMsid,
                                       tcgUidToken(ENTERPRISE_BANDMASTER0_UID)),
                  0);
    }
    const auto& calls = drive->CallLog();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0].status, 12);  // refused with the timeout
    EXPECT_EQ(calls[1].status, 0);   // accepted without it
    EXPECT_TRUE(drive->FrameErrors().empty());
}

// Each side's encoding read by the other side's decoder.
TEST(TcgDrive, CodecAgreesWithTheDrivesOwn) {
    for (uint64_t v : {0ull, 63ull, 64ull, 255ull, 256ull, 65535ull, 65536ull, 0xFFFFFFFFull,
                       1ull << 32, ~0ull}) {
        SCOPED_TRACE(v);
        std::vector<uint8_t> ours;
        tcgEncodeUint(ours, v);
        std::vector<emu::tcg::Token> decoded;
        std::string error;
        ASSERT_TRUE(emu::tcg::DecodeTokens(ours, decoded, error)) << error;
        ASSERT_EQ(decoded.size(), 1u);
        EXPECT_TRUE(decoded[0].IsUint());
        EXPECT_EQ(decoded[0].uint, v);

        emu::tcg::Bytes theirs;
        emu::tcg::PutUint(theirs, v);
        // The drive writes integers in as few bytes as they need (3 or 5 too); this stack
        // only in 1, 2, 4 or 8. Each reads the other's.
        TcgToken t;
        ASSERT_TRUE(t.parse(theirs.data(), theirs.size()));
        EXPECT_EQ(t.value, v);
        EXPECT_EQ(t.totalLength, theirs.size());
    }
    for (size_t length : {0, 1, 15, 16, 255, 256, 2047, 2048}) {
        SCOPED_TRACE(length);
        std::vector<uint8_t> data(length);
        for (size_t i = 0; i < length; ++i) data[i] = uint8_t(i * 13 + 5);

        emu::tcg::Bytes theirs;
        emu::tcg::PutBytes(theirs, data);
        TcgToken t;
        ASSERT_TRUE(t.parse(theirs.data(), theirs.size()));
        EXPECT_TRUE(t.isByteString);
        EXPECT_EQ(t.totalLength, theirs.size());
        EXPECT_EQ(t.dataLength, length);
        if (length != 0) {
            EXPECT_EQ(std::vector<uint8_t>(t.bytes, t.bytes + t.dataLength), data);
        }

        std::vector<uint8_t> ours;
        if (length >= 2048) {
            // No frame carries it: this stack refuses to encode it at all.
            EXPECT_FALSE(tcgEncodeBytes(ours, data.data(), data.size()));
            continue;
        }
        ASSERT_TRUE(tcgEncodeBytes(ours, data.data(), data.size()));
        std::vector<emu::tcg::Token> decoded;
        std::string error;
        ASSERT_TRUE(emu::tcg::DecodeTokens(ours, decoded, error)) << error;
        ASSERT_EQ(decoded.size(), 1u);
        EXPECT_TRUE(decoded[0].IsBytes());
        if (length == 0) {
            // The empty text is written as 0xA1 0x00: a string of one zero byte.
            EXPECT_EQ(decoded[0].bytes, std::vector<uint8_t>{0});
        } else {
            EXPECT_EQ(decoded[0].bytes, data);
            EXPECT_EQ(theirs, ours);
        }
    }
}

}  // namespace
