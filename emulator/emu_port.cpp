#include "emu_port.h"

#include "domain.h"

namespace emu {

EmuPort::EmuPort(RequestHandler& handler, std::string path)
    : m_handler(handler), m_path(std::move(path)) {}

int EmuPort::Ioctl(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
                   uint32_t* bytesReturned) {
    return m_handler.Handle(code, in, inLen, out, outLen, bytesReturned) == 0 ? 0 : -1;
}

int AttachMachinePorts(Machine& machine) {
    int taken = 0;
    for (const MachinePort& port : machine.ports) {
        auto* p = new EmuPort(*port.emulator, port.config.path);
        if (AttachPort(p)) {
            ++taken;
        } else {
            delete p;
        }
    }
    return taken;
}

}  // namespace emu
