#pragma once

// Utility tests over an emulated controller: the scenario's first domain as domain 0 of the
// process, the selection state cleared. Test-only.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "domain.h"
#include "emu_port.h"
#include "emulator.h"
#include "scenario.h"
#include "selection.h"

namespace utiltest {

class EmulatedDomain {
public:
    explicit EmulatedDomain(const std::string& scenarioJson) {
        emu::Scenario scenario;
        std::string error;
        EXPECT_TRUE(emu::ParseScenario(scenarioJson, scenario, error)) << error;
        if (scenario.domains.empty()) scenario.domains.emplace_back();
        emulator = std::make_unique<emu::Emulator>(scenario.domains[0].state);
        for (const emu::Fault& f : scenario.domains[0].faults) emulator->InjectFault(f);
        arkResetDomainsForTest();
        EXPECT_TRUE(AttachPort(new emu::EmuPort(*emulator, "/dev/sg0")));
        g_currentDomain = 0;
        g_driverInfo = ARK_DRIVER_INFO{};
        g_pdCount = arkGetPDList(0, g_pdList, kDeviceListMax);
        g_ldCount = arkGetLDList(0, g_ldList, kDeviceListMax);
        emulator->ClearRequestLog();
    }
    ~EmulatedDomain() { arkResetDomainsForTest(); }

    std::unique_ptr<emu::Emulator> emulator;
};

}  // namespace utiltest
