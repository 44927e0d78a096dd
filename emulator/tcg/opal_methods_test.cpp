// The Opal family's methods in the drive model, called directly: what each authority may do
// and the limits a host tool does not reach on its own.

#include <gtest/gtest.h>

#include <optional>

#include "discovery.h"
#include "drive_checks.h"
#include "status.h"
#include "test_host.h"

namespace emu::tcg {
namespace {

using test::Host;

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// An Opal-family drive with an active Locking SP whose Admin1 PIN is "adm".
SedDrive Active(const char* profile) {
    SedDrive d(*FindProfile(profile));
    std::string error;
    EXPECT_TRUE(d.Configure({{"msid", "MSID-0042"}, {"psid", "PSID-SECRET-77"}}, error)) << error;
    Sp& locking = *d.MutableModel().FindSp(uid::kLockingSp);
    locking.lifeCycle = kManufactured;
    locking.SetBytes(CPinOf(AdminAuthority(1)), col::kPin, Text("adm"));
    return d;
}

Bytes Named(uint64_t name, const Bytes& value) {
    Bytes b{kStartName};
    PutUint(b, name);
    b.insert(b.end(), value.begin(), value.end());
    b.push_back(kEndName);
    return b;
}

Bytes MbrWrite(uint64_t offset, const Bytes& data) {
    Bytes where, values;
    PutUint(where, offset);
    PutBytes(values, data);
    Bytes p = Named(0, where);
    const Bytes v = Named(1, values);
    p.insert(p.end(), v.begin(), v.end());
    return p;
}

TEST(OpalMethods, ThePsidMayOnlyRevert) {
    SedDrive d = Active("opal2");
    Host h(d);
    const Bytes psid = Text("PSID-SECRET-77");
    ASSERT_EQ(h.Start(uid::kAdminSp, &uid::kPsid, &psid), 0);
    Bytes cell{kStartList};
    const Bytes value = [] {
        Bytes v;
        PutBytes(v, Text("mine"));
        return v;
    }();
    const Bytes one = Named(3, value);
    cell.insert(cell.end(), one.begin(), one.end());
    cell.push_back(kEndList);
    EXPECT_EQ(h.Exchange(uid::kCPinSid, method::kSet, Named(1, cell)).status(),
              status::kNotAuthorized);
    EXPECT_EQ(h.Exchange(uid::kLockingSp, method::kActivate, {}).status(), status::kNotAuthorized);
    EXPECT_EQ(h.Exchange(uid::kAdminSp, method::kRevert, {}).status(), status::kSuccess);
    // The revert ended the session and took everything back; every key was replaced.
    EXPECT_TRUE(test::NoSessionLeft(d));
    EXPECT_EQ(d.Model().FindSp(uid::kLockingSp)->lifeCycle, kManufacturedInactive);
    EXPECT_EQ(d.Pin(uid::kLockingSp, CPinOf(AdminAuthority(1))), Bytes{});
    for (uint32_t n = 0; n <= 8; ++n) EXPECT_EQ(d.KeyGeneration(n), 1u) << n;
}

TEST(OpalMethods, MbrWritesStayWithinTheTable) {
    SedDrive d = Active("opal2");
    Host h(d);
    const Bytes adm = Text("adm");
    const Uid admin1 = AdminAuthority(1);
    ASSERT_EQ(h.Start(uid::kLockingSp, &admin1, &adm), 0);
    EXPECT_EQ(h.Exchange(uid::kMbrTable, method::kSet, MbrWrite(kMbrTableSize - 2, Text("abcd")))
                  .status(),
              status::kInvalidParameter);
    EXPECT_EQ(h.Exchange(uid::kMbrTable, method::kSet, MbrWrite(4, Text("abc"))).status(),
              status::kSuccess);
    EXPECT_EQ(h.Exchange(uid::kMbrTable, method::kSet, MbrWrite(2, Text("xy"))).status(),
              status::kSuccess);
    EXPECT_EQ(d.Model().FindSp(uid::kLockingSp)->ByteString(uid::kMbrTable, kMbrContent),
              (Bytes{0, 0, 'x', 'y', 'a', 'b', 'c'}));
    ASSERT_TRUE(h.End());
}

// A Set of range n's RangeStart and / or RangeLength.
Bytes PlaceRange(std::optional<uint64_t> start, std::optional<uint64_t> length) {
    Bytes values{kStartList};
    for (const auto& [column, v] :
         {std::pair{col::kRangeStart, start}, {col::kRangeLength, length}}) {
        if (!v) continue;
        Bytes n;
        PutUint(n, *v);
        const Bytes pair = Named(column, n);
        values.insert(values.end(), pair.begin(), pair.end());
    }
    values.push_back(kEndList);
    return Named(1, values);
}

TEST(OpalMethods, RangesDoNotOverlap) {
    SedDrive d = Active("opal2");
    Host h(d);
    const Bytes adm = Text("adm");
    const Uid admin1 = AdminAuthority(1);
    ASSERT_EQ(h.Start(uid::kLockingSp, &admin1, &adm), 0);
    // Range 1 holds blocks 0-2047; range 4 is empty, placed inside them: it overlaps nothing.
    ASSERT_EQ(h.Exchange(OpalRange(1), method::kSet, PlaceRange(0, 2048)).status(), 0);
    ASSERT_EQ(h.Exchange(OpalRange(4), method::kSet, PlaceRange(1000, 0)).status(), 0);
    struct Case {
        const char* what;
        uint32_t range;
        std::optional<uint64_t> start, length;
    };
    const Case refused[] = {
        {"over its second half", 2, 1024, 2048},
        {"over its last block", 2, 2047, 1},
        {"around it", 2, 0, 4096},
        {"a length from the start the range keeps", 4, std::nullopt, 8},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.what);
        const nlohmann::json before = d.SaveState();
        EXPECT_EQ(
            h.Exchange(OpalRange(c.range), method::kSet, PlaceRange(c.start, c.length)).status(),
            status::kInvalidParameter);
        EXPECT_EQ(d.SaveState(), before);
    }
    // A range may start where another ends, be empty anywhere, and move over its own blocks.
    EXPECT_EQ(h.Exchange(OpalRange(2), method::kSet, PlaceRange(2048, 952)).status(), 0);
    EXPECT_EQ(h.Exchange(OpalRange(3), method::kSet, PlaceRange(100, 0)).status(), 0);
    EXPECT_EQ(h.Exchange(OpalRange(1), method::kSet, PlaceRange(1024, 1024)).status(), 0);
    const Sp& locking = *d.Model().FindSp(uid::kLockingSp);
    EXPECT_EQ(locking.Uint(OpalRange(1), col::kRangeStart), 1024u);
    EXPECT_EQ(locking.Uint(OpalRange(1), col::kRangeLength), 1024u);
    EXPECT_EQ(locking.Uint(OpalRange(2), col::kRangeStart), 2048u);
    EXPECT_EQ(locking.Uint(OpalRange(3), col::kRangeStart), 100u);
    EXPECT_EQ(locking.Uint(OpalRange(4), col::kRangeLength), 0u);
    ASSERT_TRUE(h.End());
}

TEST(OpalMethods, KeepingTheGlobalKeyFailsWhileTheGlobalRangeIsLocked) {
    SedDrive d = Active("opal2");
    d.MutableModel().FindSp(uid::kLockingSp)->SetUint(uid::kLockingGlobal, col::kWriteLocked, 1);
    Host h(d);
    const Bytes adm = Text("adm");
    const Uid admin1 = AdminAuthority(1);
    Bytes keep;
    PutUint(keep, 1);
    ASSERT_EQ(h.Start(uid::kLockingSp, &admin1, &adm), 0);
    EXPECT_EQ(h.Exchange(uid::kThisSp, method::kRevertSp, Named(0x060000, keep)).status(),
              status::kFail);
    EXPECT_EQ(d.Model().FindSp(uid::kLockingSp)->lifeCycle, kManufactured);
    EXPECT_EQ(h.Exchange(uid::kThisSp, method::kRevertSp, {}).status(), status::kSuccess);
    EXPECT_TRUE(test::NoSessionLeft(d));
    EXPECT_EQ(d.Model().FindSp(uid::kLockingSp)->lifeCycle, kManufacturedInactive);
    EXPECT_EQ(d.KeyGeneration(0), 1u);
}

TEST(OpalMethods, ActivatingEveryRangeInSingleUserModeShowsInDiscovery) {
    SedDrive d(*FindProfile("opal2"));
    Host h(d);
    const Bytes msid = *d.Pin(uid::kAdminSp, uid::kCPinMsid);
    ASSERT_EQ(h.Start(uid::kAdminSp, &uid::kSid, &msid), 0);
    Bytes table;
    PutUid(table, MakeUid(kTableLocking, 0));
    EXPECT_EQ(h.Exchange(uid::kLockingSp, method::kActivate, Named(0x060000, table)).status(),
              status::kSuccess);
    ASSERT_TRUE(h.End());
    EXPECT_EQ(d.SingleUserRanges(), (std::vector<uint32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    const Sp& locking = *d.Model().FindSp(uid::kLockingSp);
    EXPECT_EQ(locking.Uint(UserAuthority(9), col::kEnabled), 1u);
    EXPECT_EQ(d.Pin(uid::kLockingSp, CPinOf(AdminAuthority(1))), msid);
    // The Single User Mode descriptor: Any and All set.
    test::Received r;
    r.data.assign(512, 0);
    ASSERT_TRUE(d.TrustedReceive(1, 1, r.data.data(), r.data.size()));
    bool found = false;
    for (size_t at = 48; at + 4 < r.data.size() && r.data[at + 3]; at += 4 + r.data[at + 3]) {
        if (r.data[at] == 0x02 && r.data[at + 1] == 0x01) {
            found = true;
            EXPECT_EQ(r.data[at + 8] & 0x03, 0x03);
        }
    }
    EXPECT_TRUE(found);
}

TEST(OpalMethods, PyriteHasNoKeysToGenerate) {
    SedDrive d = Active("pyrite2");
    EXPECT_EQ(d.KeyGeneration(0), std::nullopt);
    Host h(d);
    const Bytes adm = Text("adm");
    const Uid admin1 = AdminAuthority(1);
    ASSERT_EQ(h.Start(uid::kLockingSp, &admin1, &adm), 0);
    EXPECT_EQ(h.Exchange(OpalRangeKey(0), method::kGenKey, {}).status(), status::kInvalidParameter);
    ASSERT_TRUE(h.End());
}

}  // namespace
}  // namespace emu::tcg
