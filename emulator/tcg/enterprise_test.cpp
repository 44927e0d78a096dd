// The Enterprise Locking SP of the drive model: who may touch which band, what a band accepts,
// Erase, GenKey, the reverts, and the state they leave.

#include "enterprise.h"

#include <gtest/gtest.h>

#include "sed_drive.h"
#include "status.h"
#include "test_host.h"

namespace emu::tcg {
namespace {

using test::Host;

const Bytes kMsid = {'M', 'S', 'I', 'D', '-', '1'};

SedDrive Drive(nlohmann::json settings = nlohmann::json::object()) {
    SedDrive d(*FindProfile("enterprise"));
    settings["msid"] = "MSID-1";
    settings["psid"] = "PSID-SECRET-9";
    settings["max_ranges"] = 3;
    std::string error;
    EXPECT_TRUE(d.Configure(settings, error)) << error;
    return d;
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// A session on `sp` with the authorities given, each proved by EAuthenticate.
void Open(Host& h, const Uid& sp, const std::vector<std::pair<Uid, Bytes>>& authorities = {}) {
    ASSERT_EQ(h.Start(sp), 0);
    for (const auto& [authority, pin] : authorities) {
        Bytes p;
        PutUid(p, authority);
        p.push_back(kStartName);
        PutText(p, "Challenge");
        PutBytes(p, pin);
        p.push_back(kEndName);
        const auto t = h.Exchange(uid::kThisSp, method::kEAuthenticate, p).tokens();
        ASSERT_GT(t.size(), 1u);
        ASSERT_EQ(t[1].uint, 1u) << UidName(authority);
    }
}

// ESet of named values, each already encoded.
int ESet(Host& h, const Uid& row, const std::vector<std::pair<const char*, Bytes>>& values) {
    Bytes p{kStartList, kEndList, kStartList, kStartList};
    for (const auto& [name, value] : values) {
        p.push_back(kStartName);
        PutText(p, name);
        p.insert(p.end(), value.begin(), value.end());
        p.push_back(kEndName);
    }
    p.insert(p.end(), {kEndList, kEndList});
    return h.Exchange(row, method::kESet, p).status();
}

Bytes U(uint64_t v) {
    Bytes b;
    PutUint(b, v);
    return b;
}

int EGet(Host& h, const Uid& row, const char* first, const char* last,
         std::vector<Token>* tokens = nullptr) {
    Bytes p{kStartList, kStartName};
    PutText(p, "startColumn");
    PutText(p, first);
    p.push_back(kEndName);
    p.push_back(kStartName);
    PutText(p, "endColumn");
    PutText(p, last);
    p.insert(p.end(), {kEndName, kEndList});
    const test::Received r = h.Exchange(row, method::kEGet, p);
    if (tokens) *tokens = r.tokens();
    return r.status();
}

const Sp& Locking(const SedDrive& d) {
    return *d.Model().FindSp(uid::kEnterpriseLockingSp);
}

TEST(EnterpriseBands, EachBandMasterReachesOnlyItsOwnBand) {
    SedDrive d = Drive();
    Host h(d);
    // Anybody reads MaxRanges from the row and the table's UID, and no band.
    Open(h, uid::kEnterpriseLockingSp);
    std::vector<Token> t;
    for (const Uid& li : {uid::kLockingInfo, ent::LockingInfoTable()}) {
        ASSERT_EQ(EGet(h, li, "MaxRanges", "MaxRanges", &t), 0);
        ASSERT_GT(t.size(), 5u);
        EXPECT_EQ(t[4].Text(), "MaxRanges");
        EXPECT_EQ(t[5].uint, 3u);
    }
    EXPECT_EQ(EGet(h, ent::Band(1), "Name", "LockOnReset"), status::kNotAuthorized);
    EXPECT_EQ(ESet(h, ent::Band(1), {{"ReadLocked", U(1)}}), status::kNotAuthorized);
    ASSERT_TRUE(h.End());

    Open(h, uid::kEnterpriseLockingSp, {{BandMaster(1), kMsid}});
    ASSERT_EQ(EGet(h, ent::Band(1), "Name", "LockOnReset", &t), 0);
    // [ [ {Name}, {CommonName}, {RangeStart} ... {LockOnReset=[0]} ] ]: the host reads the
    // values at fixed places.
    ASSERT_GT(t.size(), 39u);
    EXPECT_EQ(t[5].Text(), "Band1");
    EXPECT_EQ(t[9].Text(), "Locking");
    EXPECT_TRUE(t[37].IsControl(kStartList));
    EXPECT_EQ(t[38].uint, 0u);
    EXPECT_EQ(EGet(h, ent::Band(2), "Name", "Name"), status::kNotAuthorized);
    EXPECT_EQ(ESet(h, ent::Band(2), {{"ReadLocked", U(1)}}), status::kNotAuthorized);
    EXPECT_EQ(ESet(h, ent::Band(1), {{"ReadLocked", U(1)}, {"Name", Text("x")}}),
              status::kNotAuthorized);
    EXPECT_EQ(EGet(h, ent::BandKey(1), "Key", "Key"), status::kNotAuthorized);
    EXPECT_EQ(h.Exchange(ent::BandKey(2), method::kGenKey, {}).status(), status::kNotAuthorized);
    EXPECT_EQ(h.Exchange(ent::Band(1), method::kErase, {}).status(), status::kNotAuthorized);
    EXPECT_EQ(ESet(h, CPinOf(uid::kEraseMaster),
                   {{"PIN",
                     [] {
                         Bytes b;
                         PutText(b, "mine");
                         return b;
                     }()}}),
              status::kNotAuthorized);
    EXPECT_EQ(h.Exchange(ent::BandKey(1), method::kGenKey, {}).status(), 0);
    EXPECT_EQ(ESet(h, ent::Band(1), {{"ReadLockEnabled", U(1)}, {"ReadLocked", U(1)}}), 0);
    ASSERT_TRUE(h.End());

    const Sp& sp = Locking(d);
    EXPECT_EQ(ent::KeyGeneration(sp, 1), 2u);
    EXPECT_EQ(ent::KeyGeneration(sp, 2), 1u);
    EXPECT_EQ(sp.Uint(ent::Band(1), ent::kReadLocked), 1u);
    EXPECT_EQ(sp.Uint(ent::Band(2), ent::kReadLocked), 0u);
    EXPECT_EQ(sp.ByteString(ent::Band(1), 1), Text("Band1"));
}

TEST(EnterpriseBands, ABandTakesOnlyValuesItCanHold) {
    SedDrive d = Drive();
    Host h(d);
    Open(h, uid::kEnterpriseLockingSp, {{BandMaster(1), kMsid}, {BandMaster(2), kMsid}});
    ASSERT_EQ(ESet(h, ent::Band(1),
                   {{"RangeStart", U(1000)},
                    {"RangeLength", U(2000)},
                    {"LockOnReset", {kStartList, kEndList}}}),
              0);
    struct Case {
        const char* what;
        Uid band;
        std::vector<std::pair<const char*, Bytes>> values;
    };
    const Case refused[] = {
        {"overlaps band 1", ent::Band(2), {{"RangeStart", U(2999)}, {"RangeLength", U(10)}}},
        {"covers band 1", ent::Band(2), {{"RangeStart", U(0)}, {"RangeLength", U(5000)}}},
        {"wraps around", ent::Band(2), {{"RangeStart", U(~0ull)}, {"RangeLength", U(2)}}},
        {"a boolean of 2", ent::Band(2), {{"ReadLocked", U(2)}}},
        {"a reset type of 4", ent::Band(2), {{"LockOnReset", {kStartList, 0x04, kEndList}}}},
        {"a list for a boolean", ent::Band(2), {{"ReadLocked", {kStartList, 0x01, kEndList}}}},
        {"a number for LockOnReset", ent::Band(2), {{"LockOnReset", U(0)}}},
        {"an unknown column", ent::Band(2), {{"Enabled", U(1)}}},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ESet(h, c.band, c.values), status::kInvalidParameter);
    }
    // Next to band 1 is fine; an empty band overlaps nothing.
    EXPECT_EQ(ESet(h, ent::Band(2), {{"RangeStart", U(3000)}, {"RangeLength", U(10)}}), 0);
    EXPECT_EQ(ESet(h, ent::Band(2), {{"RangeStart", U(1500)}, {"RangeLength", U(0)}}), 0);
    ASSERT_TRUE(h.End());
    // The global band has no range of its own.
    Open(h, uid::kEnterpriseLockingSp, {{BandMaster(0), kMsid}});
    EXPECT_EQ(ESet(h, ent::Band(0), {{"RangeStart", U(0)}}), status::kInvalidParameter);
    EXPECT_EQ(ESet(h, ent::Band(0), {{"WriteLockEnabled", U(1)}}), 0);
    ASSERT_TRUE(h.End());

    const Sp& sp = Locking(d);
    EXPECT_EQ(sp.Uint(ent::Band(1), ent::kRangeStart), 1000u);
    EXPECT_EQ(sp.Uint(ent::Band(1), ent::kRangeLength), 2000u);
    EXPECT_EQ(sp.rows.at(ent::Band(1)).at(ent::kLockOnReset), (Bytes{kStartList, kEndList}));
    EXPECT_EQ(sp.Uint(ent::Band(2), ent::kRangeStart), 1500u);
    EXPECT_EQ(sp.Uint(ent::Band(2), ent::kReadLocked), 0u);
    EXPECT_EQ(sp.Uint(ent::Band(0), ent::kWriteLockEnabled), 1u);
}

TEST(EnterpriseBands, EraseNewKeyUnlockedBandMasterBackToTheMsid) {
    SedDrive d = Drive();
    Host h(d);
    const Bytes owner = Text("owner");
    Bytes pin;
    PutBytes(pin, owner);
    Open(h, uid::kEnterpriseLockingSp, {{BandMaster(2), kMsid}});
    ASSERT_EQ(ESet(h, CPinOf(BandMaster(2)), {{"PIN", pin}}), 0);
    ASSERT_EQ(ESet(h, ent::Band(2),
                   {{"RangeStart", U(64)},
                    {"RangeLength", U(64)},
                    {"ReadLockEnabled", U(1)},
                    {"WriteLockEnabled", U(1)},
                    {"ReadLocked", U(1)},
                    {"WriteLocked", U(1)},
                    {"LockOnReset", {kStartList, kEndList}}}),
              0);
    ASSERT_TRUE(h.End());

    Open(h, uid::kEnterpriseLockingSp, {{uid::kEraseMaster, kMsid}});
    EXPECT_EQ(h.Exchange(ent::Band(4), method::kErase, {}).status(), status::kInvalidParameter);
    EXPECT_EQ(h.Exchange(ent::Band(2), method::kErase, U(1)).status(), status::kInvalidParameter);
    EXPECT_EQ(h.Exchange(ent::Band(2), method::kErase, {}).status(), 0);
    EXPECT_EQ(ESet(h, ent::Band(2), {{"ReadLocked", U(1)}}), status::kNotAuthorized);
    ASSERT_TRUE(h.End());

    const Sp& sp = Locking(d);
    EXPECT_EQ(ent::KeyGeneration(sp, 2), 2u);
    EXPECT_EQ(ent::KeyGeneration(sp, 1), 1u);
    for (uint32_t c :
         {ent::kReadLockEnabled, ent::kWriteLockEnabled, ent::kReadLocked, ent::kWriteLocked})
        EXPECT_EQ(sp.Uint(ent::Band(2), c), 0u) << c;
    EXPECT_EQ(sp.rows.at(ent::Band(2)).at(ent::kLockOnReset), (Bytes{kStartList, 0x00, kEndList}));
    EXPECT_EQ(sp.Uint(ent::Band(2), ent::kRangeStart), 64u);
    EXPECT_EQ(d.Pin(uid::kEnterpriseLockingSp, CPinOf(BandMaster(2))), kMsid);
}

TEST(EnterpriseBands, RevertsTakeTheDriveBackAndMayKeepTheGlobalKey) {
    struct Case {
        const char* what;
        Uid authority;
        Bytes pin;
        Uid invoker, method;
        Bytes params;
        int status;
        uint64_t globalKey;  // generation after the call
    };
    Bytes keep{kStartName};
    PutText(keep, "KeepGlobalRangeKey");
    keep.push_back(1);
    keep.push_back(kEndName);
    Bytes badKeep{kStartName};
    PutText(badKeep, "KeepGlobalRangeKey");
    badKeep.push_back(2);
    badKeep.push_back(kEndName);
    const Bytes psid = Text("PSID-SECRET-9");
    const Case cases[] = {
        {"SID, RevertSP keeping the key", uid::kSid, kMsid, uid::kThisSp, method::kRevertSp, keep,
         0, 1},
        {"SID, RevertSP", uid::kSid, kMsid, uid::kThisSp, method::kRevertSp, {}, 0, 2},
        {"PSID, RevertSP", uid::kPsid, psid, uid::kThisSp, method::kRevertSp, {}, 0, 2},
        {"PSID, Revert", uid::kPsid, psid, uid::kAdminSp, method::kRevert, {}, 0, 2},
        {"a bad keep value", uid::kSid, kMsid, uid::kThisSp, method::kRevertSp, badKeep,
         status::kInvalidParameter, 1},
        {"nobody signed in",
         uid::kAnybody,
         {},
         uid::kThisSp,
         method::kRevertSp,
         {},
         status::kNotAuthorized,
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SedDrive d = Drive();
        Host h(d);
        // Owned and configured first.
        Bytes pin;
        PutBytes(pin, Text("owner"));
        Open(h, uid::kEnterpriseLockingSp, {{BandMaster(1), kMsid}});
        ASSERT_EQ(ESet(h, CPinOf(BandMaster(1)), {{"PIN", pin}}), 0);
        ASSERT_EQ(ESet(h, ent::Band(1), {{"ReadLockEnabled", U(1)}}), 0);
        ASSERT_TRUE(h.End());
        Open(h, uid::kAdminSp, {{uid::kSid, kMsid}});
        ASSERT_EQ(ESet(h, uid::kCPinSid, {{"PIN", pin}}), 0);
        ASSERT_TRUE(h.End());
        std::vector<std::pair<Uid, Bytes>> who;
        if (c.authority != uid::kAnybody)
            who.emplace_back(c.authority, c.authority == uid::kSid ? Text("owner") : c.pin);
        Open(h, uid::kAdminSp, who);
        EXPECT_EQ(h.Exchange(c.invoker, c.method, c.params).status(), c.status);
        const Sp& sp = Locking(d);
        EXPECT_EQ(ent::KeyGeneration(sp, 0), c.globalKey);
        if (c.status == 0) {
            // The drive ended the session.
            EXPECT_FALSE(d.Session().has_value());
            EXPECT_EQ(ent::KeyGeneration(sp, 1), 2u);
            EXPECT_EQ(d.Pin(uid::kAdminSp, uid::kCPinSid), kMsid);
            EXPECT_EQ(d.Pin(uid::kEnterpriseLockingSp, CPinOf(BandMaster(1))), kMsid);
            EXPECT_EQ(sp.Uint(ent::Band(1), ent::kReadLockEnabled), 0u);
        } else {
            ASSERT_TRUE(h.End());
            EXPECT_EQ(ent::KeyGeneration(sp, 1), 1u);
            EXPECT_EQ(d.Pin(uid::kAdminSp, uid::kCPinSid), Text("owner"));
            EXPECT_EQ(sp.Uint(ent::Band(1), ent::kReadLockEnabled), 1u);
        }
        EXPECT_EQ(d.QueuedReplies(), 0u);
    }
}

TEST(EnterpriseBands, SettingsAndSavedStateCarryTheBands) {
    SedDrive d = Drive({{"locking_info_table", false}});
    EXPECT_TRUE(Locking(d).Has(ent::Band(3)));
    EXPECT_FALSE(Locking(d).Has(ent::Band(4)));
    Host h(d);
    Open(h, uid::kEnterpriseLockingSp);
    EXPECT_EQ(EGet(h, ent::LockingInfoTable(), "MaxRanges", "MaxRanges"),
              status::kInvalidParameter);
    EXPECT_EQ(EGet(h, uid::kLockingInfo, "MaxRanges", "MaxRanges"), 0);
    ASSERT_TRUE(h.End());
    Open(h, uid::kEnterpriseLockingSp, {{BandMaster(3), kMsid}});
    ASSERT_EQ(h.Exchange(ent::BandKey(3), method::kGenKey, {}).status(), 0);
    ASSERT_TRUE(h.End());

    // Another drive of the profile takes the state, band count included.
    SedDrive other(*FindProfile("enterprise"));
    ASSERT_TRUE(other.RestoreState(d.SaveState()));
    EXPECT_EQ(other.profile().maxRanges, 3u);
    EXPECT_EQ(ent::KeyGeneration(Locking(other), 3), 2u);
    EXPECT_FALSE(Locking(other).Has(ent::Band(4)));

    struct Bad {
        nlohmann::json settings;
        const char* error;
    };
    const Bad bad[] = {
        {{{"max_ranges", 1024}}, "max_ranges: expected a number from 0 to 1023"},
        {{{"max_ranges", -1}}, "max_ranges: expected a number from 0 to 1023"},
        {{{"locking_info_table", 0}}, "locking_info_table: expected true or false"},
    };
    for (const Bad& b : bad) {
        std::string error;
        EXPECT_FALSE(d.Configure(b.settings, error));
        EXPECT_EQ(error, b.error);
    }
    EXPECT_EQ(d.profile().maxRanges, 3u);
}

}  // namespace
}  // namespace emu::tcg
