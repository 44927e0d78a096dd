#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

namespace emu {

// The security side of a self-encrypting disk: what ATA TRUSTED SEND (0x5E) and TRUSTED
// RECEIVE (0x5C) reach. A disk without one rejects both commands. Called under the emulator's
// lock, so implementations need no lock of their own.
class TrustedDevice {
public:
    virtual ~TrustedDevice() = default;

    // `protocol` is the security protocol (ATA FEATURES), `comId` the protocol-specific field
    // (LBA mid | LBA high << 8). False makes the disk abort the command.
    virtual bool TrustedSend(uint8_t protocol, uint16_t comId, const uint8_t* data,
                             size_t length) = 0;
    // Fills exactly `length` bytes (a multiple of 512).
    virtual bool TrustedReceive(uint8_t protocol, uint16_t comId, uint8_t* data, size_t length) = 0;

    // Per-disk settings of a scenario ("tcg_settings"); null when the disk gives none. False
    // with a message naming the field when the model cannot use them.
    virtual bool Configure(const nlohmann::json& settings, std::string& error) {
        if (settings.is_null()) return true;
        error = "this drive model takes no settings";
        return false;
    }

    // What one utility run leaves for the next (the emulator's state file). A drive that keeps
    // nothing gives null; RestoreState gets what SaveState gave and is false when it cannot use it.
    virtual nlohmann::json SaveState() const { return nullptr; }
    virtual bool RestoreState(const nlohmann::json& /*state*/) { return true; }
};

// Scenario disks name a drive model by profile ("tcg": "<profile>"). The TCG drive models of
// emulator/tcg are registered from the start; others register before scenarios load.
// Registering a name again replaces it.
using TrustedDeviceFactory = std::function<std::shared_ptr<TrustedDevice>()>;
void RegisterTrustedDeviceProfile(const std::string& profile, TrustedDeviceFactory factory);
// Null when the profile is not registered.
std::shared_ptr<TrustedDevice> MakeTrustedDevice(const std::string& profile);

}  // namespace emu
