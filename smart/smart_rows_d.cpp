// Family profiles 34-45.
#include <iterator>

#include "smart_match.h"
#include "smart_rows.h"

namespace {

// Profile 34: signature 1, 5, 9, 12, 161, 162, 163, 164, 166, 167
constexpr SmartAttributeEntry kRows34[] = {
    {1, "Read Error Rate"},
    {5, "Retired Block Count"},
    {9, "Power-On Hours"},
    {12, "Power Cycle Count"},
    {160, "Uncorrectable Sectors Seen"},
    {161, "Good Spare Blocks"},
    {162, "Blocks in Spare Pool"},
    {163, "Bad Blocks Before Use"},
    {164, "Erase Count of All Blocks"},
    {165, "Erase Count of Busiest Block"},
    {166, "Erase Count of Least Used Block"},
    {167, "Erase Count per Block, Mean"},
    {168, "Rated Erase Cycles"},
    {169, "Remaining Endurance in Percent"},
    {170, "Reserved Block Count"},
    {171, "Program Fail Count"},
    {172, "Erase Fail Count"},
    {174, "Unexpected Power Loss Count"},
    {175, "Program Failures in Worst Chip"},
    {176, "Erase Failures in Worst Chip"},
    {177, "Wear Range Delta"},
    {178, "Read Failure Count"},
    {181, "Program Fail Count"},
    {182, "Erase Fail Count"},
    {187, "Reported Uncorrectable Errors"},
    {192, "Unsafe Shutdown Count"},
    {194, "Temperature"},
    {195, "Hardware ECC Recovered"},
    {199, "UltraDMA CRC Error Count"},
    {241, "Written by Host"},
    {242, "Read by Host"},
};

// Profile 35: the same memory-module maker's other lines
constexpr SmartAttributeEntry kRows35[] = {
    {1, "Read Error Rate"},
    {5, "Retired Block Count"},
    {9, "Power-On Hours"},
    {12, "Power Cycle Count"},
    {100, "Gigabytes Erased"},
    {101, "Blocks Bad When Made"},
    {167, "Write Protect Reason"},
    {168, "SATA PHY Error Count"},
    {169, "Bad Block Percentage"},
    {170, "Grown Bad Blocks"},
    {171, "Program Fail Count"},
    {172, "Erase Fail Count"},
    {173, "Erase Average"},
    {174, "Unexpected Power Loss Count"},
    {175, "Bad Cluster Table Size"},
    {177, "Wear Range Delta"},
    {181, "Program Fail Count"},
    {182, "Erase Fail Count"},
    {187, "Uncorrectable Errors Reported"},
    {192, "Unsafe Shutdown Count"},
    {194, "Temperature"},
    {195, "Hardware ECC Recovered"},
    {196, "Reallocated Event Count"},
    {199, "UltraDMA CRC Error Count"},
    {218, "Interface CRC Errors"},
    {231, "Life Left"},
    {241, "Host Gigabytes Written"},
    {242, "Host Gigabytes Read"},
};

// Profile 36: one memory maker's SSDs
constexpr SmartAttributeEntry kRows36[] = {
    {1, "Read Error Rate"},
    {5, "Retired Block Count"},
    {9, "Power-On Hours"},
    {12, "Power Cycle Count"},
    {100, "Gigabytes Erased"},
    {101, "Bad Block Count at Manufacture"},
    {160, "Uncorrectable Sector Count"},
    {161, "Spare Blocks Left"},
    {163, "Initial Bad Block Count"},
    {164, "Erases in All"},
    {165, "Highest Erase Count"},
    {166, "Lowest Erase Count"},
    {167, "Average Block Erase Count"},
    {168, "Rated Erase Cycles"},
    {169, "Remaining Life in Percent"},
    {170, "Reserve Blocks Available"},
    {171, "Program Failure Count, Lifetime"},
    {172, "Erase Failure Count, Lifetime"},
    {173, "Wear Level"},
    {174, "Unexpected Power Off Count"},
    {175, "Power Loss Protection Failure"},
    {176, "Erase Failures in Worst Chip"},
    {177, "Wear Range Delta"},
    {178, "Reserve Blocks Used in Worst Chip"},
    {179, "Used Reserved Block Count"},
    {180, "Unused Reserved Block Count"},
    {181, "Program Failure Count, Runtime"},
    {182, "Erase Failure Count, Runtime"},
    {183, "Link Speed Downshift Count"},
    {184, "End-to-End Error"},
    {187, "Reported Uncorrectable Errors"},
    {188, "Command Timeout Count"},
    {192, "Unsafe Shutdown Count"},
    {194, "Temperature"},
    {195, "Hardware ECC Recovered"},
    {196, "Reallocated Event Count"},
    {199, "UltraDMA CRC Error Count"},
    {241, "Host Write Volume"},
};

// Profile 37: one flash maker's SSDs
constexpr SmartAttributeEntry kRows37[] = {
    {1, "Read Error Rate"},          {5, "Remapped Block Count"},
    {9, "Power-On Hours"},           {12, "Power Cycle Count"},
    {167, "Protection Mode Status"}, {173, "Erase Cycle Count"},
    {192, "Unsafe Shutdown Count"},  {194, "Temperature"},
    {241, "Host Write Volume"},
};

// Profile 38: controllers with the five signatures, and their module makers
constexpr SmartAttributeEntry kRows38[] = {
    {1, "Read Error Rate"},
    {5, "Retired Block Count"},
    {9, "Power-On Hours"},
    {12, "Power Cycle Count"},
    {148, "SLC Erases in All"},
    {149, "Highest SLC Erase Count"},
    {150, "Lowest SLC Erase Count"},
    {151, "Mean SLC Erase Count"},
    {159, "Memory Single-Bit Errors"},
    {160, "Uncorrectable Sectors Found"},
    {161, "Valid Spare Block Count"},
    {163, "Initial Bad Block Count"},
    {164, "Erases in All"},
    {165, "Highest Erase Count"},
    {166, "Lowest Erase Count"},
    {167, "Average Block Erase Count"},
    {168, "Erase Cycle Limit"},
    {169, "Life Percentage Remaining"},
    {175, "Program Failures in Worst Chip"},
    {176, "Erase Failures in Worst Chip"},
    {177, "Wear Range Delta"},
    {178, "Reserve Blocks Used in Worst Chip"},
    {181, "Program Fail Count"},
    {182, "Erase Fail Count"},
    {187, "Reported Uncorrectable Errors"},
    {192, "Unsafe Shutdown Count"},
    {194, "Temperature"},
    {195, "Hardware ECC Recovered"},
    {196, "Reallocated Event Count"},
    {197, "Sectors Waiting for Remap"},
    {198, "Offline Uncorrectable Sectors"},
    {199, "UltraDMA CRC Error Count"},
    {232, "Spare Capacity Left"},
    {233, "NAND Writes in Gigabytes"},
    {241, "Host Writes in Gigabytes"},
    {242, "Host Reads in Gigabytes"},
    {245, "Flash Write Sector Count"},
};

// Profile 39: signature 1, 9, 12, 168, 170, 173, 192, (194,) 218, 231, 241
constexpr SmartAttributeEntry kRows39[] = {
    {1, "Read Error Rate"},          {9, "Power-On Hours"},
    {12, "Power Cycle Count"},       {168, "SATA PHY Error Count"},
    {170, "Bad Block Total"},        {173, "Erase Cycles"},
    {192, "Unsafe Shutdown Count"},  {194, "Temperature"},
    {218, "Link Integrity Errors"},  {231, "Life Percentage Left"},
    {241, "Host Gigabytes Written"},
};

// Profile 40: signatures 5, 9, 12, (161,) 164, 165, 166, 167
constexpr SmartAttributeEntry kRows40[] = {
    {5, "Retired Block Count"},        {9, "Power-On Hours"},        {12, "Power Cycle Count"},
    {161, "Spare Blocks Usable"},      {164, "Sum of Erase Counts"}, {165, "Largest Erase Count"},
    {166, "Smallest Erase Count"},     {167, "Typical Erase Count"}, {194, "Temperature"},
    {199, "UltraDMA CRC Error Count"}, {241, "Host Write Total"},    {242, "Total Host Reads"},
};

// Profile 41: one controller maker's lines, or signature 5, 9, 12, 167, 168, 169
constexpr SmartAttributeEntry kRows41[] = {
    {1, "Read Error Rate"},
    {5, "Retired Block Count"},
    {9, "Power-On Hours"},
    {12, "Power Cycle Count"},
    {160, "Uncorrectable Sectors, Lifetime"},
    {161, "Usable Spare Blocks"},
    {163, "Factory Bad Blocks"},
    {164, "Erase Count, All Blocks"},
    {165, "Erase Count, Busiest Block"},
    {166, "Erase Count, Idlest Block"},
    {167, "Erase Count, Mean"},
    {168, "Erase Cycle Rating"},
    {169, "Life Left"},
    {171, "Program Fail Count"},
    {172, "Erase Fail Count"},
    {174, "Unexpected Power Loss Count"},
    {175, "Program Failures in Worst Chip"},
    {176, "Erase Failures in Worst Chip"},
    {177, "Wear Range Delta"},
    {181, "Program Fail Count"},
    {182, "Erase Fail Count"},
    {187, "Reported Uncorrectable Errors"},
    {192, "Unsafe Shutdown Count"},
    {194, "Temperature"},
    {195, "Hardware ECC Recovered"},
    {196, "Reallocated Event Count"},
    {199, "UltraDMA CRC Error Count"},
    {241, "Host Writes in Gigabytes"},
    {242, "Host Reads in Gigabytes"},
};

// Profile 42: one industrial maker's SSDs and firmware lines
constexpr SmartAttributeEntry kRows42[] = {
    {1, "Read Error Rate"},       {5, "Retired Block Count"},      {9, "Power-On Hours"},
    {12, "Power Cycle Count"},    {163, "Bad Blocks at Shipment"}, {164, "Sum of Erase Counts"},
    {165, "Largest Erase Count"}, {166, "Smallest Erase Count"},   {167, "Typical Erase Count"},
    {169, "Health Percentage"},   {192, "Unsafe Shutdown Count"},  {194, "Temperature"},
    {241, "Total Host Writes"},   {242, "Total Host Reads"},
};

// Profile 43: one memory maker's consumer brand
constexpr SmartAttributeEntry kRows43[] = {
    {1, "Read Error Rate"},
    {5, "Retired Block Count"},
    {9, "Power-On Hours"},
    {12, "Power Cycle Count"},
    {160, "Read Failures Not Recovered"},
    {161, "Spare Blocks Ready"},
    {163, "Bad Blocks from Factory"},
    {164, "Cumulative Block Erases"},
    {165, "Most Erases on a Block"},
    {166, "Fewest Erases on a Block"},
    {167, "Erases per Block on Average"},
    {168, "Erase Cycle Rating"},
    {169, "Life Left"},
    {171, "Program Fail Count"},
    {172, "Erase Fail Count"},
    {174, "Unexpected Power Loss Count"},
    {175, "Program Failures in Worst Chip"},
    {176, "Erase Failures in Worst Chip"},
    {177, "Wear Range Delta"},
    {181, "Program Fail Count"},
    {182, "Erase Fail Count"},
    {187, "Reported Uncorrectable Errors"},
    {192, "Unsafe Shutdown Count"},
    {194, "Temperature"},
    {195, "Hardware ECC Recovered"},
    {196, "Reallocated Event Count"},
    {199, "UltraDMA CRC Error Count"},
    {232, "Spare Capacity Left"},
    {241, "Host Gigabytes Written"},
    {242, "Host Gigabytes Read"},
};

// Profile 44: one industrial maker's SSDs
constexpr SmartAttributeEntry kRows44[] = {
    {1, "Read Error Rate"},
    {5, "Retired Block Count"},
    {9, "Power-On Hours"},
    {12, "Power Cycle Count"},
    {160, "Unrecoverable Read Count"},
    {161, "Spare Block Total"},
    {163, "Original Bad Blocks"},
    {164, "Erase Count Total"},
    {165, "Erase Count Highest"},
    {166, "Erase Count Lowest"},
    {167, "Erase Count Average"},
    {168, "Endurance Rating"},
    {169, "Wear Remaining in Percent"},
    {177, "Wear Range Delta"},
    {181, "Program Fail Count"},
    {182, "Erase Fail Count"},
    {187, "Reported Uncorrectable Errors"},
    {192, "Unsafe Shutdown Count"},
    {194, "Temperature"},
    {195, "Hardware ECC Recovered"},
    {199, "UltraDMA CRC Error Count"},
    {241, "Host Data Written"},
    {242, "Host Data Read"},
};

// Profile 45: one data-centre maker's SSDs
constexpr SmartAttributeEntry kRows45[] = {
    {1, "Read Error Rate"},
    {5, "Retired Block Count"},
    {9, "Power-On Hours"},
    {12, "Power Cycle Count"},
    {160, "Sectors Lost to Errors"},
    {161, "Spare Blocks on Hand"},
    {163, "Bad Blocks on Delivery"},
    {164, "Block Erases in All"},
    {165, "Block Erases at Most"},
    {166, "Block Erases at Least"},
    {167, "Block Erases on Average"},
    {169, "Lifetime Left in Percent"},
    {174, "Power Loss Count"},
    {175, "Capacitor Self-Test"},
    {187, "Reported Uncorrectable Errors"},
    {192, "Unsafe Shutdown Count"},
    {194, "Temperature"},
    {195, "Hardware ECC Recovered"},
    {199, "UltraDMA CRC Error Count"},
    {241, "Host Writes, Lifetime"},
    {242, "Host Reads, Lifetime"},
};

}  // namespace

constinit const SmartProfile smartProfile34 = {std::size(kRows34), kRows34, smartMatch34};
constinit const SmartProfile smartProfile35 = {std::size(kRows35), kRows35, smartMatch35};
constinit const SmartProfile smartProfile36 = {std::size(kRows36), kRows36, smartMatch36};
constinit const SmartProfile smartProfile37 = {std::size(kRows37), kRows37, smartMatch37};
constinit const SmartProfile smartProfile38 = {std::size(kRows38), kRows38, smartMatch38};
constinit const SmartProfile smartProfile39 = {std::size(kRows39), kRows39, smartMatch39};
constinit const SmartProfile smartProfile40 = {std::size(kRows40), kRows40, smartMatch40};
constinit const SmartProfile smartProfile41 = {std::size(kRows41), kRows41, smartMatch41};
constinit const SmartProfile smartProfile42 = {std::size(kRows42), kRows42, smartMatch42};
constinit const SmartProfile smartProfile43 = {std::size(kRows43), kRows43, smartMatch43};
constinit const SmartProfile smartProfile44 = {std::size(kRows44), kRows44, smartMatch44};
constinit const SmartProfile smartProfile45 = {std::size(kRows45), kRows45, smartMatch45};
