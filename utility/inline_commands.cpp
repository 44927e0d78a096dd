// The small commands that live in the entry: events, rescan, disk initialisation, config,
// preserved cache and hardware monitor.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ark.h"
#include "commands.h"
#include "option_parser.h"
#include "selection.h"
#include "targets.h"

namespace {

// A driver that always answers must not keep the command running for ever.
constexpr int kMaxEventsPerRun = 4096;
// The hardware-monitor reply buffer: 32 bytes, so at most 8 entries.
constexpr uint32_t kHwMonBytes = 32;
constexpr size_t kConfigKeyMax = 31;

const LongOption kRunStopOptions[] = {
    {"run", kNoArgument, nullptr, 'r'},
    {"stop", kNoArgument, nullptr, 's'},
    {nullptr, 0, nullptr, 0},
};

const LongOption kPCacheOptions[] = {
    {"status", kNoArgument, nullptr, 's'},
    {"clear", kNoArgument, nullptr, 'c'},
    {nullptr, 0, nullptr, 0},
};

// A whole decimal number that fits 32 bits, signed or not (the controller keeps the bits).
bool parseConfigValue(const char* text, uint32_t& value) {
    const char* digits = (*text == '-' || *text == '+') ? text + 1 : text;
    if (*digits == '\0') return false;
    for (const char* p = digits; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return false;
    }
    errno = 0;
    const long long n = std::strtoll(text, nullptr, 10);
    if (errno == ERANGE || n < INT32_MIN || n > static_cast<long long>(UINT32_MAX)) return false;
    value = static_cast<uint32_t>(n);
    return true;
}

}  // namespace

int eventsCommand() {
    int printed = 0;
    while (printed < kMaxEventsPerRun) {
        ARK_EVENT event{};
        if (currentDomainRequest(ARK_REQ_GET_EVENT, nullptr, 0, &event, sizeof event) != 0) break;
        std::printf("Event: code %d, devid %d\n", event.code, static_cast<int>(event.devid));
        ++printed;
    }
    if (printed == 0) std::printf("No event pending\n");
    return 0;
}

int rescanCommand() {
    currentDomainRequest(ARK_REQ_RESCAN_DEVICES, nullptr, 0, nullptr, 0);
    return 0;
}

int initializeCommand(int argc, char** argv, const char* target) {
    int action = 0;
    for (;;) {
        const int option = getoptLong(argc, argv, "rs", kRunStopOptions);
        if (option == -1) break;
        if (option != 'r' && option != 's') {
            std::printf("invalid option\n");
            return 1;
        }
        action = option;
    }
    if (action != 0) return initializeArrayCommand(target, action);

    uint32_t disk = 0;
    const DiskTarget found = findExactDisk(target, disk);
    if (found != DiskTarget::Found) {
        printDiskTargetError(found, target);
        return 1;
    }
    if (currentDomainRequest(ARK_REQ_INIT_DISK, &disk, sizeof disk, nullptr, 0) == 0) return 0;
    const char* name = deviceLocationName(disk);
    std::printf("fail to initialize disk %s.\n", name ? name : target);
    return 1;
}

int configCommand(const char* setting) {
    // The key ends at the first '=', then is cut to what the request carries.
    const char* equals = std::strchr(setting, '=');
    const size_t keyLength = equals ? static_cast<size_t>(equals - setting) : std::strlen(setting);
    char key[kConfigKeyMax + 1] = {};
    std::memcpy(key, setting, keyLength < kConfigKeyMax ? keyLength : kConfigKeyMax);

    uint32_t wanted = 0;
    if (equals != nullptr && !parseConfigValue(equals + 1, wanted)) {
        std::printf("invalid value\n");
        return 1;
    }
    int32_t current = 0;
    if (currentDomainRequest(ARK_REQ_GET_CONFIG_INT, key,
                             static_cast<uint32_t>(std::strlen(key) + 1), &current,
                             sizeof current) != 0) {
        std::printf("fail to get configuration\n");
        return 1;
    }
    if (equals == nullptr) {
        std::printf("%s=%d\n", key, current);
        return 0;
    }
    if (static_cast<uint32_t>(current) == wanted) return 0;
    if (arkSetConfigInt(g_currentDomain, key, wanted) != 0) {
        std::printf("fail to set configuration\n");
        return 1;
    }
    return 0;
}

int pcacheCommand(int argc, char** argv) {
    int action = 's';
    for (;;) {
        const int option = getoptLong(argc, argv, "sc", kPCacheOptions);
        if (option == -1) break;
        if (option != 's' && option != 'c') {
            std::printf("invalid option\n");
            return 1;
        }
        action = option;
    }
    if (action == 'c') {
        if (currentDomainRequest(ARK_REQ_CLEAR_PCACHE, nullptr, 0, nullptr, 0) != 0) {
            std::printf("fail to clear PCache\n");
            return 1;
        }
        return 0;
    }
    std::printf("PCache sectors: %d\n", arkGetPCacheSize(g_currentDomain));
    return 0;
}

int hwmonCommand() {
    const uint32_t selector = 0;
    ARK_HWMON_ENTRY entries[kHwMonBytes / sizeof(ARK_HWMON_ENTRY)] = {};
    uint32_t returned = 0;
    if (currentDomainRequest(ARK_REQ_GET_HWMON_DATA, &selector, sizeof selector, entries,
                             kHwMonBytes, &returned) != 0) {
        std::printf("fail to get data\n");
        return 1;
    }
    size_t count = returned / sizeof(ARK_HWMON_ENTRY);
    if (count > sizeof entries / sizeof entries[0]) count = sizeof entries / sizeof entries[0];
    for (size_t i = 0; i < count; ++i) {
        const ARK_HWMON_ENTRY& e = entries[i];
        if (e.kind == 0) {
            const int value = static_cast<int16_t>(e.value);
            const int magnitude = value < 0 ? -value : value;
            std::printf("Temperature sensor%d: ", e.sensor);
            if (value < 0) std::printf("-");
            std::printf("%d.%1d\n", magnitude / 100, magnitude % 100 / 10);
        } else if (e.kind == 1) {
            std::printf("Voltage sensor%d: %d.%02dV\n", e.sensor, e.value / 1000,
                        e.value % 1000 / 10);
        }
    }
    return 0;
}
