// arkutil-emu: the utility with its Windows ports over the Win32 stand-in and the emulator.
// One command per run, so the emulated machine may be kept in a file between runs; time passes
// between runs only, never while a command prints.

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "commands.h"
#include "emu_startup.h"
#include "state_file.h"
#include "win32_scenario.h"
#include "win32_standin.h"

int main(int argc, char** argv) {
    std::unique_ptr<emu::Machine> machine = emu::LoadMachineOrExit();
    const char* variable = std::getenv(emu::kStateVariable);
    const std::string statePath = variable ? variable : "";
    std::string error;
    if (!statePath.empty() && emu::LoadStateFile(statePath, *machine, std::time(nullptr), error) ==
                                  emu::StateLoad::Invalid) {
        std::fprintf(stderr, "emulator state error: %s\n", error.c_str());
        return 1;
    }
    emu::win32::Machine windows;
    emu::win32::AddScenarioPorts(windows, *machine);

    const int status = utilMain(argc, argv);
    std::fflush(stdout);
    if (!statePath.empty() && !emu::SaveStateFile(statePath, *machine, std::time(nullptr), error)) {
        std::fprintf(stderr, "emulator state error: %s\n", error.c_str());
        return 1;
    }
    return status;
}
