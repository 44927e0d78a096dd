#include "targets.h"

#include <cstdio>
#include <cstring>

#include "selection.h"
#include "values.h"

namespace {

// One or more digits from `p`; moves `p` past them.
bool digits(const char*& p) {
    const char* start = p;
    while (*p >= '0' && *p <= '9') ++p;
    return p != start;
}

}  // namespace

uint32_t parseExactArrayId(const char* text) {
    if (text == nullptr) return 0;
    const char* p = text;
    if (!digits(p)) return 0;
    if (*p == '-') {
        ++p;
        if (!digits(p)) return 0;
    }
    if (*p != '\0') return 0;
    const uint32_t id = parseArrayId(text);
    return arkIsEmptySlot(id) ? 0 : id;
}

DiskTarget findExactDisk(const char* text, uint32_t& id) {
    id = 0;
    if (text == nullptr || *text == '\0') return DiskTarget::NotFound;
    if (std::strchr(text, '*') != nullptr) return DiskTarget::Pattern;
    const int count = g_pdCount < kDeviceListMax ? g_pdCount : kDeviceListMax;
    int found = 0;
    for (int i = 0; i < count; ++i) {
        const char* name = deviceLocationName(g_pdList[i]);
        if (name == nullptr || !locationMatches(text, name)) continue;
        if (found++ == 0) id = g_pdList[i];
    }
    if (found > 1) {
        id = 0;
        return DiskTarget::Ambiguous;
    }
    return found == 1 ? DiskTarget::Found : DiskTarget::NotFound;
}

void printDiskTargetError(DiskTarget result, const char* text) {
    switch (result) {
        case DiskTarget::Found:
            break;
        case DiskTarget::NotFound:
            std::printf("no such disk\n");
            break;
        case DiskTarget::Pattern:
            std::printf("give one disk, not a pattern: %s\n", text);
            break;
        case DiskTarget::Ambiguous:
            std::printf("more than one disk is at %s\n", text);
            break;
    }
}

uint32_t parseTopArrayId(const char* text) {
    if (text == nullptr || std::strchr(text, '-') != nullptr) return 0;
    return parseExactArrayId(text);
}

bool collectDisks(const char* text, uint32_t* ids, int max, int& count) {
    count = 0;
    if (text == nullptr || std::strlen(text) > size_t{kDiskListMaxChars}) {
        std::printf("disk list too long (at most %d characters)\n", kDiskListMaxChars);
        return false;
    }
    char buffer[kDiskListMaxChars + 1];
    std::snprintf(buffer, sizeof buffer, "%s", text);
    const int known = g_pdCount < kDeviceListMax ? g_pdCount : kDeviceListMax;
    for (char* rest = buffer; rest != nullptr;) {
        char* piece = rest;
        char* comma = std::strchr(rest, ',');
        rest = comma ? comma + 1 : nullptr;
        if (comma) *comma = '\0';
        if (*piece == '\0') continue;
        int matched = 0;
        for (int i = 0; i < known; ++i) {
            const char* name = deviceLocationName(g_pdList[i]);
            if (name == nullptr || !locationMatches(piece, name)) continue;
            ++matched;
            for (int k = 0; k < count; ++k) {
                if (ids[k] == g_pdList[i]) {
                    std::printf("disk %s is listed twice\n", name);
                    return false;
                }
            }
            if (count == max) {
                std::printf("too many disks (at most %d)\n", max);
                return false;
            }
            ids[count++] = g_pdList[i];
        }
        if (matched == 0) {
            std::printf("no disk at %s\n", piece);
            return false;
        }
    }
    if (count == 0) {
        std::printf("no disk given\n");
        return false;
    }
    return true;
}
