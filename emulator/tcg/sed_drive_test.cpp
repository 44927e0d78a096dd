#include "sed_drive.h"

#include <gtest/gtest.h>

#include "status.h"
#include "test_host.h"

namespace emu::tcg {
namespace {

using test::Host;
using test::Received;

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

SedDrive Drive(const char* profile) {
    SedDrive d(*FindProfile(profile));
    std::string error;
    EXPECT_TRUE(d.Configure({{"msid", "MSID-0042"}, {"psid", "PSID-SECRET-77"}}, error)) << error;
    return d;
}

Bytes HostProperties(bool enterprise) {
    Bytes p{kStartName};
    if (enterprise)
        PutText(p, "HostProperties");
    else
        PutUint(p, 0);
    p.push_back(kStartList);
    for (auto [name, value] :
         std::vector<std::pair<const char*, uint64_t>>{{"MaxComPacketSize", 2048},
                                                       {"MaxPacketSize", 2028},
                                                       {"MaxIndTokenSize", 1992},
                                                       {"MaxPackets", 1},
                                                       {"MaxSubpackets", 1},
                                                       {"MaxMethods", 1},
                                                       {"Unheard", 5}}) {
        p.push_back(kStartName);
        PutText(p, name);
        PutUint(p, value);
        p.push_back(kEndName);
    }
    p.insert(p.end(), {kEndList, kEndName});
    return p;
}

// name -> value of the named pairs directly inside the list that starts at `from`.
std::map<std::string, uint64_t> NamedList(const std::vector<Token>& t, size_t from) {
    std::map<std::string, uint64_t> m;
    for (size_t i = from + 1; i + 3 < t.size() && !t[i].IsControl(kEndList); i += 4)
        if (t[i].IsControl(kStartName) && t[i + 1].IsBytes()) m[t[i + 1].Text()] = t[i + 2].uint;
    return m;
}

TEST(SedDrive, AnswersDiscoveryAndTheProtocolList) {
    SedDrive d = Drive("opal2");
    Bytes buf(1024, 0xEE);
    ASSERT_TRUE(d.TrustedReceive(1, 1, buf.data(), buf.size()));
    const uint32_t length = GetBig32(&buf[0]);
    EXPECT_EQ(length, 176u);
    EXPECT_EQ(buf[48 + 1], 0x01);                                        // TPer first
    EXPECT_EQ(std::count(buf.begin() + 180, buf.end(), 0), 1024 - 180);  // zeros after it
    ASSERT_TRUE(d.TrustedReceive(0, 0, buf.data(), 512));
    EXPECT_EQ(Hex(buf.data(), 10), "00000000000000020001");
    EXPECT_FALSE(d.TrustedReceive(2, 0, buf.data(), 512));
    EXPECT_FALSE(d.TrustedReceive(1, 0x1001, buf.data(), 512));
    EXPECT_EQ(d.FrameErrors().size(), 2u);
}

TEST(SedDrive, PropertiesExchangeListsTPerAndHostValues) {
    for (const char* profile : {"opal2", "enterprise"}) {
        SCOPED_TRACE(profile);
        SedDrive d = Drive(profile);
        Host h(d);
        const bool enterprise = d.profile().dialect() == Dialect::Enterprise;
        const Received r =
            h.Exchange(uid::kSessionManager, method::kProperties, HostProperties(enterprise));
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.status(), 0);
        const auto t = r.tokens();
        ASSERT_GT(t.size(), 6u);
        EXPECT_TRUE(t[0].IsControl(kCall));
        EXPECT_EQ(t[1].AsUid(), uid::kSessionManager);
        EXPECT_EQ(t[2].AsUid(), method::kProperties);
        const auto tper = NamedList(t, 4);
        EXPECT_EQ(tper.at("MaxComPacketSize"), 2048u);
        EXPECT_EQ(tper.at("MaxIndTokenSize"), 1992u);
        EXPECT_EQ(tper.at("MaxSessions"), 1u);
        EXPECT_TRUE(d.PropertiesExchanged());
        EXPECT_EQ(d.HostProperty("MaxPacketSize"), 2028u);
        EXPECT_EQ(d.HostProperty("Unheard"), 0u);  // unknown names are not taken
        // The host list follows under its name, echoed without the unknown one.
        size_t at = 0;
        for (size_t i = 5; i + 2 < t.size(); ++i)
            if (t[i].IsControl(kStartName) && t[i + 2].IsControl(kStartList)) at = i + 2;
        ASSERT_NE(at, 0u);
        EXPECT_EQ(enterprise ? t[at - 1].Text() : std::to_string(t[at - 1].uint),
                  enterprise ? "HostProperties" : "0");
        EXPECT_EQ(NamedList(t, at).size(), 6u);
        // The other dialect's parameter name is refused.
        const Received wrong =
            h.Exchange(uid::kSessionManager, method::kProperties, HostProperties(!enterprise));
        EXPECT_EQ(wrong.status(), status::kInvalidParameter);
    }
}

TEST(SedDrive, PropertiesCanLeaveOutTheSizes) {
    SedDrive d = Drive("opal2");
    d.SetTPerProperty("MaxComPacketSize", std::nullopt);
    d.SetTPerProperty("MaxIndTokenSize", 65000);
    Host h(d);
    const auto t = h.Exchange(uid::kSessionManager, method::kProperties, {}).tokens();
    const auto tper = NamedList(t, 4);
    EXPECT_EQ(tper.count("MaxComPacketSize"), 0u);
    EXPECT_EQ(tper.at("MaxIndTokenSize"), 65000u);
}

TEST(SedDrive, SessionStartsOnlyWithTheRightPin) {
    const struct {
        const char* what;
        Uid sp;
        Uid authority;
        std::optional<std::string> pin;
        int status;
    } cases[] = {
        {"SID with the MSID", uid::kAdminSp, uid::kSid, "MSID-0042", 0},
        {"SID with another PIN", uid::kAdminSp, uid::kSid, "MSID-0043", status::kNotAuthorized},
        {"SID with a prefix", uid::kAdminSp, uid::kSid, "MSID-004", status::kNotAuthorized},
        {"SID without a PIN", uid::kAdminSp, uid::kSid, std::nullopt, status::kNotAuthorized},
        {"PSID", uid::kAdminSp, uid::kPsid, "PSID-SECRET-77", 0},
        {"Anybody", uid::kAdminSp, uid::kAnybody, std::nullopt, 0},
        {"a class", uid::kAdminSp, uid::kAdmins, std::nullopt, status::kInvalidParameter},
        {"not in the SP", uid::kAdminSp, uid::kEraseMaster, std::nullopt,
         status::kInvalidParameter},
        {"inactive Locking SP", uid::kLockingSp, AdminAuthority(1), "", status::kInvalidParameter},
        {"no such SP", MakeUid(0x205, 9), uid::kAnybody, std::nullopt, status::kInvalidParameter},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SedDrive d = Drive("opal2");
        Host h(d);
        const Bytes pin = c.pin ? Text(*c.pin) : Bytes{};
        EXPECT_EQ(h.Start(c.sp, &c.authority, c.pin ? &pin : nullptr), c.status);
        EXPECT_EQ(d.Session().has_value(), c.status == 0);
        if (c.status == 0) {
            EXPECT_EQ(d.Session()->hsn, 105u);
            EXPECT_EQ(h.hsn, 105u);
            EXPECT_NE(h.tsn, 0u);
            EXPECT_TRUE(h.End());
            EXPECT_FALSE(d.Session().has_value());
        }
        EXPECT_TRUE(d.FrameErrors().empty());
        EXPECT_EQ(d.QueuedReplies(), 0u);
    }
}

TEST(SedDrive, OneSessionAtATime) {
    SedDrive d = Drive("opal2");
    Host h(d);
    ASSERT_EQ(h.Start(uid::kAdminSp), 0);
    const uint32_t first = h.tsn;
    Host other(d);
    EXPECT_EQ(other.Start(uid::kAdminSp), status::kNoSessionsAvailable);
    // A packet for a session that is not open is refused with ABRT.
    EXPECT_FALSE(h.Send(Bytes{kEndOfSession}, first + 1, 105));
    EXPECT_NE(d.FrameErrors().back().find("no open session"), std::string::npos);
    EXPECT_TRUE(h.End());
    EXPECT_EQ(other.Start(uid::kAdminSp), 0);
    EXPECT_NE(other.tsn, first);  // a fresh TPer session number
    // CloseSession through the Session Manager ends it as well.
    Bytes params;
    PutUint(params, other.hsn);
    PutUint(params, other.tsn);
    Host sm(d);
    const Received r = sm.Exchange(uid::kSessionManager, method::kCloseSession, params);
    EXPECT_EQ(r.status(), 0);
    EXPECT_FALSE(d.Session().has_value());
    EXPECT_EQ(sm.Exchange(uid::kSessionManager, method::kCloseSession, params).status(),
              status::kInvalidParameter);
}

TEST(SedDrive, AuthenticateInsideASession) {
    for (const char* profile : {"opal2", "enterprise"}) {
        SCOPED_TRACE(profile);
        SedDrive d = Drive(profile);
        const bool enterprise = d.profile().dialect() == Dialect::Enterprise;
        const Uid sp = enterprise ? uid::kEnterpriseLockingSp : uid::kAdminSp;
        const Uid who = enterprise ? BandMaster(1) : uid::kSid;
        const Uid m = enterprise ? method::kEAuthenticate : method::kAuthenticate;
        Host h(d);
        ASSERT_EQ(h.Start(sp), 0);
        auto proof = [&](const std::string& pin) {
            Bytes p;
            PutUid(p, who);
            p.push_back(kStartName);
            if (enterprise)
                PutText(p, "Challenge");
            else
                PutUint(p, 0);
            PutText(p, pin);
            p.push_back(kEndName);
            return p;
        };
        Received r = h.Exchange(uid::kThisSp, m, proof("wrong"));
        EXPECT_EQ(r.status(), 0);
        ASSERT_GE(r.tokens().size(), 2u);
        EXPECT_EQ(r.tokens()[1].uint, 0u);  // false
        r = h.Exchange(uid::kThisSp, m, proof("MSID-0042"));
        EXPECT_EQ(r.tokens()[1].uint, 1u);
        EXPECT_EQ(d.Session()->authorities, std::vector<Uid>{who});
        // The other dialect's method is not offered.
        const Uid otherMethod = enterprise ? method::kAuthenticate : method::kEAuthenticate;
        EXPECT_EQ(h.Exchange(uid::kThisSp, otherMethod, proof("MSID-0042")).status(),
                  status::kInvalidFunction);
        EXPECT_TRUE(h.End());
    }
}

TEST(SedDrive, EnterpriseSessionTimeoutCanBeRefused) {
    SedDrive d = Drive("enterprise");
    auto start = [&](bool withTimeout) {
        Bytes p;
        PutUint(p, 105);
        PutUid(p, uid::kEnterpriseLockingSp);
        PutUint(p, 1);
        if (withTimeout) {
            p.push_back(kStartName);
            PutText(p, "SessionTimeout");
            PutUint(p, 60000);
            p.push_back(kEndName);
        }
        Host h(d);
        const int st = h.Exchange(uid::kSessionManager, method::kStartSession, p).status();
        if (st == 0) {
            h.tsn = d.Session()->tsn;
            h.hsn = 105;
            h.End();
        }
        return st;
    };
    EXPECT_EQ(start(true), 0);
    Fault f;
    f.kind = Fault::Kind::RefuseSessionTimeout;
    d.InjectFault(f);
    EXPECT_EQ(start(true), status::kInvalidParameter);
    EXPECT_EQ(start(false), 0);
}

TEST(SedDrive, RepliesWaitInTheQueue) {
    SedDrive d = Drive("opal2");
    Host h(d);
    Received empty = h.Receive();
    EXPECT_EQ(GetBig16(&empty.data[4]), 0x1000);
    EXPECT_EQ(empty.outstanding() | empty.minTransfer() | empty.comPacketLength(), 0u);

    Fault f;
    f.kind = Fault::Kind::Pending;
    f.value = 3;
    f.times = 1;
    d.InjectFault(f);
    for (int i = 0; i < 12; ++i) d.SetTPerProperty("VendorLimit" + std::to_string(i), 1u << 20);
    ASSERT_TRUE(h.Send(test::CallPayload(uid::kSessionManager, method::kProperties, {})));
    for (int poll = 0; poll < 3; ++poll) {
        const Received r = h.Receive();
        EXPECT_EQ(r.outstanding(), 1u);
        EXPECT_EQ(r.minTransfer(), 0u);
        EXPECT_EQ(r.comPacketLength(), 0u);
    }
    // Too small a transfer: the size needed, and the reply stays.
    const Received small = h.Receive(512);
    EXPECT_GT(small.minTransfer(), 512u);
    EXPECT_EQ(small.outstanding(), small.minTransfer());
    const Received r = h.Receive(1024);
    EXPECT_EQ(r.status(), 0);
    EXPECT_EQ(r.comPacketLength() + 20, small.minTransfer());
    EXPECT_EQ(d.QueuedReplies(), 0u);
}

TEST(SedDrive, RefusesMalformedSendsWithAbort) {
    const struct {
        const char* what;
        Bytes payload;
        const char* message;
    } cases[] = {
        {"no call", {kStartList, kEndList}, "not a method call"},
        {"status list not zero",
         {kCall, 0xA8,       0,        0,          0,          0, 0, 0, 0,
          0xFF,  0xA8,       0,        0,          0,          0, 0, 0, 0xFF,
          0x01,  kStartList, kEndList, kEndOfData, kStartList, 1, 0, 0, kEndList},
         "host status list"},
        {"no end of data",
         {kCall, 0xA8, 0, 0, 0, 0, 0,    0,    0,          0xFF,    0xA8,
          0,     0,    0, 0, 0, 0, 0xFF, 0x01, kStartList, kEndList},
         "End_of_Data"},
        {"unbalanced list",
         {kCall,      0xA8,     0,          0,          0, 0, 0, 0,       0,    0xFF,
          0xA8,       0,        0,          0,          0, 0, 0, 0xFF,    0x01, kStartList,
          kStartList, kEndList, kEndOfData, kStartList, 0, 0, 0, kEndList},
         "does not nest"},
        {"atom past the SubPacket", {kCall, 0xA8, 0, 0}, "runs past the end"},
        {"method outside a session", test::CallPayload(uid::kThisSp, method::kGet, {}),
         "outside a session"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SedDrive d = Drive("opal2");
        Host h(d);
        EXPECT_FALSE(h.Send(c.payload));
        ASSERT_EQ(d.FrameErrors().size(), 1u);
        EXPECT_NE(d.FrameErrors()[0].find(c.message), std::string::npos) << d.FrameErrors()[0];
        EXPECT_EQ(d.QueuedReplies(), 0u);
        EXPECT_TRUE(d.CallLog().empty());
    }
    SedDrive d = Drive("opal2");
    const Bytes f = test::Sectors(
        BuildFrame(0x1000, 0, 0, test::CallPayload(uid::kSessionManager, method::kProperties, {})));
    EXPECT_FALSE(d.TrustedSend(1, 0x1001, f.data(), f.size()));
    EXPECT_FALSE(d.TrustedSend(2, 0x1000, f.data(), f.size()));
    EXPECT_FALSE(d.TrustedSend(1, 0x0001, f.data(), f.size()));
    EXPECT_TRUE(d.TrustedSend(1, 0x1000, f.data(), f.size()));
    EXPECT_EQ(d.FrameErrors().size(), 3u);
}

// Each reply fault, armed for the Properties reply, as the host sees it.
TEST(SedDrive, ReplyFaultsShapeTheReply) {
    const struct {
        const char* what;
        Fault::Kind kind;
        int64_t value;
        std::function<void(const Received&, const Received& clean)> check;
    } cases[] = {
        {"ComPacket length short", Fault::Kind::ComPacketLength, -8,
         [](const Received& r, const Received& c) {
             EXPECT_EQ(r.comPacketLength() + 8, c.comPacketLength());
         }},
        {"Packet length long", Fault::Kind::PacketLength, 4096,
         [](const Received& r, const Received& c) {
             EXPECT_EQ(GetBig32(&r.data[40]), GetBig32(&c.data[40]) + 4096);
         }},
        {"SubPacket length long", Fault::Kind::SubPacketLength, 2000,
         [](const Received& r, const Received& c) {
             EXPECT_EQ(GetBig32(&r.data[52]), GetBig32(&c.data[52]) + 2000);
         }},
        {"zero header", Fault::Kind::ZeroHeader, 0,
         [](const Received& r, const Received&) {
             EXPECT_EQ(std::count(r.data.begin(), r.data.end(), 0), 1024);
         }},
        {"no status", Fault::Kind::NoStatus, 0,
         [](const Received& r, const Received& c) {
             EXPECT_EQ(r.status(), -1);
             EXPECT_EQ(r.tokens().size() + 6, c.tokens().size());
             EXPECT_TRUE(r.tokens().back().IsControl(kEndList));
         }},
        {"token past the end", Fault::Kind::TokenPastEnd, 0,
         [](const Received& r, const Received&) {
             std::vector<Token> t;
             std::string error;
             EXPECT_FALSE(DecodeTokens(&r.data[56], GetBig32(&r.data[52]), t, error));
             EXPECT_NE(error.find("runs past the end"), std::string::npos);
         }},
        {"wrong token kind", Fault::Kind::WrongTokenKind, 0,
         [](const Received& r, const Received&) {
             const auto t = r.tokens();
             ASSERT_GT(t.size(), 7u);
             EXPECT_TRUE(t[7].IsControl(kEmptyAtom));  // MaxComPacketSize's value
         }},
        {"method status", Fault::Kind::MethodStatus, 0x0F,
         [](const Received& r, const Received&) {
             EXPECT_EQ(r.status(), 0x0F);
             EXPECT_EQ(r.tokens().size(), 8u);
         }},
    };
    SedDrive plain = Drive("opal2");
    const Received clean = Host(plain).Exchange(uid::kSessionManager, method::kProperties, {});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SedDrive d = Drive("opal2");
        Fault f;
        f.kind = c.kind;
        f.value = c.value;
        f.method = method::kProperties;
        f.times = 1;
        d.InjectFault(f);
        Host h(d);
        const Received r = h.Exchange(uid::kSessionManager, method::kProperties, {});
        ASSERT_TRUE(r.ok);
        c.check(r, clean);
        // Armed for one reply only.
        EXPECT_EQ(h.Exchange(uid::kSessionManager, method::kProperties, {}).data, clean.data);
    }
}

TEST(SedDrive, AbortFaultsEndTheCommand) {
    SedDrive d = Drive("opal2");
    Fault f;
    f.kind = Fault::Kind::AbortReceive;
    f.value = 1;  // discovery only
    f.onCall = 2;
    f.times = 1;
    d.InjectFault(f);
    Bytes buf(512);
    EXPECT_TRUE(d.TrustedReceive(1, 1, buf.data(), buf.size()));
    EXPECT_TRUE(d.TrustedReceive(1, 0x1000, buf.data(), buf.size()));  // other ComID: not counted
    EXPECT_FALSE(d.TrustedReceive(1, 1, buf.data(), buf.size()));
    EXPECT_TRUE(d.TrustedReceive(1, 1, buf.data(), buf.size()));
    Fault s;
    s.kind = Fault::Kind::AbortSend;
    d.InjectFault(s);
    Host h(d);
    EXPECT_FALSE(h.Send(test::CallPayload(uid::kSessionManager, method::kProperties, {})));
    EXPECT_TRUE(d.CallLog().empty());
}

TEST(SedDrive, CallLogDecodesEveryCallWithoutSecrets) {
    SedDrive d = Drive("opal2");
    Host h(d);
    h.Exchange(uid::kSessionManager, method::kProperties, {});
    const Bytes pin = Text("MSID-0042");
    ASSERT_EQ(h.Start(uid::kAdminSp, &uid::kSid, &pin), 0);
    Bytes p;
    PutUid(p, uid::kSid);
    p.push_back(kStartName);
    PutUint(p, 0);
    PutBytes(p, pin);
    p.push_back(kEndName);
    h.Exchange(uid::kThisSp, method::kAuthenticate, p);
    h.Exchange(MakeUid(0x0802, 0x00030001), method::kGenKey, {});
    ASSERT_TRUE(h.End());
    EXPECT_EQ(d.CallLogLines(),
              (std::vector<std::string>{
                  "[SessionManager] SMUID.Properties()",
                  "[SessionManager] SMUID.StartSession(105, AdminSP, 1, {0=<secret>}, {3=SID})",
                  "[AdminSP/SID] ThisSP.Authenticate(SID, {0=<secret>})",
                  "[AdminSP/SID] Locking_Range1.GenKey() -> 11",
                  "[AdminSP/SID] EndOfSession",
              }));
    for (const std::string& line : d.CallLogLines())
        EXPECT_EQ(line.find("MSID-0042"), std::string::npos) << line;
    const Call& start = d.CallLog()[1];
    EXPECT_EQ(start.method, method::kStartSession);
    ASSERT_EQ(start.params.size(), 11u);
    EXPECT_EQ(start.params[5].bytes, pin);  // the record itself keeps what was sent
}

TEST(SedDrive, StateSurvivesSaveAndRestore) {
    SedDrive d = Drive("opal2");
    d.MutableModel().FindSp(uid::kAdminSp)->SetBytes(uid::kCPinSid, col::kPin, Text("owner"));
    d.MutableModel().FindSp(uid::kLockingSp)->lifeCycle = kManufactured;
    Host h(d);
    ASSERT_EQ(h.Start(uid::kAdminSp), 0);
    const nlohmann::json saved = d.SaveState();
    EXPECT_TRUE(saved["session_open"].get<bool>());
    EXPECT_EQ(saved.dump().find("MSID-0042"), std::string::npos) << "kept as hex only";

    SedDrive next = Drive("opal2");
    ASSERT_TRUE(next.RestoreState(nlohmann::json::parse(saved.dump())));
    EXPECT_EQ(next.Pin(uid::kAdminSp, uid::kCPinSid), Text("owner"));
    EXPECT_EQ(next.Pin(uid::kAdminSp, uid::kCPinMsid), Text("MSID-0042"));
    EXPECT_EQ(next.Model().FindSp(uid::kLockingSp)->lifeCycle, kManufactured);
    EXPECT_EQ(next.SaveState()["sps"], saved["sps"]);  // every row, even one without cells
    EXPECT_FALSE(next.Session().has_value());
    Host nh(next);
    const Bytes owner = Text("owner");
    EXPECT_EQ(nh.Start(uid::kAdminSp, &uid::kSid, &owner), 0);

    // What cannot be used changes nothing.
    const struct {
        const char* what;
        nlohmann::json state;
    } bad[] = {
        {"null", nullptr},
        {"other profile",
         [&] {
             auto s = saved;
             s["profile"] = "enterprise";
             return s;
         }()},
        {"no SPs",
         [&] {
             auto s = saved;
             s.erase("sps");
             return s;
         }()},
        {"bad cell",
         [&] {
             auto s = saved;
             s["sps"][0]["rows"]["000000000B000001"]["3"] = "XYZ";
             return s;
         }()},
        {"no Locking SP",
         [&] {
             auto s = saved;
             s["sps"].erase(1);
             return s;
         }()},
        {"bad MSID",
         [&] {
             auto s = saved;
             s["msid"] = 5;
             return s;
         }()},
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(c.what);
        SedDrive fresh = Drive("opal2");
        EXPECT_FALSE(fresh.RestoreState(c.state));
        EXPECT_EQ(fresh.Pin(uid::kAdminSp, uid::kCPinSid), Text("MSID-0042"));
    }
}

TEST(SedDrive, ConfigureNamesTheBadField) {
    const struct {
        nlohmann::json settings;
        const char* message;
    } cases[] = {
        {{{"msid", 5}}, "msid: expected text of 1 to 32 characters"},
        {{{"psid", ""}}, "psid: expected text of 1 to 32 characters"},
        {{{"colour", "red"}}, "colour: unknown field"},
        {{{"tper_properties", {{"MaxPackets", "one"}}}},
         "tper_properties.MaxPackets: expected a number or null"},
        {"text", "expected an object"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        SedDrive d(*FindProfile("opal2"));
        std::string error;
        EXPECT_FALSE(d.Configure(c.settings, error));
        EXPECT_EQ(error, c.message);
    }
}

}  // namespace
}  // namespace emu::tcg

namespace emu::tcg {
namespace {

Bytes OpalGet(uint32_t first, uint32_t last) {
    Bytes p{kStartList};
    PutNamedUint(p, 3, first);
    PutNamedUint(p, 4, last);
    p.push_back(kEndList);
    return p;
}

Bytes OpalSetPin(const std::string& pin) {
    Bytes p{kStartName, 1, kStartList, kStartName, 3};
    PutText(p, pin);
    p.insert(p.end(), {kEndName, kEndList, kEndName});
    return p;
}

TEST(SedDriveTables, OpalGetAndSetFollowTheAcl) {
    SedDrive d = Drive("opal2");
    Host h(d);
    ASSERT_EQ(h.Start(uid::kAdminSp), 0);  // Anybody
    Received r = h.Exchange(uid::kCPinMsid, method::kGet, OpalGet(3, 3));
    ASSERT_EQ(r.status(), 0);
    auto t = r.tokens();
    ASSERT_GT(t.size(), 5u);
    EXPECT_EQ(t[3].uint, 3u);
    EXPECT_EQ(t[4].Text(), "MSID-0042");
    EXPECT_EQ(h.Exchange(uid::kCPinSid, method::kGet, OpalGet(3, 3)).status(),
              status::kNotAuthorized);
    EXPECT_EQ(h.Exchange(uid::kCPinSid, method::kSet, OpalSetPin("x")).status(),
              status::kNotAuthorized);
    r = h.Exchange(uid::kLockingSp, method::kGet, OpalGet(6, 6));
    ASSERT_EQ(r.status(), 0);
    EXPECT_EQ(r.tokens()[4].uint, kManufacturedInactive);
    ASSERT_TRUE(h.End());

    const Bytes msid = Text("MSID-0042");
    ASSERT_EQ(h.Start(uid::kAdminSp, &uid::kSid, &msid), 0);
    EXPECT_EQ(h.Exchange(uid::kCPinSid, method::kSet, OpalSetPin("owner")).status(), 0);
    EXPECT_EQ(h.Exchange(uid::kCPinMsid, method::kSet, OpalSetPin("x")).status(),
              status::kNotAuthorized);
    EXPECT_EQ(h.Exchange(uid::kCPinSid, method::kSet, OpalSetPin(std::string(33, 'p'))).status(),
              status::kInvalidParameter);
    EXPECT_EQ(h.Exchange(uid::kCPinSid, method::kEGet, OpalGet(3, 3)).status(),
              status::kInvalidFunction);
    ASSERT_TRUE(h.End());
    EXPECT_EQ(d.Pin(uid::kAdminSp, uid::kCPinSid), Text("owner"));
    EXPECT_EQ(h.Start(uid::kAdminSp, &uid::kSid, &msid), status::kNotAuthorized);
}

TEST(SedDriveTables, EnterpriseNamedColumns) {
    SedDrive d = Drive("enterprise");
    Host h(d);
    const Bytes msid = Text("MSID-0042");
    const Uid bm0 = BandMaster(0);
    ASSERT_EQ(h.Start(uid::kEnterpriseLockingSp), 0);
    Bytes auth;
    PutUid(auth, bm0);
    auth.push_back(kStartName);
    PutText(auth, "Challenge");
    PutBytes(auth, msid);
    auth.push_back(kEndName);
    ASSERT_EQ(h.Exchange(uid::kThisSp, method::kEAuthenticate, auth).tokens()[1].uint, 1u);
    Bytes set{kStartList, kEndList, kStartList, kStartList, kStartName};
    PutText(set, "PIN");
    PutText(set, "band owner");
    set.insert(set.end(), {kEndName, kEndList, kEndList});
    EXPECT_EQ(h.Exchange(CPinOf(bm0), method::kESet, set).status(), 0);
    EXPECT_EQ(h.Exchange(CPinOf(BandMaster(1)), method::kESet, set).status(),
              status::kNotAuthorized);
    Bytes get{kStartList, kStartName};
    PutText(get, "startColumn");
    PutText(get, "Enabled");
    get.push_back(kEndName);
    get.push_back(kStartName);
    PutText(get, "endColumn");
    PutText(get, "Enabled");
    get.insert(get.end(), {kEndName, kEndList});
    const auto t = h.Exchange(bm0, method::kEGet, get).tokens();
    ASSERT_GT(t.size(), 6u);
    EXPECT_EQ(t[4].Text(), "Enabled");
    EXPECT_EQ(t[5].uint, 1u);
    ASSERT_TRUE(h.End());
    EXPECT_EQ(d.Pin(uid::kEnterpriseLockingSp, CPinOf(bm0)), Text("band owner"));
}

}  // namespace
}  // namespace emu::tcg
