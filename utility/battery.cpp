// --bbu: the cache battery unit's status, or a command to it.

#include <cstdio>

#include "ark.h"
#include "commands.h"
#include "option_parser.h"
#include "selection.h"

namespace {

const LongOption kBatteryOptions[] = {
    {"discharge", kNoArgument, nullptr, 'd'},
    {"stop", kNoArgument, nullptr, 's'},
    {"disable", kNoArgument, nullptr, 'D'},
    {nullptr, 0, nullptr, 0},
};

// Hundredths as "%d.%1d", with a '-' in front of a negative value.
void printTenths(int hundredths) {
    if (hundredths < 0) std::printf("-");
    const int magnitude = hundredths < 0 ? -hundredths : hundredths;
    std::printf("%d.%1d\n", magnitude / 100, magnitude % 100 / 10);
}

}  // namespace

int batteryCommand(int argc, char** argv) {
    int command = -1;
    for (;;) {
        const int option = getoptLong(argc, argv, "dsD", kBatteryOptions);
        if (option == -1) break;
        switch (option) {
            case 'd':
                command = ARK_BBU_CMD_START_LEARN;
                break;
            case 's':
                command = ARK_BBU_CMD_STOP_LEARN;
                break;
            case 'D':
                command = ARK_BBU_CMD_DISABLE;
                break;
            default:
                std::printf("invalid option\n");
                return 1;
        }
    }
    const uint32_t controller = 0;
    ARK_BBU_INFO bbu{};
    if (currentDomainRequest(ARK_REQ_GET_BBU_INFO, &controller, sizeof controller, &bbu,
                             sizeof bbu) != 0) {
        std::printf("fail to get BBU info\n");
        return 1;
    }
    if (bbu.bbu_installed == 0) {
        std::printf("BBU not installed\n");
        return 1;
    }
    if (command >= 0) {
        arkSetBBUStatus(g_currentDomain, static_cast<uint32_t>(command));  // refusals not shown
        return 0;
    }
    const char* state = (bbu.bbu_status & ARK_BBU_FAULTED)   ? "Faulted "
                        : (bbu.bbu_status & ARK_BBU_ENABLED) ? "Enabled"
                                                             : "Disabled";
    std::printf("BBU status:      %s%s%s\n", state,
                (bbu.bbu_status & ARK_BBU_CHARGING) ? ", Charging" : "",
                (bbu.bbu_status & ARK_BBU_DISCHARGING) ? ", Discharging" : "");
    std::printf("BBU voltage:     %d.%02dV\n", bbu.voltage_mv / 1000, bbu.voltage_mv % 1000 / 10);
    std::printf("BBU temperature: ");
    printTenths(bbu.temperature);
    return 0;
}
