#include "trusted_device.h"

#include <map>
#include <mutex>

#include "tcg/profiles_builtin.h"

namespace emu {
namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, TrustedDeviceFactory> factories;
};

Registry& TheRegistry() {
    static Registry* registry = [] {
        auto* r = new Registry;
        tcg::ForEachBuiltInProfile([r](const std::string& name, TrustedDeviceFactory factory) {
            r->factories[name] = std::move(factory);
        });
        return r;
    }();
    return *registry;
}

}  // namespace

void RegisterTrustedDeviceProfile(const std::string& profile, TrustedDeviceFactory factory) {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    r.factories[profile] = std::move(factory);
}

std::shared_ptr<TrustedDevice> MakeTrustedDevice(const std::string& profile) {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    auto it = r.factories.find(profile);
    return it != r.factories.end() && it->second ? it->second() : nullptr;
}

}  // namespace emu
