// The security, sanitize and microcode actions of --pdcmd.

#include <cstdio>

#include "pdcmd_options.h"

int pdSecurityAction(uint32_t, const PdOptions&, const char*) {
    std::printf("this disk action is not available in this version\n");
    return 1;
}
