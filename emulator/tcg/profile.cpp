#include "profile.h"

namespace emu::tcg {
namespace {

Profile Opal2Drive(const char* name) {
    Profile p;
    p.name = name;
    p.opal2 = true;
    p.geometry = true;
    p.singleUser = true;
    p.dataStore = true;
    p.blockSid = true;
    return p;
}

std::vector<Profile> MakeProfiles() {
    std::vector<Profile> v;
    {
        Profile p;
        p.name = "opal1";
        p.opal1 = true;
        p.geometry = true;
        p.lockingUsers = 9;
        v.push_back(p);
    }
    v.push_back(Opal2Drive("opal2"));
    {
        Profile p;
        p.name = "opalite";
        p.opalite = true;
        p.blockSid = true;
        p.lockingAdmins = 1;
        p.lockingUsers = 2;
        p.maxRanges = 0;
        v.push_back(p);
    }
    {
        Profile p;
        p.name = "pyrite1";
        p.pyrite1 = true;
        p.mediaEncrypt = false;
        p.lockingAdmins = 1;
        p.lockingUsers = 2;
        p.maxRanges = 0;
        v.push_back(p);
    }
    {
        Profile p;
        p.name = "pyrite2";
        p.pyrite2 = true;
        p.mediaEncrypt = false;
        p.blockSid = true;
        p.dataRemoval = true;
        p.dataRemovalMechanisms = 0x01;  // overwrite
        p.lockingAdmins = 1;
        p.lockingUsers = 2;
        p.maxRanges = 0;
        v.push_back(p);
    }
    {
        Profile p;
        p.name = "ruby1";
        p.ruby1 = true;
        p.geometry = true;
        p.dataStore = true;
        p.blockSid = true;
        p.dataRemoval = true;
        p.mbrShadow = false;
        v.push_back(p);
    }
    {
        Profile p;
        p.name = "enterprise";
        p.enterprise = true;
        p.baseComId = 0x07FE;
        p.lockingAdmins = 0;
        p.lockingUsers = 0;
        p.maxRanges = 15;
        p.mbrShadow = false;
        v.push_back(p);
    }
    {
        Profile p = Opal2Drive("opal2+ruby1");
        p.ruby1 = true;
        p.dataRemoval = true;
        v.push_back(p);
    }
    {
        Profile p = Opal2Drive("opal2+enterprise");
        p.enterprise = true;
        v.push_back(p);
    }
    return v;
}

}  // namespace

const std::vector<Profile>& Profiles() {
    static const std::vector<Profile> profiles = MakeProfiles();
    return profiles;
}

const Profile* FindProfile(const std::string& name) {
    for (const Profile& p : Profiles())
        if (p.name == name) return &p;
    return nullptr;
}

}  // namespace emu::tcg
