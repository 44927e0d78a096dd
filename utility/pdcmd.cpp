// --pdcmd <disk>: one physical-disk action per run: the IDENTIFY printout, the locate light and
// the disk settings, the SMART status and attribute report.

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ark.h"
#include "ata_command.h"
#include "commands.h"
#include "identify.h"
#include "option_parser.h"
#include "pdcmd_options.h"
#include "selection.h"
#include "smart_commands.h"
#include "smart_info.h"
#include "targets.h"

namespace {

constexpr uint8_t kIdentifyDevice = 0xEC;

int identifyAction(uint32_t disk) {
    std::vector<uint8_t> page(ARK_SECTOR_SIZE, 0);
    AtaCommand command;
    command.command = kIdentifyDevice;
    command.device = 0xA0;
    command.protocol = ARK_ATA_DATA_IN;
    const AtaResult result = runAta(disk, command, &page);
    if (result.outcome != AtaOutcome::Ok) {
        std::printf("%s\n", ataFailureText(result, "IDENTIFY DEVICE").c_str());
        return 1;
    }
    std::printf("%s", identifyReport(page.data()).c_str());
    return 0;
}

bool onOff(const char* value, uint8_t& on) {
    if (strcasecmp(value, "on") == 0) {
        on = 1;
        return true;
    }
    if (strcasecmp(value, "off") == 0) {
        on = 0;
        return true;
    }
    std::printf("invalid value %s, give on or off\n", value);
    return false;
}

int settingAction(uint32_t disk, int action, const char* value, const char* location) {
    uint8_t on = 0;
    if (!onOff(value, on)) return 1;
    int result = -1;
    const char* what = "";
    switch (action) {
        case 'l':
            result = arkIdentifyDisk(g_currentDomain, disk, on);
            what = "locate LED";
            break;
        case 'r':
            result = arkSetDiskRA(g_currentDomain, disk, on);
            what = "read-ahead";
            break;
        case 'w':
            result = arkSetDiskWC(g_currentDomain, disk, on);
            what = "write cache";
            break;
        case 'q':
            result = arkSetDiskQD(g_currentDomain, disk, on);
            what = "NCQ";
            break;
        default:
            result = arkSetDiskSmart(g_currentDomain, disk, on);
            what = "SMART";
            break;
    }
    if (result != 0) {
        std::printf("fail to turn %s %s on disk %s\n", what, on ? "on" : "off", location);
        return 1;
    }
    return 0;
}

int smartStatusAction(uint32_t disk) {
    ARK_VD_INFO info;
    if (!readDeviceInfo(disk, info)) {
        std::printf("fail to get disk info\n");
        return 1;
    }
    if (!(info.disk.flags & ARK_DISK_SMART_ON)) {
        std::printf("SMART is off on this disk; turn it on with -s on\n");
        return 1;
    }
    // RETURN STATUS answers 1 both for a threshold exceeded and for a failed request; READ DATA
    // tells the two apart.
    if (smart_status(g_currentDomain, disk) == 0) {
        std::printf("SMART overall health: PASSED\n");
        return 0;
    }
    uint8_t page[kSmartPageSize];
    if (smart_read_values(g_currentDomain, disk, page) != 0) {
        std::printf("fail to read the SMART status\n");
        return 1;
    }
    std::printf("SMART overall health: FAILED (a threshold is exceeded)\n");
    return 0;
}

int smartValuesAction(uint32_t disk) {
    SmartInfo info;
    const int status = readSmartInfo(g_currentDomain, disk, &info);
    if (status != kSmartInfoOk) {
        std::printf("%s\n", smartInfoErrorText(status));
        return 1;
    }
    std::printf("SMART overall health: %s\n", info.healthy ? "PASSED" : "FAILED");
    std::printf(
        "ID  Attribute name                 Flags  Value Worst Thresh Raw value          "
        "Failed\n");
    for (size_t i = 0; i < info.count; ++i) {
        const SmartAttributeReport& a = info.attrs[i];
        const bool failing = a.threshold != 0 && a.current <= a.threshold;
        const bool failed = a.threshold != 0 && a.worst <= a.threshold;
        std::printf("%3u %-30s 0x%04X %5u %5u %6u %-18s %s\n", a.id, a.name, a.flags, a.current,
                    a.worst, a.threshold, a.rawText,
                    failing  ? "NOW"
                    : failed ? "in the past"
                             : "-");
    }
    return 0;
}

}  // namespace

int pdCommand(int argc, char** argv, const char* location) {
    PdOptions options;
    if (!readPdOptions(argc, argv, options)) return 1;
    uint32_t disk = 0;
    const DiskTarget found = findExactDisk(location, disk);
    if (found != DiskTarget::Found) {
        printDiskTargetError(found, location);
        return 1;
    }
    switch (options.action) {
        case 'i':
            return identifyAction(disk);
        case 'l':
        case 'r':
        case 'w':
        case 'q':
        case 's':
            return settingAction(disk, options.action, options.value, location);
        case 't':
            return smartStatusAction(disk);
        case 'v':
            return smartValuesAction(disk);
        default:
            return pdSecurityAction(disk, options, location);
    }
}
