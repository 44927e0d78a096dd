#include "win32_scenario.h"

namespace emu::win32 {

void AddScenarioPorts(Machine& machine, const emu::Machine& scenario) {
    for (const MachinePort& p : scenario.ports) {
        StoragePort port;
        port.path = p.spec.path;
        port.handler = p.emulator;
        port.answersMiniport = p.spec.miniport;
        std::vector<InquiryUnit> units = {DiskUnit(p.spec.pathId, 0x7F, 0)};
        if (p.spec.processor) {
            port.processorAddress =
                uint32_t{p.spec.pathId} << 16 | uint32_t{p.spec.targetId} << 8 | p.spec.lun;
            units.push_back(ProcessorUnit(p.spec.pathId, p.spec.targetId, p.spec.lun));
        }
        port.buses.resize(size_t{p.spec.pathId} + 1);
        port.buses[p.spec.pathId] = std::move(units);
        machine.AddPort(std::move(port));
    }
}

}  // namespace emu::win32
