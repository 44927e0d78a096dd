// --create and --grow: a new array (plain, nested, or the target of a transformation of an
// existing one), or hot spares.

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "ark.h"
#include "commands.h"
#include "numbers.h"
#include "option_parser.h"
#include "selection.h"
#include "targets.h"

namespace {

const LongOption kCreateOptions[] = {
    {"level", kRequiredArgument, nullptr, 'l'},
    {"size", kRequiredArgument, nullptr, 'z'},
    {"block", kRequiredArgument, nullptr, 'k'},
    {"disks", kRequiredArgument, nullptr, 'd'},
    {"matrix", kRequiredArgument, nullptr, 'm'},
    {"name", kRequiredArgument, nullptr, 'n'},
    {"foreground", kNoArgument, nullptr, 'f'},
    {"background", kNoArgument, nullptr, 'b'},
    {"cache-policy", kRequiredArgument, nullptr, 'y'},
    {"source", kRequiredArgument, nullptr, 'S'},
    {nullptr, 0, nullptr, 0},
};

constexpr uint8_t kInitForeground = 1;
constexpr uint8_t kInitBackground = 2;
constexpr uint64_t kSectorsPerMB = 2048;

struct Level {
    const char* name;
    uint8_t raidlevel;  // what the request carries (the sub-array level of a nested array)
    bool nested;
};

const Level kLevels[] = {
    {"RAID0", ARK_RAID0, false}, {"RAID1", ARK_RAID1, false}, {"RAID5", ARK_RAID5, false},
    {"RAID6", ARK_RAID6, false}, {"JBOD", ARK_JBOD, false},   {"RAID10", ARK_RAID1, true},
    {"RAID50", ARK_RAID5, true}, {"RAID60", ARK_RAID6, true},
};

const Level* findLevel(const char* name) {
    for (const Level& l : kLevels)
        if (strcasecmp(name, l.name) == 0) return &l;
    return nullptr;
}

// The driver's cache-policy mask for a level: one bit (1 << policy) per policy it allows.
bool policyAllowed(uint8_t raidlevel, uint8_t policy) {
    for (size_t i = 0; i < sizeof g_driverInfo.raid_levels && g_driverInfo.raid_levels[i]; ++i) {
        if (g_driverInfo.raid_levels[i] == raidlevel)
            return (g_driverInfo.cache_policies[i] >> policy) & 1;
    }
    return false;
}

bool levelSupported(uint8_t raidlevel) {
    for (size_t i = 0; i < sizeof g_driverInfo.raid_levels && g_driverInfo.raid_levels[i]; ++i)
        if (g_driverInfo.raid_levels[i] == raidlevel) return true;
    return false;
}

// The block-size shift of a size in KB: 1K is shift 1 (512 << 1 bytes).
bool blockShift(uint64_t kb, uint8_t& shift) {
    for (uint8_t s = 1; s < 32; ++s) {
        if ((uint64_t{1} << (s - 1)) == kb) {
            shift = s;
            return true;
        }
    }
    return false;
}

// "N*M": N sub-arrays of M disks each.
bool parseMatrix(const char* text, uint64_t& groups, uint64_t& perGroup) {
    const char* star = std::strchr(text, '*');
    if (star == nullptr || static_cast<size_t>(star - text) >= 8) return false;
    char first[8] = {};
    std::memcpy(first, text, static_cast<size_t>(star - text));
    return parseDecimal(first, 2, ARK_MAX_MEMBERS, groups) &&
           parseDecimal(star + 1, 2, ARK_MAX_MEMBERS, perGroup);
}

// The number an array has in the list (as -Q -a counts), or 0.
int arrayNumber(uint32_t id) {
    uint32_t ids[kDeviceListMax];
    const int n = arkGetLDList(g_currentDomain, ids, kDeviceListMax);
    int number = 0;
    for (int i = 0; i < n; ++i) {
        ARK_VD_INFO info;
        if (!readDeviceInfo(ids[i], info) || info.type != ARK_VD_TYPE_ARRAY) continue;
        ++number;
        if (ids[i] == id) return number;
    }
    return 0;
}

int assignSpares(const uint32_t* disks, int count) {
    for (int i = 0; i < count; ++i) {
        if (arkAssignSpareDisk(g_currentDomain, disks[i]) != 0) {
            const char* name = deviceLocationName(disks[i]);
            std::printf("fail to assign spare disk %s\n", name ? name : "?");
            return 1;
        }
    }
    return 0;
}

}  // namespace

int createCommand(int argc, char** argv) {
    const char *levelText = nullptr, *sizeText = nullptr, *blockText = nullptr;
    const char *diskText = nullptr, *matrixText = nullptr, *name = nullptr;
    const char *policyText = nullptr, *sourceText = nullptr;
    uint8_t init = 0;
    for (;;) {
        const int option = getoptLong(argc, argv, "l:z:k:d:n:fbS:y:m:", kCreateOptions);
        if (option == -1) break;
        switch (option) {
            case 'l':
                levelText = g_optArg;
                break;
            case 'z':
                sizeText = g_optArg;
                break;
            case 'k':
                blockText = g_optArg;
                break;
            case 'd':
                diskText = g_optArg;
                break;
            case 'm':
                matrixText = g_optArg;
                break;
            case 'n':
                name = g_optArg;
                break;
            case 'f':
                init = kInitForeground;
                break;
            case 'b':
                init = kInitBackground;
                break;
            case 'y':
                policyText = g_optArg;
                break;
            case 'S':
                sourceText = g_optArg;
                break;
            case ':':
                std::printf("option needs a value\n");
                return 1;
            default:
                std::printf("invalid option\n");
                return 1;
        }
    }
    if (levelText == nullptr || diskText == nullptr) {
        std::printf("give the array type (-l) and its disks (-d)\n");
        return 1;
    }
    uint32_t disks[ARK_MAX_MEMBERS];
    int count = 0;
    if (strcasecmp(levelText, "spare") == 0) {
        if (!collectDisks(diskText, disks, ARK_MAX_MEMBERS, count)) return 1;
        return assignSpares(disks, count);
    }
    const Level* level = findLevel(levelText);
    if (level == nullptr || !levelSupported(level->raidlevel)) {
        std::printf("array type %s is not supported\n", levelText);
        return 1;
    }

    ARK_ARRAY_PARAMS params{};
    params.raidlevel = level->raidlevel;
    params.init_options = init;
    uint64_t number = 0;
    if (sizeText != nullptr) {
        if (!parseDecimal(sizeText, 1, UINT64_MAX / kSectorsPerMB, number)) {
            std::printf("invalid size %s\n", sizeText);
            return 1;
        }
        params.capacity = number * kSectorsPerMB;
    }
    if (blockText != nullptr) {
        uint8_t shift = 0;
        if (!parseDecimal(blockText, 1, UINT32_MAX, number) || !blockShift(number, shift) ||
            shift < g_driverInfo.bs_shift_min || shift > g_driverInfo.bs_shift_max) {
            std::printf("block size %s KB is not supported (%d to %d KB)\n", blockText,
                        1 << (g_driverInfo.bs_shift_min > 0 ? g_driverInfo.bs_shift_min - 1 : 0),
                        1 << (g_driverInfo.bs_shift_max > 0 ? g_driverInfo.bs_shift_max - 1 : 0));
            return 1;
        }
        params.bs_shift = shift;
    }
    if (policyText != nullptr) {
        if (strcasecmp(policyText, "WB") == 0) {
            params.cache_policy = ARK_CACHE_WRITE_BACK;
        } else if (strcasecmp(policyText, "WT") == 0) {
            params.cache_policy = ARK_CACHE_WRITE_THROUGH;
        } else {
            std::printf("invalid cache policy %s\n", policyText);
            return 1;
        }
        if (!policyAllowed(level->raidlevel, params.cache_policy)) {
            std::printf("cache policy %s is not supported for %s\n", policyText, level->name);
            return 1;
        }
    }
    if (name != nullptr) {
        if (std::strlen(name) > sizeof params.aname) {
            std::printf("array name is longer than %d characters\n", int(sizeof params.aname));
            return 1;
        }
        if (findArrayByName(name) == 0) {
            std::printf("array name %s is already in use\n", name);
            return 1;
        }
        std::memcpy(params.aname, name, std::strlen(name));
    }
    if (sourceText != nullptr) {
        params.source_id = parseTopArrayId(sourceText);
        if (params.source_id == 0) {
            std::printf("no such array\n");
            return 1;
        }
    }
    if (!collectDisks(diskText, disks, ARK_MAX_MEMBERS, count)) return 1;
    if (level->nested) {
        uint64_t groups = static_cast<uint64_t>(count) / 2, perGroup = 2;
        if (matrixText != nullptr && !parseMatrix(matrixText, groups, perGroup)) {
            std::printf("invalid matrix %s (N*M: N sub-arrays of M disks)\n", matrixText);
            return 1;
        }
        if (groups < 2 || groups * perGroup != static_cast<uint64_t>(count)) {
            std::printf("%s needs sub-arrays of equal size: %d disks do not make %llu*%llu\n",
                        level->name, count, static_cast<unsigned long long>(groups),
                        static_cast<unsigned long long>(perGroup));
            return 1;
        }
        params.subdisks = static_cast<uint8_t>(perGroup);
    } else if (matrixText != nullptr) {
        std::printf("a matrix is for RAID10, RAID50 and RAID60 only\n");
        return 1;
    }
    params.ndisks = static_cast<uint8_t>(count);
    std::memcpy(params.members, disks, sizeof(uint32_t) * static_cast<size_t>(count));

    uint64_t capacity = 0;
    if (arkGetRAIDCapacity(g_currentDomain, &params, &capacity) != 0 || capacity == 0) {
        std::printf("these disks cannot hold a %s array\n", level->name);
        return 1;
    }
    const int id = arkCreateArray(g_currentDomain, &params);
    if (id == 0) {
        std::printf("fail to create array\n");
        return 1;
    }
    if (params.source_id != 0) {
        std::printf("array %s will be transformed; start it with -T %s -r\n", sourceText,
                    sourceText);
        return 0;
    }
    std::printf("array %d created\n", arrayNumber(static_cast<uint32_t>(id)));
    return 0;
}
