// The emulator's scenario loader over any text: it either refuses with a message or gives a
// scenario the emulator can be built from.

#include <cstdint>
#include <string>

#include "scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    emu::Scenario scenario;
    std::string error;
    if (!emu::ParseScenario(text, scenario, error)) {
        if (error.empty()) __builtin_trap();  // a refusal always says why
        return 0;
    }
    emu::BuildMachine(scenario);
    return 0;
}
