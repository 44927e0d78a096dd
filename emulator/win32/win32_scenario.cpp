#include "win32_scenario.h"

namespace emu::win32 {

void AddScenarioPorts(Machine& machine, const emu::Machine& scenario) {
    for (const MachinePort& p : scenario.ports) {
        StoragePort port;
        port.path = p.config.path;
        port.handler = p.emulator;
        port.answersMiniport = p.config.miniport;
        std::vector<InquiryUnit> units = {DiskUnit(p.config.pathId, 0x7F, 0)};
        if (p.config.processor) {
            port.processorAddress =
                uint32_t{p.config.pathId} << 16 | uint32_t{p.config.targetId} << 8 | p.config.lun;
            units.push_back(ProcessorUnit(p.config.pathId, p.config.targetId, p.config.lun));
        }
        port.buses.resize(size_t{p.config.pathId} + 1);
        port.buses[p.config.pathId] = std::move(units);
        machine.AddPort(std::move(port));
    }
}

}  // namespace emu::win32
