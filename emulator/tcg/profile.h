#pragma once

// Drive profiles: which SSCs and features a drive model offers in Level 0 Discovery and
// the fixed figures it reports.

#include <cstdint>
#include <string>
#include <vector>

namespace emu::tcg {

// Which family of methods and SPs the drive speaks: the Opal family (Opal, Opalite, Pyrite,
// Ruby: numbered parameters and columns) or the Enterprise SSC (named ones, EGet/ESet).
enum class Dialect : uint8_t { Opal, Enterprise };

struct Profile {
    std::string name;
    // SSC feature descriptors offered.
    bool opal1 = false, opal2 = false, opalite = false, pyrite1 = false, pyrite2 = false,
         ruby1 = false, enterprise = false;
    // Other feature descriptors.
    bool geometry = false, singleUser = false, dataStore = false, blockSid = false,
         dataRemoval = false;
    bool mediaEncrypt = true;  // Pyrite drives do not encrypt
    bool mbrShadow = true;     // false: Locking feature says MBR shadowing is absent
    uint16_t baseComId = 0x1000;
    uint16_t numComIds = 1;
    uint16_t lockingAdmins = 4;
    uint16_t lockingUsers = 8;
    uint16_t maxRanges = 8;  // locking ranges besides the global one (Enterprise: bands)
    uint8_t initialPin = 0;  // 0: C_PIN_SID is the MSID at the factory
    uint8_t revertedPin = 0;
    uint32_t logicalBlockSize = 512;
    uint64_t alignmentGranularity = 8;
    uint8_t dataRemovalMechanisms = 0x04;  // crypto erase

    Dialect dialect() const {
        return (enterprise && !(opal1 || opal2 || opalite || pyrite1 || pyrite2 || ruby1))
                   ? Dialect::Enterprise
                   : Dialect::Opal;
    }
};

// The registered profiles, in a fixed order: "opal1", "opal2", "opalite", "pyrite1",
// "pyrite2", "ruby1", "enterprise", "opal2+ruby1", "opal2+enterprise".
const std::vector<Profile>& Profiles();
// Null for an unknown name.
const Profile* FindProfile(const std::string& name);

}  // namespace emu::tcg
