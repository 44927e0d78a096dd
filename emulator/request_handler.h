#pragma once

#include <cstdint>

namespace emu {

// Whatever answers controller requests in place of the driver and firmware. The transport
// fronts (a CDriverPort, the Linux SG node, the Win32 stand-in) carry each request to one of
// these unchanged. Handle may be called from several threads at once.
class RequestHandler {
public:
    virtual ~RequestHandler() = default;

    // One controller request: 0 on success, -1 on failure; `returned` (may be null) gets the
    // number of output bytes written.
    virtual int Handle(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
                       uint32_t* returned) = 0;
};

}  // namespace emu
