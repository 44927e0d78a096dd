// The array maintenance commands: delete, rebuild, verify, transform, cache policy, rename and
// unplug. Each checks the array's state first and says why it refuses; a refusal sends nothing.

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "ark.h"
#include "array_state.h"
#include "commands.h"
#include "option_parser.h"
#include "selection.h"
#include "targets.h"

namespace {

const LongOption kRunStop[] = {
    {"run", kNoArgument, nullptr, 'r'},
    {"stop", kNoArgument, nullptr, 's'},
    {nullptr, 0, nullptr, 0},
};

const LongOption kRebuildOptions[] = {
    {"disks", kRequiredArgument, nullptr, 'd'},
    {"run", kNoArgument, nullptr, 'r'},
    {"stop", kNoArgument, nullptr, 's'},
    {nullptr, 0, nullptr, 0},
};

const LongOption kArrayOptions[] = {
    {"cache-policy", kRequiredArgument, nullptr, 'y'},
    {nullptr, 0, nullptr, 0},
};

const LongOption kRenameOptions[] = {
    {"name", kRequiredArgument, nullptr, 'n'},
    {nullptr, 0, nullptr, 0},
};

constexpr size_t kArrayNameMax = 15;  // what a rename carries

// Reads the options of a command; false (with the message printed) on an unknown option or a
// missing value. `action` is the last option, `value` its argument.
bool readOptions(int argc, char** argv, const char* shortopts, const LongOption* longopts,
                 int& action, const char*& value) {
    for (;;) {
        const int option = getoptLong(argc, argv, shortopts, longopts);
        if (option == -1) return true;
        if (option == '?' || option == ':') {
            std::printf(option == '?' ? "invalid option\n" : "option needs a value\n");
            return false;
        }
        action = option;
        value = g_optArg;
    }
}

// The top-level array a command names, with its record; prints "no such array" otherwise.
bool targetArray(const char* reference, uint32_t& id, ARK_VD_INFO& record) {
    id = parseTopArrayId(reference);
    if (id == 0 || !readDeviceInfo(id, record) || record.type != ARK_VD_TYPE_ARRAY) {
        std::printf("no such array\n");
        return false;
    }
    return true;
}

int task(uint32_t id, uint32_t state, const char* failure) {
    if (arkArrayTaskCtl(g_currentDomain, id, state) != 0) {
        std::printf("%s\n", failure);
        return 1;
    }
    return 0;
}

// Why the controller would not let a device go, from its answer to a check request: 1 is a
// running task for an array being deleted, a device in use for one being unplugged.
int refusal(int answer, const char* what, const char* reference, const char* busy) {
    switch (answer) {
        case 0:
            return 0;
        case 1:
            std::printf("%s %s %s\n", what, reference, busy);
            return 1;
        case 2:
            std::printf("%s %s is part of another array or of a transform\n", what, reference);
            return 1;
        case -1:
            std::printf("fail to check %s %s\n", what, reference);
            return 1;
        default:
            std::printf("the controller keeps %s %s (answer %d)\n", what, reference, answer);
            return 1;
    }
}

bool isArrayReference(const char* text) {
    return text != nullptr && *text != '\0' && std::strspn(text, "0123456789") == std::strlen(text);
}

}  // namespace

int deleteCommand(const char* target) {
    if (!isArrayReference(target)) {
        // A disk location: the one way to take a hot spare back.
        uint32_t disk = 0;
        const DiskTarget found = findExactDisk(target, disk);
        if (found != DiskTarget::Found) {
            printDiskTargetError(found, target);
            return 1;
        }
        ARK_VD_INFO record;
        if (!readDeviceInfo(disk, record) || !(record.disk.flags & ARK_DISK_SPARE)) {
            std::printf("disk %s is not a spare\n", target);
            return 1;
        }
        if (arkUnassignSpareDisk(g_currentDomain, disk) != 0) {
            std::printf("fail to remove spare disk %s\n", target);
            return 1;
        }
        return 0;
    }
    uint32_t id = 0;
    ARK_VD_INFO record;
    if (!targetArray(target, id, record)) return 1;
    if (refusal(arkCheckDelete(g_currentDomain, id), "array", target,
                "is busy, stop its task first") != 0)
        return 1;
    if (arkDeleteArray(g_currentDomain, id, 0) != 0) {
        std::printf("fail to delete array %s\n", target);
        return 1;
    }
    return 0;
}

int rebuildCommand(int argc, char** argv, const char* target) {
    int action = 0;
    const char* disk = nullptr;
    if (!readOptions(argc, argv, "d:rs", kRebuildOptions, action, disk)) return 1;
    uint32_t id = 0;
    ARK_VD_INFO record;
    if (!targetArray(target, id, record)) return 1;
    switch (action) {
        case 'd': {
            uint32_t diskId = 0;
            const DiskTarget found = findExactDisk(disk, diskId);
            if (found != DiskTarget::Found) {
                printDiskTargetError(found, disk);
                return 1;
            }
            if (!arrayIsCritical(id) || arrayIsRebuilding(id)) {
                std::printf("array %s does not miss a disk\n", target);
                return 1;
            }
            if (arkAddDiskToArray(g_currentDomain, id, diskId) != 0) {
                std::printf("fail to add disk %s to array %s\n", disk, target);
                return 1;
            }
            return 0;
        }
        case 'r':
            if (arrayIsRebuilding(id)) {
                std::printf("array %s is rebuilding already\n", target);
                return 1;
            }
            if (!arrayCanRebuild(id)) {
                std::printf("array %s does not need a rebuild\n", target);
                return 1;
            }
            return task(id, ARK_TASK_START_REBUILD, "fail to start rebuild");
        case 's':
            if (!arrayIsRebuilding(id)) {
                std::printf("array %s is not rebuilding\n", target);
                return 1;
            }
            return task(id, ARK_TASK_STOP_REBUILD, "fail to stop rebuild");
        default:
            std::printf("give -r, -s or -d <disk>\n");
            return 1;
    }
}

namespace {

// A task started with -r and stopped with -s: verify and transform.
struct RunStopTask {
    const char* name;   // "verify"
    const char* doing;  // "verifying"
    bool (*running)(uint32_t id);
    // Why the task cannot start on this array (printed), or false when it can.
    bool (*refuseStart)(const char* target, uint32_t id, const ARK_VD_INFO& record);
    uint32_t start, stop;
};

int runStopCommand(int argc, char** argv, const char* target, const RunStopTask& t) {
    int action = 0;
    const char* unused = nullptr;
    if (!readOptions(argc, argv, "rs", kRunStop, action, unused)) return 1;
    uint32_t id = 0;
    ARK_VD_INFO record;
    if (!targetArray(target, id, record)) return 1;
    char failure[32];
    if (action == 'r') {
        if (t.running(id)) {
            std::printf("array %s is %s already\n", target, t.doing);
            return 1;
        }
        if (t.refuseStart(target, id, record)) return 1;
        std::snprintf(failure, sizeof failure, "fail to start %s", t.name);
        return task(id, t.start, failure);
    }
    if (action == 's') {
        if (!t.running(id)) {
            std::printf("array %s is not %s\n", target, t.doing);
            return 1;
        }
        std::snprintf(failure, sizeof failure, "fail to stop %s", t.name);
        return task(id, t.stop, failure);
    }
    std::printf("give -r or -s\n");
    return 1;
}

bool refuseVerify(const char* target, uint32_t, const ARK_VD_INFO& record) {
    if (!(record.array.flags &
          (ARK_ARRAY_BUSY_MASK | ARK_ARRAY_DISABLED | ARK_ARRAY_UNINITIALIZED)))
        return false;
    std::printf("array %s is busy or not initialized\n", target);
    return true;
}

bool refuseTransform(const char* target, uint32_t id, const ARK_VD_INFO& record) {
    if (!arrayTransformPending(id)) {
        std::printf("array %s has no transform to run; create its target with -C -S %s\n", target,
                    target);
        return true;
    }
    if (record.array.flags & ARK_ARRAY_BUSY_MASK) {
        std::printf("array %s is busy, stop its task first\n", target);
        return true;
    }
    return false;
}

}  // namespace

int verifyCommand(int argc, char** argv, const char* target) {
    static const RunStopTask kVerify{"verify",     "verifying",           arrayIsVerifying,
                                     refuseVerify, ARK_TASK_START_VERIFY, ARK_TASK_STOP_VERIFY};
    return runStopCommand(argc, argv, target, kVerify);
}

int transformCommand(int argc, char** argv, const char* target) {
    static const RunStopTask kTransform{
        "transform",     "transforming",           arrayIsTransforming,
        refuseTransform, ARK_TASK_START_TRANSFORM, ARK_TASK_STOP_TRANSFORM};
    return runStopCommand(argc, argv, target, kTransform);
}

int arrayPolicyCommand(int argc, char** argv, const char* target) {
    int action = 0;
    const char* value = nullptr;
    if (!readOptions(argc, argv, "y:", kArrayOptions, action, value)) return 1;
    if (action != 'y') {
        std::printf("give -y WB, WT or NONE\n");
        return 1;
    }
    uint8_t policy = 0;
    if (strcasecmp(value, "WB") == 0) {
        policy = ARK_CACHE_WRITE_BACK;
    } else if (strcasecmp(value, "WT") == 0) {
        policy = ARK_CACHE_WRITE_THROUGH;
    } else if (strcasecmp(value, "NONE") == 0) {
        policy = ARK_CACHE_NONE;
    } else {
        std::printf("invalid cache policy %s\n", value);
        return 1;
    }
    uint32_t id = 0;
    ARK_VD_INFO record;
    if (!targetArray(target, id, record)) return 1;
    if (arkSetCachePolicy(g_currentDomain, id, policy) != 0) {
        std::printf("fail to set cache policy of array %s\n", target);
        return 1;
    }
    return 0;
}

int renameCommand(int argc, char** argv, const char* target) {
    int action = 0;
    const char* name = nullptr;
    if (!readOptions(argc, argv, "n:", kRenameOptions, action, name)) return 1;
    if (action != 'n' || name == nullptr || *name == '\0') {
        std::printf("give the new name with -n\n");
        return 1;
    }
    if (std::strlen(name) > kArrayNameMax) {
        std::printf("array name is longer than %d characters\n", int(kArrayNameMax));
        return 1;
    }
    uint32_t id = 0;
    ARK_VD_INFO record;
    if (!targetArray(target, id, record)) return 1;
    if (findArrayByName(name) == 0) {
        std::printf("array name %s is already in use\n", name);
        return 1;
    }
    if (arkSetArrayName(g_currentDomain, id, name) != 0) {
        std::printf("fail to rename array %s\n", target);
        return 1;
    }
    return 0;
}

int unplugCommand(const char* target) {
    uint32_t id = 0;
    const char* what = "array";
    if (isArrayReference(target)) {
        ARK_VD_INFO record;
        if (!targetArray(target, id, record)) return 1;
    } else {
        const DiskTarget found = findExactDisk(target, id);
        if (found != DiskTarget::Found) {
            printDiskTargetError(found, target);
            return 1;
        }
        what = "disk";
    }
    if (refusal(arkCheckUnload(g_currentDomain, id), what, target, "is in use") != 0) return 1;
    if (arkUnloadDevice(g_currentDomain, id) != 0) {
        std::printf("fail to unplug %s %s\n", what, target);
        return 1;
    }
    return 0;
}
