// The array form of --initialize: start or stop an array's initialisation.

#include <cstdio>

#include "ark.h"
#include "commands.h"
#include "selection.h"
#include "targets.h"

int initializeArrayCommand(const char* reference, int action) {
    const uint32_t id = parseExactArrayId(reference);
    ARK_VD_INFO record;
    if (id == 0 || !readDeviceInfo(id, record) || record.type != ARK_VD_TYPE_ARRAY) {
        std::printf("no such array\n");
        return 1;
    }
    const uint32_t flags = record.array.flags;
    const bool uninitialised = flags & ARK_ARRAY_UNINITIALIZED;
    const bool running = uninitialised && (flags & (ARK_ARRAY_FG_INIT | ARK_ARRAY_REBUILDING));
    if (action == 'r') {
        if (!uninitialised) {
            std::printf("array %s is already initialized\n", reference);
            return 1;
        }
        if (running) {
            std::printf("array %s is initializing already\n", reference);
            return 1;
        }
        if (flags & (ARK_ARRAY_BUSY_MASK | ARK_ARRAY_DISABLED)) {
            std::printf("array %s is busy\n", reference);
            return 1;
        }
        if (arkArrayTaskCtl(g_currentDomain, id, ARK_TASK_START_REBUILD) != 0) {
            std::printf("fail to start array initialization\n");
            return 1;
        }
        return 0;
    }
    if (!running) {
        std::printf("array %s is not initializing\n", reference);
        return 1;
    }
    const uint32_t task =
        (flags & ARK_ARRAY_FG_INIT) ? ARK_TASK_STOP_FG_INIT : ARK_TASK_STOP_REBUILD;
    if (arkArrayTaskCtl(g_currentDomain, id, task) != 0) {
        std::printf("fail to stop array initialization\n");
        return 1;
    }
    return 0;
}
