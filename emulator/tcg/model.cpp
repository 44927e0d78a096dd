#include "model.h"

#include "enterprise.h"

namespace emu::tcg {

Uid LockingSpOf(const Profile& p) {
    return p.dialect() == Dialect::Enterprise ? uid::kEnterpriseLockingSp : uid::kLockingSp;
}

Uid AdminAuthority(uint32_t n) {
    return MakeUid(kTableAuthority, uid::kAdminBase + n);
}
Uid UserAuthority(uint32_t n) {
    return MakeUid(kTableAuthority, uid::kUserBase + n);
}
Uid BandMaster(uint32_t n) {
    return MakeUid(kTableAuthority, uid::kBandMasterBase + n);
}

Uid OpalRange(uint32_t n) {
    return n == 0 ? uid::kLockingGlobal : MakeUid(kTableLocking, 0x00030000 + n);
}
Uid OpalRangeKey(uint32_t n) {
    return MakeUid(kTableKAes256, n == 0 ? 1 : 0x00030000 + n);
}

std::optional<uint32_t> OpalRangeNumber(const Uid& row) {
    const uint32_t table = UidHigh(row), low = UidLow(row);
    if (table != kTableLocking && table != kTableKAes128 && table != kTableKAes256)
        return std::nullopt;
    if (low == 1) return 0;
    if ((low & 0xFFFFFF00) == 0x00030000 && (low & 0xFF)) return low & 0xFF;
    return std::nullopt;
}

Uid CPinOf(const Uid& authority) {
    if (authority == uid::kSid) return uid::kCPinSid;
    Uid c = authority;
    c[3] = 0x0B;
    return c;
}

namespace {

void AddAuthority(Sp& sp, const Uid& a, const std::string& name, bool enabled, bool isClass,
                  bool withPin, const Bytes& pin) {
    sp.SetBytes(a, 1, Bytes(name.begin(), name.end()));
    sp.SetUint(a, col::kIsClass, isClass);
    sp.SetUint(a, col::kEnabled, enabled);
    if (!withPin) return;
    const Uid c = CPinOf(a);
    sp.SetUid(a, col::kCredential, c);
    const std::string cname = "C_PIN_" + name;
    sp.SetBytes(c, 1, Bytes(cname.begin(), cname.end()));
    sp.SetBytes(c, col::kPin, pin);
    sp.SetUint(c, col::kTryLimit, 0);
    sp.SetUint(c, col::kTries, 0);
}

Sp AdminSp(const Profile& p, const Bytes& msid, const Bytes& psid) {
    Sp sp;
    sp.uid = uid::kAdminSp;
    sp.lifeCycle = kManufactured;
    AddAuthority(sp, uid::kAnybody, "Anybody", true, false, false, {});
    AddAuthority(sp, uid::kAdmins, "Admins", true, true, false, {});
    AddAuthority(sp, uid::kMakers, "Makers", true, true, false, {});
    AddAuthority(sp, uid::kSid, "SID", true, false, true, msid);
    sp.SetBytes(uid::kCPinMsid, 1, Bytes{'C', '_', 'P', 'I', 'N', '_', 'M', 'S', 'I', 'D'});
    sp.SetBytes(uid::kCPinMsid, col::kPin, msid);
    if (p.dialect() == Dialect::Opal)
        AddAuthority(sp, uid::kAdminSpAdmin1, "Admin1", false, false, true, {});
    AddAuthority(sp, uid::kPsid, "PSID", true, false, true, psid);
    for (const Uid& s : {uid::kAdminSp, LockingSpOf(p)}) sp.rows[s];
    return sp;
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// A range, its key (when the drive encrypts) and nothing locked.
void AddRange(Sp& sp, const Profile& p, uint32_t n) {
    const Uid range = OpalRange(n);
    const std::string name = n == 0 ? "GlobalRange" : "Range" + std::to_string(n);
    sp.SetBytes(range, 1, Text("Locking_" + name));
    sp.SetUint(range, col::kRangeStart, 0);
    sp.SetUint(range, col::kRangeLength, 0);
    for (uint32_t c = col::kReadLockEnabled; c <= col::kWriteLocked; ++c) sp.SetUint(range, c, 0);
    sp.rows[range][col::kLockOnReset] = Bytes{kStartList, 0x00, kEndList};  // power cycle
    if (!p.mediaEncrypt) return;  // no keys: nothing to erase cryptographically
    const Uid key = OpalRangeKey(n);
    sp.SetUid(range, col::kActiveKey, key);
    sp.SetBytes(key, 1, Text("K_AES_256_" + name));
    sp.SetUint(key, col::kKey, 0);
    sp.SetUint(key, 4, 23);  // XTS
}

Sp OpalLockingSp(const Profile& p) {
    Sp sp;
    sp.uid = uid::kLockingSp;
    sp.lifeCycle = kManufacturedInactive;
    AddAuthority(sp, uid::kAnybody, "Anybody", true, false, false, {});
    AddAuthority(sp, uid::kAdmins, "Admins", true, true, false, {});
    AddAuthority(sp, uid::kUsers, "Users", true, true, false, {});
    for (uint32_t n = 1; n <= p.lockingAdmins; ++n)
        AddAuthority(sp, AdminAuthority(n), "Admin" + std::to_string(n), n == 1, false, true, {});
    for (uint32_t n = 1; n <= p.lockingUsers; ++n)
        AddAuthority(sp, UserAuthority(n), "User" + std::to_string(n), false, false, true, {});
    const Uid& info = uid::kLockingInfo;
    sp.SetBytes(info, 1, Text("LockingInfo"));
    sp.SetUint(info, 2, 1);
    sp.SetUint(info, col::kEncryptSupport, p.mediaEncrypt ? 1 : 0);
    sp.SetUint(info, col::kMaxRanges, p.maxRanges);
    sp.SetUint(info, 5, 0);
    sp.SetUint(info, 6, 0);
    sp.SetUint(info, 7, 1);
    sp.SetUint(info, 8, p.logicalBlockSize);
    sp.SetUint(info, 9, p.alignmentGranularity);
    sp.SetUint(info, 10, 0);
    if (p.singleUser) {
        sp.rows[info][col::kSingleUserModeRanges] = Bytes{kStartList, kEndList};
        sp.SetUint(info, col::kRangeStartLengthPolicy, 0);
    }
    for (uint32_t n = 0; n <= p.maxRanges; ++n) AddRange(sp, p, n);
    if (!p.mbrShadow) return sp;
    sp.SetUint(uid::kMbrControl, col::kMbrEnable, 0);
    sp.SetUint(uid::kMbrControl, col::kMbrDone, 0);
    sp.rows[uid::kMbrControl][3] = Bytes{kStartList, 0x00, kEndList};
    sp.SetBytes(uid::kMbrTable, kMbrContent, {});
    return sp;
}

Sp EnterpriseLockingSp(const Profile& p, const Bytes& msid) {
    Sp sp;
    sp.uid = uid::kEnterpriseLockingSp;
    sp.lifeCycle = kManufactured;
    AddAuthority(sp, uid::kAnybody, "Anybody", true, false, false, {});
    AddAuthority(sp, uid::kEraseMaster, "EraseMaster", true, false, true, msid);
    for (uint32_t n = 0; n <= p.maxRanges; ++n)
        AddAuthority(sp, BandMaster(n), "BandMaster" + std::to_string(n), true, false, true, msid);
    ent::AddFactoryBands(sp, p.maxRanges);
    return sp;
}

}  // namespace

Sp OpalLockingSpAtFactory(const Profile& p) {
    return OpalLockingSp(p);
}

DriveModel FactoryModel(const Profile& p, const Bytes& msid, const Bytes& psid) {
    DriveModel m;
    m.msid = msid;
    m.psid = psid;
    m.sps[uid::kAdminSp] = AdminSp(p, msid, psid);
    if (p.dialect() == Dialect::Enterprise)
        m.sps[uid::kEnterpriseLockingSp] = EnterpriseLockingSp(p, msid);
    else
        m.sps[uid::kLockingSp] = OpalLockingSp(p);
    return m;
}

}  // namespace emu::tcg
