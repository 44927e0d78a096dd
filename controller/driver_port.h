#pragma once

#include <cstdint>

// One open channel to the controller driver. Implementations own their OS handle and close it
// in the destructor. Ioctl may be called from several threads at once; a port that needs
// serialisation does it inside Ioctl.
class CDriverPort {
public:
    virtual ~CDriverPort() = default;

    // Sends one controller request. Returns 0 on success, -1 on failure; bytesReturned may be
    // null. On failure `out` may have been partly written.
    virtual int Ioctl(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
                      uint32_t* bytesReturned) = 0;

    virtual const char* GetPath() const = 0;
};
