// Family profiles 11-22.
#include <iterator>

#include "smart_match.h"
#include "smart_rows.h"

namespace {

// Profile 11: signature 1, 5, 9, 12, 100, 102, 103, ...
constexpr SmartAttributeEntry kRows11[] = {
    {1, "Read Error Rate"},
    {5, "Retired Block Count"},
    {9, "Power-On Hours"},
    {12, "Power Cycle Count"},
    {100, "Gigabytes Erased"},
    {102, "Deep Sleep Entry Count"},
    {103, "Deep Sleep Exit Count"},
    {170, "Reserve Blocks Consumed"},
    {171, "Program Failures"},
    {172, "Erase Failures"},
    {173, "Mean Program/Erase Cycles"},
    {174, "Power Losses"},
    {177, "Wear Spread"},
    {183, "Link Speed Downshift Count"},
    {187, "Reported Uncorrectable Errors"},
    {194, "Temperature"},
    {195, "Corrected Read Errors"},
    {196, "Reallocated Event Count"},
    {199, "UltraDMA CRC Error Count"},
    {204, "Soft Errors Corrected"},
    {230, "Wear Curve Status"},
    {231, "Life Left"},
    {233, "Lifetime Flash Writes"},
    {234, "Lifetime Flash Reads"},
    {241, "Lifetime Host Writes"},
    {242, "Lifetime Host Reads"},
};

// Profile 12: "BarraCuda" SSDs of the family of profile 10
constexpr SmartAttributeEntry kRows12[] = {
    {1, "Read Error Rate"},
    {5, "Retired Block Count"},
    {9, "Power-On Hours"},
    {12, "Power Cycle Count"},
    {16, "Spare Blocks Available"},
    {17, "Remaining Spare Blocks"},
    {168, "Phy Error Count"},
    {170, "Grown Bad Block Count"},
    {173, "Mean Program/Erase Cycles"},
    {174, "Power Loss Without Shutdown"},
    {177, "Wear Range Delta"},
    {192, "Unsafe Shutdown Count"},
    {194, "Temperature"},
    {218, "Interface CRC Errors"},
    {230, "Wear Curve Status"},
    {231, "Remaining Life"},
    {232, "Available Reserved Space"},
    {233, "NAND Writes in Gigabytes"},
    {234, "Total NAND Reads"},
    {235, "Good Block Count"},
    {241, "Total Host Writes"},
    {242, "Total Host Reads"},
    {243, "Total Host Writes, High Part"},
    {244, "Average Erase Count"},
    {245, "Maximum Erase Count"},
    {246, "Total Erase Count"},
    {248, "Remaining Life in Percent"},
    {249, "Spare Blocks Remaining in Percent"},
};

// Profile 13: early flash modules
constexpr SmartAttributeEntry kRows13[] = {
    {187, "Total Erase Count"},
};

// Profile 14: SSDs of a maker that also makes hard disks
constexpr SmartAttributeEntry kRows14[] = {
    {1, "Read Error Rate"},
    {2, "Throughput Performance"},
    {3, "Spin Up Time"},
    {5, "Reallocated Sector Count"},
    {7, "Seek Error Rate"},
    {8, "Seek Time Performance"},
    {9, "Power-On Hours"},
    {10, "Spin Retry Count"},
    {12, "Power Cycle Count"},
    {167, "Protection Mode Status"},
    {168, "SATA PHY Error Count"},
    {169, "Defective Block Count"},
    {173, "Erase Cycle Count"},
    {175, "Bad Cluster Table Size"},
    {192, "Unsafe Shutdown Count"},
    {194, "Temperature"},
    {197, "Current Pending Sector Count"},
    {240, "Write Operation Hours"},
    {241, "Total Host Writes"},
    {242, "Total Host Reads"},
    {243, "Lifetime Host Writes, High Part"},
    {246, "Spare Blocks Remaining in Percent"},
};

// Profile 15: signature 1, 2, 3, 5, 7, 8, 9, 10, 12, 167, 168, 169, 170, 173, 175
constexpr SmartAttributeEntry kRows15[] = {
    {1, "Read Error Rate"},
    {2, "Throughput Performance"},
    {3, "Spin Up Time"},
    {5, "Reallocated Sector Count"},
    {7, "Seek Error Rate"},
    {8, "Seek Time Performance"},
    {9, "Power-On Hours"},
    {10, "Spin Retry Count"},
    {12, "Power Cycle Count"},
    {167, "Protection Mode Status"},
    {168, "SATA PHY Error Count"},
    {169, "Bad Block Count"},
    {170, "Bad Block Count Detail"},
    {173, "Erase Count"},
    {175, "Bad Cluster Table Size"},
    {192, "Unsafe Shutdown Count"},
    {194, "Temperature"},
    {197, "Current Pending Sector Count"},
    {240, "Write Hours"},
    {241, "Total Host Writes"},
    {242, "Total Host Reads"},
    {243, "Lifetime Host Writes, High Part"},
    {244, "Lifetime Host Reads, High Part"},
};

// Profile 16: signature 1, 2, 3, 5, 7, 8, 9, 10, 12, 168, 175, 192, 194
constexpr SmartAttributeEntry kRows16[] = {
    {1, "Read Error Rate"},
    {2, "Throughput Performance"},
    {3, "Spin Up Time"},
    {5, "Reallocated Sector Count"},
    {7, "Seek Error Rate"},
    {8, "Seek Time Performance"},
    {9, "Power-On Hours"},
    {10, "Spin Retry Count"},
    {12, "Power Cycle Count"},
    {168, "SATA PHY Error Count"},
    {175, "Bad Cluster Table Size"},
    {192, "Unsafe Shutdown Count"},
    {194, "Temperature"},
    {197, "Current Pending Sector Count"},
    {240, "Write Hours"},
    {241, "Total Host Writes"},
};

// Profile 17: signature 12, 9, 194, 229, 232, 233
constexpr SmartAttributeEntry kRows17[] = {
    {9, "Power-On Hours"},
    {12, "Power Cycle Count"},
    {194, "Temperature"},
    {229, "Halt System ID, Flash ID"},
    {232, "Firmware Build Number"},
    {233, "ECC Failure Log"},
    {234, "Mean and Highest Erase Count"},
    {235, "Usable and System Blocks"},
};

// Profile 18: signature 1, 9, 12, 184, 195, 196
constexpr SmartAttributeEntry kRows18[] = {
    {1, "Read Error Rate"},
    {9, "Power-On Hours"},
    {12, "Power Cycle Count"},
    {184, "Initial Bad Block Count"},
    {195, "Program Failure Block Count"},
    {196, "Erase Failure Block Count"},
    {197, "Read Failure Block Count"},
    {198, "Total Read Count"},
    {199, "Total Write Count"},
    {200, "Total Erase Count"},
    {201, "Total Erase Count of System Blocks"},
    {202, "Remaining Life"},
    {203, "Spare Block Count"},
    {204, "Error Correction Count"},
    {205, "Worst Block Erase Count"},
    {206, "Lowest Block Erase Count"},
    {207, "Average Block Erase Count"},
    {208, "Flash Read Retry Count"},
    {209, "Temperature"},
    {210, "Unsafe Shutdown Count"},
};

// Profile 19: one data-centre boot-drive line
constexpr SmartAttributeEntry kRows19[] = {
    {5, "Retired Block Count"},
    {9, "Power-On Hours"},
    {12, "Power Cycle Count"},
    {170, "Reserve Space Left"},
    {171, "Program Fail Count"},
    {172, "Erase Fail Count"},
    {174, "Power Loss Count"},
    {175, "Capacitor Self-Test"},
    {183, "Link Speed Downshift Count"},
    {184, "End-to-End Error"},
    {187, "Reported Uncorrectable Errors"},
    {190, "Airflow Temperature"},
    {192, "Unsafe Shutdown Count"},
    {194, "Temperature"},
    {197, "Current Pending Sector Count"},
    {199, "UltraDMA CRC Error Count"},
    {225, "Host Write Units"},
    {226, "Workload Media Wear"},
    {227, "Workload Read Share"},
    {228, "Workload Minutes"},
    {232, "Available Reserved Space"},
    {233, "Media Wearout Indicator"},
    {234, "Thermal Throttle Status"},
    {235, "Power Loss Capacitor Health"},
    {241, "Host Writes, Lifetime"},
    {242, "Host Reads, Lifetime"},
    {243, "NAND Write Units"},
};

// Profile 20: models with a processor maker's name, or its attribute signatures
constexpr SmartAttributeEntry kRows20[] = {
    {3, "Spin Up Time"},
    {4, "Start Stop Count"},
    {5, "Retired Block Count"},
    {9, "Power-On Hours"},
    {12, "Power Cycle Count"},
    {170, "Available Reserved Space"},
    {171, "Program Fail Count"},
    {172, "Erase Fail Count"},
    {173, "Wear Leveling Count"},
    {174, "Power Loss Count"},
    {175, "Capacitor Self-Test"},
    {183, "Link Speed Downshift Count"},
    {184, "End-to-End Error"},
    {187, "Reported Uncorrectable Errors"},
    {190, "Case Temperature"},
    {192, "Unsafe Shutdown Count"},
    {194, "Temperature"},
    {197, "Current Pending Sector Count"},
    {199, "UltraDMA CRC Error Count"},
    {225, "Host Write Units"},
    {226, "Workload Media Wear"},
    {227, "Workload Read Share"},
    {228, "Workload Minutes"},
    {232, "Available Reserved Space"},
    {233, "Media Wearout Indicator"},
    {241, "Host Writes, Lifetime"},
    {242, "Host Reads, Lifetime"},
    {249, "NAND Write Units"},
    {252, "Newly Added Bad Block Count"},
};

// Profile 21: SSDs of a large memory maker, or its signatures
constexpr SmartAttributeEntry kRows21[] = {
    {5, "Reallocated Sector Count"},
    {9, "Power-On Hours"},
    {12, "Power Cycle Count"},
    {170, "Unused Reserve Blocks"},
    {171, "Program Fail Count"},
    {172, "Erase Fail Count"},
    {173, "Wear Level Average"},
    {174, "Unexpected Power Loss Count"},
    {175, "Program Failures in Worst Chip"},
    {176, "Erase Failures in Worst Chip"},
    {177, "Wear Leveling Count"},
    {178, "Reserve Blocks Used in Worst Chip"},
    {179, "Reserve Blocks Used"},
    {180, "Reserve Blocks Unused"},
    {181, "Program Failures in All"},
    {182, "Erase Failures in All"},
    {183, "Runtime Bad Blocks"},
    {184, "End-to-End Error"},
    {187, "Reported Uncorrectable Errors"},
    {190, "Airflow Temperature"},
    {194, "Temperature"},
    {195, "Hardware ECC Recovered"},
    {196, "Reallocated Event Count"},
    {198, "Uncorrectable Sector Count"},
    {199, "UltraDMA CRC Error Count"},
    {202, "Fault Mode State"},
    {233, "Media Wearout Indicator"},
    {235, "Power Recovery Count"},
    {241, "Host LBAs Written"},
    {242, "Host LBAs Read"},
};

// Profile 22: one memory maker's later client and data-centre lines
constexpr SmartAttributeEntry kRows22[] = {
    {1, "Read Error Rate"},
    {5, "Retired Block Count"},
    {9, "Power-On Hours"},
    {12, "Power Cycle Count"},
    {171, "Program Fail Total"},
    {172, "Erase Fail Total"},
    {173, "Mean Erases per Block"},
    {174, "Unclean Power Down Count"},
    {180, "Reserve Blocks Unused"},
    {183, "Link Speed Downshift Count"},
    {184, "End-to-End Error"},
    {187, "Reported Uncorrectable Errors"},
    {194, "Temperature"},
    {196, "Reallocated Event Count"},
    {197, "Current Pending Sector Count"},
    {198, "Uncorrectable Sector Count"},
    {199, "UltraDMA CRC Error Count"},
    {202, "Life Remaining in Percent"},
    {206, "Write Error Rate"},
    {210, "Parity Recovery Count"},
    {223, "Controller Reset Count"},
    {246, "Total Host Sector Writes"},
    {247, "Pages Programmed by Host"},
    {248, "Pages Programmed in Background"},
    {185, "Wear Leveling Reserve"},
    {233, "Flash Pages Written"},
    {234, "Flash Pages Read"},
    {241, "Host Sectors Written"},
};

}  // namespace

constinit const SmartProfile smartProfile11 = {std::size(kRows11), kRows11, smartMatch11};
constinit const SmartProfile smartProfile12 = {std::size(kRows12), kRows12, smartMatch12};
constinit const SmartProfile smartProfile13 = {std::size(kRows13), kRows13, smartMatch13};
constinit const SmartProfile smartProfile14 = {std::size(kRows14), kRows14, smartMatch14};
constinit const SmartProfile smartProfile15 = {std::size(kRows15), kRows15, smartMatch15};
constinit const SmartProfile smartProfile16 = {std::size(kRows16), kRows16, smartMatch16};
constinit const SmartProfile smartProfile17 = {std::size(kRows17), kRows17, smartMatch17};
constinit const SmartProfile smartProfile18 = {std::size(kRows18), kRows18, smartMatch18};
constinit const SmartProfile smartProfile19 = {std::size(kRows19), kRows19, smartMatch19};
constinit const SmartProfile smartProfile20 = {std::size(kRows20), kRows20, smartMatch20};
constinit const SmartProfile smartProfile21 = {std::size(kRows21), kRows21, smartMatch21};
constinit const SmartProfile smartProfile22 = {std::size(kRows22), kRows22, smartMatch22};
