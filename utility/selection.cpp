#include "selection.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "domain.h"
#include "values.h"

int g_currentDomain = 0;
ARK_DRIVER_INFO g_driverInfo{};
uint32_t g_pdList[kDeviceListMax]{};
int g_pdCount = 0;
uint32_t g_ldList[kDeviceListMax]{};
int g_ldCount = 0;
char g_locationName[16]{};

namespace {

// A count read from the driver, never beyond the list it was read into.
int boundedCount(int count) {
    if (count < 0) return 0;
    return count < kDeviceListMax ? count : kDeviceListMax;
}

// The leading decimal number of a text as atoi reads it (blanks, a sign, digits), clamped to
// the int range instead of overflowing.
long leadingNumber(const char* text) {
    const long n = std::strtol(text, nullptr, 10);
    if (n > INT32_MAX) return INT32_MAX;
    if (n < INT32_MIN) return INT32_MIN;
    return n;
}

bool isArray(const ARK_VD_INFO& info) {
    return info.type == ARK_VD_TYPE_ARRAY;
}

bool nameEquals(const char (&field)[16], const char* name) {
    return arkFieldText(field) == name;
}

}  // namespace

int currentDomainRequest(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
                         uint32_t* returned) {
    CDomain* domain = arkDomainAt(g_currentDomain);
    if (domain == nullptr) return -1;
    return domain->Ioctl(code, in, inLen, out, outLen, returned) == 0 ? 0 : -1;
}

bool readDeviceInfo(uint32_t id, ARK_VD_INFO& info) {
    info = ARK_VD_INFO{};
    return currentDomainRequest(ARK_REQ_GET_VD_INFO, &id, sizeof id, &info, sizeof info) == 0;
}

const char* deviceLocationName(uint32_t id) {
    ARK_VD_INFO info;
    if (!readDeviceInfo(id, info)) return nullptr;
    const std::string name = arkDiskLocationName(info.disk);
    std::snprintf(g_locationName, sizeof g_locationName, "%s", name.c_str());
    return g_locationName;
}

bool locationMatches(const char* query, const char* name) {
    if (query == nullptr || name == nullptr || *query == '\0') return false;
    size_t i = 0;
    for (; name[i] != '\0'; ++i) {
        if (query[i] == '*') return true;
        if (query[i] != name[i]) return false;  // also when the query ends first
    }
    return query[i] == name[i];
}

uint32_t findDiskByLocation(const char* text) {
    const int count = boundedCount(g_pdCount);
    for (int i = 0; i < count; ++i) {
        const char* name = deviceLocationName(g_pdList[i]);
        if (name != nullptr && locationMatches(text, name)) return g_pdList[i];
    }
    return 0;
}

int parseDiskList(const char* text, uint32_t* ids, int max) {
    if (text == nullptr || ids == nullptr || max <= 0) return 0;
    if (std::strlen(text) > size_t{kDiskListMaxChars}) return -1;
    char buffer[kDiskListMaxChars + 1];
    std::snprintf(buffer, sizeof buffer, "%s", text);

    // Names are read once; a list of pieces would otherwise ask for every disk per piece.
    const int count = boundedCount(g_pdCount);
    char names[kDeviceListMax][sizeof g_locationName];
    bool known[kDeviceListMax];
    for (int i = 0; i < count; ++i) {
        const char* name = deviceLocationName(g_pdList[i]);
        known[i] = name != nullptr;
        std::snprintf(names[i], sizeof names[i], "%s", known[i] ? name : "");
    }

    int held = 0;
    char* rest = buffer;
    while (held < max && rest != nullptr) {
        char* piece = rest;
        char* comma = std::strchr(rest, ',');
        rest = comma ? comma + 1 : nullptr;
        if (comma) *comma = '\0';
        if (*piece == '\0') continue;
        for (int i = 0; i < count && held < max; ++i) {
            if (!known[i] || !locationMatches(piece, names[i])) continue;
            bool already = false;
            for (int k = 0; k < held && !already; ++k) already = ids[k] == g_pdList[i];
            if (!already) ids[held++] = g_pdList[i];
        }
    }
    return held;
}

uint32_t parseArrayId(const char* text) {
    if (text == nullptr) return 0;
    const long n = leadingNumber(text);
    if (n < 1 || g_ldCount < 1 || n > g_ldCount) return 0;

    const int count = boundedCount(g_ldCount);
    long seen = 0;
    ARK_VD_INFO array{};
    uint32_t id = 0;
    for (int i = 0; i < count && id == 0; ++i) {
        ARK_VD_INFO info;
        if (!readDeviceInfo(g_ldList[i], info) || !isArray(info)) continue;
        if (++seen == n) {
            id = g_ldList[i];
            array = info;
        }
    }
    const char* dash = std::strchr(text, '-');
    if (id == 0 || dash == nullptr) return id;

    const long m = leadingNumber(dash + 1);
    if (array.array.sub_raidlevel == 0 || m < 1 || m > ARK_MAX_MEMBERS) return 0;
    return array.array.members[m - 1];
}

int findArrayByName(const char* name) {
    uint32_t ids[kDeviceListMax];
    uint32_t returned = 0;
    if (currentDomainRequest(ARK_REQ_GET_LD_LIST, nullptr, 0, ids, sizeof ids, &returned) != 0)
        return 1;
    const int count = boundedCount(static_cast<int>(returned / 4));
    for (int i = 0; i < count; ++i) {
        ARK_VD_INFO info;
        if (!readDeviceInfo(ids[i], info)) {
            std::printf("Failed to get device in rename array function\n");
            continue;
        }
        // The list also holds legacy disks, whose records carry no array name.
        if (!isArray(info)) continue;
        const ARK_ARRAY_INFO& a = info.array;
        if ((a.flags & (ARK_ARRAY_TRANSFORMING | ARK_ARRAY_NEED_TRANSFORM)) &&
            a.transform_tgt != 0) {
            ARK_VD_INFO target;
            if (readDeviceInfo(a.transform_tgt, target) && nameEquals(target.array.aname, name))
                return 0;
        }
        if (nameEquals(a.aname, name)) return 0;
    }
    return 1;
}
