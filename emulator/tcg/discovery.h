#pragma once

// Level 0 Discovery: the header and the feature descriptors a drive of a profile reports.

#include "atoms.h"
#include "profile.h"

namespace emu::tcg {

// What the Locking and Block SID features report about the drive's present state.
struct DiscoveryState {
    bool lockingEnabled = false;  // the Locking SP is active
    bool locked = false;          // some enabled range is locked
    bool mbrEnabled = false;
    bool mbrDone = false;
    bool sidChanged = false;  // the SID PIN is no longer the MSID
    bool sidBlocked = false;
    bool singleUserAny = false;  // some range is in Single User Mode
    bool singleUserAll = false;  // every range is
};

// The Level 0 Discovery response: a 48-byte header (length of what follows the length
// field, revision 1) and the descriptors in ascending feature code.
Bytes Level0Discovery(const Profile& profile, const DiscoveryState& state);

}  // namespace emu::tcg
