#pragma once

// Scenario files: JSON that describes the emulated machine. See README.md for the format.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "emulator.h"
#include "state.h"

namespace emu {

// One channel through which the driver shows a domain's controllers, as the transports need
// it: the node path, whether it answers the Windows miniport request or only its SCSI
// processor device, and that device's address.
struct PortConfig {
    std::string path;
    bool miniport = true;
    bool processor = true;
    uint8_t pathId = 0;
    uint8_t targetId = 0;
    uint8_t lun = 0;
};

// One emulator instance: the controllers one driver instance reaches, and its ports.
struct DomainConfig {
    State state;
    std::vector<Fault> faults;
    std::vector<PortConfig> ports;
};

struct Scenario {
    std::vector<DomainConfig> domains;
};

// False with a message naming the field ("domains[0].disks[2].capacity: ...") on bad JSON, a
// wrong type or range, an unknown field or an inconsistent reference.
bool ParseScenario(const std::string& text, Scenario& out, std::string& error);
// As ParseScenario; the message also names the file.
bool LoadScenarioFile(const std::string& path, Scenario& out, std::string& error);
// The built-in scenario's JSON text (scenarios/default.json).
const char* DefaultScenarioText();

// A port of a loaded machine: its description and the emulator that answers it.
struct MachinePort {
    PortConfig config;
    Emulator* emulator = nullptr;
    size_t domain = 0;
};

// The emulators of a scenario, in scenario order, and every port in discovery order.
struct Machine {
    std::vector<std::unique_ptr<Emulator>> emulators;
    std::vector<MachinePort> ports;
};

std::unique_ptr<Machine> BuildMachine(const Scenario& scenario);

}  // namespace emu
