#pragma once

// The persistent part of a drive: its SPs and credentials as they stand between sessions.

#include <map>
#include <optional>

#include "profile.h"
#include "tables.h"

namespace emu::tcg {

struct DriveModel {
    Bytes msid;
    Bytes psid;
    std::map<Uid, Sp> sps;  // Admin SP and the Locking SP (Opal or Enterprise)

    Sp* FindSp(const Uid& uid) {
        auto it = sps.find(uid);
        return it == sps.end() ? nullptr : &it->second;
    }
    const Sp* FindSp(const Uid& uid) const {
        auto it = sps.find(uid);
        return it == sps.end() ? nullptr : &it->second;
    }
};

// A drive as it leaves the factory: SID = MSID, the Opal Locking SP inactive, the
// Enterprise bands' masters holding the MSID.
DriveModel FactoryModel(const Profile& profile, const Bytes& msid, const Bytes& psid);

// The Locking SP of the profile's dialect.
Uid LockingSpOf(const Profile& profile);

Uid AdminAuthority(uint32_t n);    // Locking SP Admin n
Uid UserAuthority(uint32_t n);     // Locking SP User n
Uid BandMaster(uint32_t n);        // Enterprise BandMaster n
Uid CPinOf(const Uid& authority);  // the authority's C_PIN row
Uid OpalRange(uint32_t n);         // Locking row of range n (0: the global range)
Uid OpalRangeKey(uint32_t n);      // its K_AES_256 row
// The range a Locking or K_AES row belongs to; nullopt for any other row.
std::optional<uint32_t> OpalRangeNumber(const Uid& row);
// The Opal Locking SP as it leaves the factory.
Sp OpalLockingSpAtFactory(const Profile& profile);

// The MBR table is a byte table: what was written so far is kept in this cell of its row.
constexpr uint32_t kMbrContent = 0;
constexpr uint64_t kMbrTableSize = 0x00800000;  // 8 MiB: room for a pre-boot image

}  // namespace emu::tcg
