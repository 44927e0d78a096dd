#pragma once

// Runs the utility's entry in this process over an emulated machine reached through the
// Windows ports and the Win32 stand-in, as arkutil-emu does, with standard output captured.
// Test-only.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "domain.h"
#include "option_parser.h"
#include "scenario.h"
#include "selection.h"
#include "win32_scenario.h"
#include "win32_standin.h"

namespace utiltest {

struct RunResult {
    int status = 0;
    std::string out;
};

class UtilityMachine {
public:
    explicit UtilityMachine(const std::string& scenarioJson) {
        emu::Scenario scenario;
        std::string error;
        EXPECT_TRUE(emu::ParseScenario(scenarioJson, scenario, error)) << error;
        machine = emu::BuildMachine(scenario);
        emu::win32::AddScenarioPorts(windows, *machine);
    }
    ~UtilityMachine() {
        arkCleanup();
        arkResetDomainsForTest();
    }

    emu::Emulator& emulator(size_t domain = 0) { return *machine->emulators.at(domain); }

    // One run of the program: a fresh process's parser and selection state, the domains found
    // again, the request logs emptied first.
    RunResult run(std::vector<std::string> args) {
        arkCleanup();
        arkResetDomainsForTest();
        resetOptionParser();
        g_currentDomain = 0;
        g_pdCount = g_ldCount = 0;
        for (auto& e : machine->emulators) e->ClearRequestLog();
        args.insert(args.begin(), "arkutil");
        std::vector<char*> argv;
        argv.reserve(args.size() + 1);
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        testing::internal::CaptureStdout();
        RunResult result;
        result.status = utilMain(static_cast<int>(args.size()), argv.data());
        std::fflush(stdout);
        result.out = testing::internal::GetCapturedStdout();
        return result;
    }

    // The requests of one code in the last run.
    std::vector<emu::LoggedRequest> requests(uint32_t code, size_t domain = 0) {
        std::vector<emu::LoggedRequest> found;
        for (const auto& r : emulator(domain).RequestLog())
            if (r.code == code) found.push_back(r);
        return found;
    }

    std::unique_ptr<emu::Machine> machine;
    emu::win32::Machine windows;
};

}  // namespace utiltest
