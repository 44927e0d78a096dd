#include "values.h"

#include <cstdio>
#include <cstring>

const char* arkRaidLevelText(uint8_t raidlevel, uint8_t subRaidlevel) {
    switch (raidlevel) {
        case ARK_RAID0:
            switch (subRaidlevel) {
                case ARK_RAID1:
                    return "RAID10";
                case ARK_RAID5:
                    return "RAID50";
                case ARK_RAID6:
                    return "RAID60";
                default:
                    return "RAID0";
            }
        case ARK_RAID1:
            return "RAID1";
        case ARK_RAID5:
            return "RAID5";
        case ARK_RAID6:
            return "RAID6";
        case ARK_JBOD:
            return "JBOD";
        default:
            return "UNKNOWN";
    }
}

const char* arkCachePolicyText(uint8_t policy) {
    switch (policy) {
        case ARK_CACHE_WRITE_THROUGH:
            return "Write-through";
        case ARK_CACHE_WRITE_BACK:
            return "Write-back";
        case ARK_CACHE_FORCE_WRITE_BACK:
            return "Force Write-back";
        default:
            return "None";
    }
}

const char* arkArrayStateText(uint32_t flags) {
    if (flags & ARK_ARRAY_DISABLED) return "Disabled";
    if (flags & ARK_ARRAY_TRANSFORMING) return "Transforming";
    if (flags & ARK_ARRAY_NEED_TRANSFORM) return "Need Transform";
    if (flags & ARK_ARRAY_UNINITIALIZED) {
        if (flags & ARK_ARRAY_FG_INIT) return "INITIALIZING(F)";
        if (flags & ARK_ARRAY_REBUILDING) return "INITIALIZING(B)";
        return "Uninit";
    }
    if (flags & ARK_ARRAY_REBUILDING) return "Rebuilding";
    if (flags & ARK_ARRAY_VERIFYING) return "Verifying";
    if (flags & ARK_ARRAY_NEED_REBUILD) return "NeedRebuild";
    if (flags & ARK_ARRAY_CRITICAL) return "Critical";
    return "Normal";
}

const char* arkDiskStateText(uint32_t flags) {
    if (flags & ARK_DISK_DISABLED) return "Disabled";
    if (flags & ARK_DISK_ERASING) return "Erasing";
    if (flags & ARK_DISK_LOCKED) return "Locked";
    if (flags & ARK_DISK_LEGACY) return "Legacy";
    if (flags & ARK_DISK_UNINITIALIZED) return "Uninitialized";
    return "Functional";
}

std::string arkFieldText(const char* field, size_t size) {
    return std::string(field, strnlen(field, size));
}

std::string arkDiskLocationName(const ARK_DISK_INFO& disk) {
    char text[32];
    const int c = disk.controller + 1, p = disk.port + 1, t = disk.target + 1;
    if (disk.flags & ARK_DISK_ENCLOSURE)
        std::snprintf(text, sizeof text, "%d/E%d/%d", c, p, t);
    else if (disk.flags & ARK_DISK_TARGET_LEVEL)
        std::snprintf(text, sizeof text, "%d/%d/%d", c, p, t);
    else
        std::snprintf(text, sizeof text, "%d/%d", c, p);
    return text;
}
