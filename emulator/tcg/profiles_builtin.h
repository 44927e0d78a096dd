#pragma once

// The TCG drive models the emulator offers by profile name (see profile.h).

#include <functional>
#include <string>

#include "trusted_device.h"

namespace emu::tcg {

void ForEachBuiltInProfile(
    const std::function<void(const std::string&, TrustedDeviceFactory)>& add);

}  // namespace emu::tcg
