#pragma once

#include <string>

#include "driver_port.h"
#include "request_handler.h"
#include "scenario.h"

namespace emu {

// A driver port whose requests go straight to a RequestHandler (an Emulator). Several ports
// may share one handler: a handler with two or more controllers then shows as one multi-port
// domain. The handler must outlive the port.
class EmuPort : public CDriverPort {
public:
    EmuPort(RequestHandler& handler, std::string path);

    int Ioctl(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
              uint32_t* bytesReturned) override;
    const char* GetPath() const override { return m_path.c_str(); }

private:
    RequestHandler& m_handler;
    std::string m_path;
};

// Offers one EmuPort per port of the machine to AttachPort, in order, deleting the rejected
// ones. Returns how many were taken.
int AttachMachinePorts(Machine& machine);

}  // namespace emu
