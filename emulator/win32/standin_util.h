#pragma once

// What the stand-in's files share: little-endian access to frames and the failure path that
// sets the calling thread's last error.

#include <cstdint>

#include "win32_standin.h"

namespace emu::win32 {

inline uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

inline void Store32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline BOOL Fail(DWORD error) {
    t_lastError = error;
    return FALSE;
}

}  // namespace emu::win32
