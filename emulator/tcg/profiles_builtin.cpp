#include "profiles_builtin.h"

#include "profile.h"
#include "sed_drive.h"

namespace emu::tcg {

void ForEachBuiltInProfile(
    const std::function<void(const std::string&, TrustedDeviceFactory)>& add) {
    for (const Profile& p : Profiles()) {
        add(p.name, [p] { return std::make_shared<SedDrive>(p); });
    }
}

}  // namespace emu::tcg
