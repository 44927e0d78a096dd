#include "emu_sg_startup.h"

#include <pthread.h>

#include <set>
#include <string>

#include "emu_startup.h"
#include "sg_sys.h"

namespace emu {

void AddMachineNodes(Machine& machine, SgFront& front) {
    constexpr const char kDev[] = "/dev/";
    auto devName = [&](const MachinePort& port) {
        const std::string& path = port.config.path;
        if (path.rfind(kDev, 0) == 0 && path.size() > sizeof kDev - 1)
            return path.substr(sizeof kDev - 1);
        return std::string();
    };
    // A port named elsewhere gets "sg<port index>", or the next free number when a /dev path
    // of the scenario already uses it: two nodes of one name would make one port unreachable.
    std::set<std::string> taken;
    for (const MachinePort& port : machine.ports)
        if (port.config.processor) taken.insert(devName(port));
    for (size_t i = 0; i < machine.ports.size(); ++i) {
        const MachinePort& port = machine.ports[i];
        if (!port.config.processor) continue;  // a miniport-only channel has no SCSI node
        SgNode node;
        node.name = devName(port);
        if (node.name.empty()) {
            for (size_t n = i; node.name.empty() || taken.count(node.name) != 0; ++n)
                node.name = "sg" + std::to_string(n);
            taken.insert(node.name);
        }
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

void startTicking() {
    g_ticking = emu::StartTicking(*g_machine).release();
}

void stopTicking() {
    delete g_ticking;  // joins the thread
    g_ticking = nullptr;
}

}  // namespace

void emuInstallSgFromEnvironment() {
    if (g_machine != nullptr) return;
    g_machine = emu::LoadMachineOrExit().release();
    g_front = new emu::SgFront;
    emu::AddMachineNodes(*g_machine, *g_front);
    SetSgSys(g_front);
    startTicking();
    // The service detaches and forks its working child after discovery; a thread does not
    // survive fork, so the ticks stop before it (no lock can be held across it) and start
    // again on both sides.
    pthread_atfork(stopTicking, startTicking, startTicking);
}
