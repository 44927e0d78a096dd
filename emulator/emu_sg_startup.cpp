#include "emu_sg_startup.h"

#include <string>

#include "emu_startup.h"
#include "sg_sys.h"

namespace emu {

void AddMachineNodes(Machine& machine, SgFront& front) {
    constexpr const char kDev[] = "/dev/";
    for (size_t i = 0; i < machine.ports.size(); ++i) {
        const MachinePort& port = machine.ports[i];
        if (!port.spec.processor) continue;  // a miniport-only channel has no SCSI node
        SgNode node;
        if (port.spec.path.rfind(kDev, 0) == 0 && port.spec.path.size() > sizeof kDev - 1)
            node.name = port.spec.path.substr(sizeof kDev - 1);
        else
            node.name = "sg" + std::to_string(i);
        node.handler = port.emulator;
        front.AddNode(node);
    }
    for (const char* entry : {"null", "sda", "tty0"}) front.AddEntry(entry);
}

}  // namespace emu

namespace {

// Never destroyed: the ports discovery opens keep using them until the process ends.
emu::Machine* g_machine = nullptr;
emu::SgFront* g_front = nullptr;
emu::TickThread* g_ticking = nullptr;

}  // namespace

void emuInstallSgFromEnvironment() {
    if (g_machine != nullptr) return;
    g_machine = emu::LoadMachineOrExit().release();
    g_front = new emu::SgFront;
    emu::AddMachineNodes(*g_machine, *g_front);
    SetSgSys(g_front);
    g_ticking = emu::StartTicking(*g_machine).release();
}
