#include <cstdio>

#include "ark.h"
#include "commands.h"
#include "help.h"
#include "option_parser.h"
#include "selection.h"
#include "tcg_tool.h"

const char* const kUtilVersion = "2.0.265";

namespace {

constexpr int kConfigOption = 128;
constexpr int kFlashOption = 129;
constexpr int kPdCommandOption = 130;
constexpr int kPCacheOption = 131;
constexpr int kHwMonOption = 132;
constexpr int kTcgToolOption = 133;

const char kMainShortOptions[] = "0123H:vQCGD:I:R:T:V:A:PU:N:EB";
const LongOption kMainLongOptions[] = {
    {"help", kRequiredArgument, nullptr, 'H'},
    {"version", kNoArgument, nullptr, 'v'},
    {"query", kNoArgument, nullptr, 'Q'},
    {"create", kNoArgument, nullptr, 'C'},
    {"grow", kNoArgument, nullptr, 'G'},
    {"delete", kRequiredArgument, nullptr, 'D'},
    {"initialize", kRequiredArgument, nullptr, 'I'},
    {"rebuild", kRequiredArgument, nullptr, 'R'},
    {"transform", kRequiredArgument, nullptr, 'T'},
    {"verify", kRequiredArgument, nullptr, 'V'},
    {"array", kRequiredArgument, nullptr, 'A'},
    {"rescan", kNoArgument, nullptr, 'P'},
    {"unplug", kRequiredArgument, nullptr, 'U'},
    {"rename", kRequiredArgument, nullptr, 'N'},
    {"events", kNoArgument, nullptr, 'E'},
    {"bbu", kNoArgument, nullptr, 'B'},
    {"config", kRequiredArgument, nullptr, kConfigOption},
    {"flash", kRequiredArgument, nullptr, kFlashOption},
    {"pdcmd", kRequiredArgument, nullptr, kPdCommandOption},
    {"pcache", kNoArgument, nullptr, kPCacheOption},
    {"hwmon", kNoArgument, nullptr, kHwMonOption},
    {"tcgtool", kNoArgument, nullptr, kTcgToolOption},
    {nullptr, 0, nullptr, 0},
};

// The state every controller command reads: the domain, its driver, its disks and arrays.
bool startUp() {
    if (arkInitialize() != 0) return false;
    if (g_currentDomain < 0 || g_currentDomain >= arkGetDomainCount()) return false;
    g_driverInfo = ARK_DRIVER_INFO{};
    if (currentDomainRequest(ARK_REQ_GET_DRIVER_INFO, nullptr, 0, &g_driverInfo,
                             sizeof g_driverInfo) != 0)
        return false;
    g_pdCount = arkGetPDList(g_currentDomain, g_pdList, kDeviceListMax);
    if (g_pdCount < 0) return false;
    uint32_t returned = 0;
    if (currentDomainRequest(ARK_REQ_GET_LD_LIST, nullptr, 0, g_ldList, sizeof g_ldList,
                             &returned) == 0) {
        g_ldCount = static_cast<int>(returned / 4);
        if (g_ldCount > kDeviceListMax) g_ldCount = kDeviceListMax;
    } else {
        g_ldCount = -1;
    }
    return true;
}

int dispatch(int option, int argc, char** argv) {
    switch (option) {
        case 'Q':
            return queryCommand(argc, argv);
        case 'C':
        case 'G':
            return createCommand(argc, argv);
        case 'D':
            return deleteCommand(g_optArg);
        case 'I':
            return initializeCommand(argc, argv, g_optArg);
        case 'R':
            return rebuildCommand(argc, argv, g_optArg);
        case 'T':
            return transformCommand(argc, argv, g_optArg);
        case 'V':
            return verifyCommand(argc, argv, g_optArg);
        case 'A':
            return arrayPolicyCommand(argc, argv, g_optArg);
        case 'U':
            return unplugCommand(g_optArg);
        case 'N':
            return renameCommand(argc, argv, g_optArg);
        case 'P':
            return rescanCommand();
        case 'E':
            return eventsCommand();
        case 'B':
            return batteryCommand(argc, argv);
        case kFlashOption:
            return flashCommand(argc, argv, g_optArg);
        case kPdCommandOption:
            return pdCommand(argc, argv, g_optArg);
        case kConfigOption:
            return configCommand(g_optArg);
        case kPCacheOption:
            return pcacheCommand(argc, argv);
        case kHwMonOption:
            return hwmonCommand();
        case kTcgToolOption:
            // The tool sees its own option as argument 0 and everything after it.
            return tcgToolMain(argc - g_optIndex + 1, argv + g_optIndex - 1);
        default:
            return 1;  // no command behind this option
    }
}

}  // namespace

int utilMain(int argc, char** argv) {
    for (;;) {
        const int option = getoptLong(argc, argv, kMainShortOptions, kMainLongOptions);
        switch (option) {
            case -1:
                printHelp(g_optArg);
                return 1;
            case '?':
            case ':':
                g_optArg = nullptr;
                printHelp(nullptr);
                return 1;
            case '0':
            case '1':
            case '2':
            case '3':
                g_currentDomain = option - '0';
                continue;
            case 'H':
                printHelp(g_optArg);
                return 1;
            case 'v':
                std::printf("%s\n", kUtilVersion);
                return 0;
            default:
                break;
        }
        if (!startUp()) {
            std::printf("Initialization failed.\n");
            return 1;
        }
        return dispatch(option, argc, argv);
    }
}
