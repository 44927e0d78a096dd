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
