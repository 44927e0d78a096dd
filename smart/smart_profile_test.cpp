#include "smart_profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using Rows = std::vector<std::pair<int, std::string>>;

Rows rowsOf(const SmartProfile* profile) {
    Rows rows;
    for (uint32_t i = 0; i < profile->count; ++i)
        rows.emplace_back(profile->entries[i].id, profile->entries[i].name);
    return rows;
}

TEST(SmartProfiles, EntryCountsPerProfile) {
    const uint32_t expected[kSmartProfileCount] = {58, 25, 25, 19, 28, 28, 24, 15, 30, 30, 28, 26,
                                                   28, 1,  22, 23, 16, 8,  20, 27, 29, 30, 28, 46,
                                                   28, 30, 35, 30, 30, 26, 30, 26, 25, 14, 31, 28,
                                                   38, 9,  37, 11, 12, 29, 14, 30, 23, 21, 21, 15};
    size_t total = 0;
    std::set<std::string> names;
    for (size_t i = 0; i < kSmartProfileCount; ++i) {
        SCOPED_TRACE(testing::Message() << "profile " << i);
        ASSERT_NE(smartProfiles[i], nullptr);
        EXPECT_EQ(smartProfiles[i]->count, expected[i]);
        for (const auto& [id, name] : rowsOf(smartProfiles[i])) {
            EXPECT_NE(id, 0);
            EXPECT_FALSE(name.empty());
            EXPECT_NE(name, "Unknown Attribute");
            names.insert(name);
        }
        total += smartProfiles[i]->count;
    }
    EXPECT_EQ(total, 1207u);
    EXPECT_EQ(names.size(), 382u);
}

// Every profile that a rule may pick has one; the NVMe names are only reached directly, and the
// default profile is empty.
TEST(SmartProfiles, MatchRulesAndDefault) {
    for (size_t i = 0; i + 1 < kSmartProfileCount; ++i) {
        SCOPED_TRACE(testing::Message() << "profile " << i);
        EXPECT_NE(smartProfiles[i]->match, nullptr);
    }
    EXPECT_EQ(smartProfiles[47]->match, nullptr);
    EXPECT_EQ(smartDefaultProfile.count, 0u);
    EXPECT_EQ(smartDefaultProfile.match, nullptr);
}

TEST(SmartProfiles, QuotedRowsVerbatim) {
    const Rows hardDisk = {{1, "Read Error Rate"},
                           {2, "Throughput Performance"},
                           {3, "Spin Up Time"},
                           {4, "Start Stop Count"},
                           {5, "Reallocated Sector Count"},
                           {6, "Read Channel Margin"},
                           {7, "Seek Error Rate"},
                           {8, "Seek Time Performance"},
                           {9, "Power-On Hours"},
                           {10, "Spin Retry Count"},
                           {11, "Recalibration Retries"},
                           {12, "Power Cycle Count"},
                           {13, "Soft Read Error Rate"},
                           {22, "Current Helium Level"},
                           {184, "End-to-End Error"},
                           {187, "Reported Uncorrectable Errors"},
                           {188, "Command Timeout Count"},
                           {189, "High Fly Writes"},
                           {190, "Airflow Temperature"},
                           {191, "G-Sense Error Rate"},
                           {192, "Power-Off Retract Count"},
                           {193, "Load/Unload Cycle Count"},
                           {194, "Temperature"},
                           {195, "Hardware ECC Recovered"},
                           {196, "Reallocated Event Count"},
                           {197, "Current Pending Sector Count"},
                           {198, "Uncorrectable Sector Count"},
                           {199, "UltraDMA CRC Error Count"},
                           {200, "Write Error Rate"},
                           {201, "Soft Read Error Rate"},
                           {202, "Data Address Mark Error"},
                           {203, "Run Out Cancel"},
                           {204, "Soft ECC Correction"},
                           {205, "Thermal Asperity Rate"},
                           {206, "Flying Height"},
                           {207, "Spin High Current"},
                           {208, "Spin Buzz"},
                           {209, "Offline Seek Performance"},
                           {211, "Vibration During Write"},
                           {212, "Shock During Write"},
                           {220, "Disk Shift"},
                           {221, "G-Sense Error Rate"},
                           {222, "Loaded Hours"},
                           {223, "Load/Unload Retry Count"},
                           {224, "Load Friction"},
                           {225, "Load/Unload Cycle Count"},
                           {226, "Load In-time"},
                           {227, "Torque Amplification Count"},
                           {228, "Power-Off Retract Count"},
                           {230, "GMR Head Amplitude"},
                           {231, "Temperature"},
                           {232, "Available Reserved Space"},
                           {233, "Media Wearout Indicator"},
                           {240, "Head Flying Hours"},
                           {241, "Total Host Writes"},
                           {242, "Total Host Reads"},
                           {250, "Read Error Retry Rate"},
                           {254, "Free Fall Protection"}};
    const Rows otherSsd = {{1, "Read Error Rate"},
                           {2, "Throughput Performance"},
                           {3, "Spin Up Time"},
                           {4, "Start Stop Count"},
                           {5, "Reallocated Sector Count"},
                           {6, "Read Channel Margin"},
                           {7, "Seek Error Rate"},
                           {8, "Seek Time Performance"},
                           {9, "Power-On Hours"},
                           {10, "Spin Retry Count"},
                           {11, "Recalibration Retries"},
                           {12, "Power Cycle Count"},
                           {13, "Soft Read Error Rate"},
                           {192, "Unsafe Shutdown Count"},
                           {194, "Temperature"},
                           {196, "Reallocated Event Count"},
                           {197, "Current Pending Sector Count"},
                           {198, "Uncorrectable Sector Count"},
                           {255, "Remaining Life"},
                           {241, "Total Host Writes"},
                           {242, "Total Host Reads"}};
    const Rows nvme = {{1, "Critical Warning"},
                       {2, "Composite Temperature"},
                       {3, "Available Spare"},
                       {4, "Available Spare Threshold"},
                       {5, "Percentage Used"},
                       {6, "Data Units Read"},
                       {7, "Data Units Written"},
                       {8, "Host Reads"},
                       {9, "Host Writes"},
                       {10, "Controller Busy Time"},
                       {11, "Power Cycle Count"},
                       {12, "Power-On Hours"},
                       {13, "Unsafe Shutdown Count"},
                       {14, "Media and Data Integrity Errors"},
                       {15, "Number of Error Information Log Entries"}};
    EXPECT_EQ(rowsOf(smartProfiles[0]), hardDisk);
    EXPECT_EQ(rowsOf(smartProfiles[46]), otherSsd);
    EXPECT_EQ(rowsOf(smartProfiles[47]), nvme);
    EXPECT_EQ(rowsOf(smartProfiles[13]), (Rows{{187, "Total Erase Count"}}));

    const Rows profile6Start = {{5, "Retired Block Count"},
                                {9, "Power-On Hours"},
                                {13, "Count of Uncorrectable ECC Errors"},
                                {32, "Write Amplification multiplied by 100"}};
    const Rows profile17Start = {{9, "Power-On Hours"},
                                 {12, "Power Cycle Count"},
                                 {194, "Temperature"},
                                 {229, "Halt System ID, Flash ID"}};
    Rows rows6 = rowsOf(smartProfiles[6]);
    Rows rows17 = rowsOf(smartProfiles[17]);
    EXPECT_EQ(Rows(rows6.begin(), rows6.begin() + 4), profile6Start);
    EXPECT_EQ(Rows(rows17.begin(), rows17.begin() + 4), profile17Start);
}

TEST(SmartAttributeName, FirstRowInStoredOrderElseUnknown) {
    struct Case {
        int profile;  // -1: the default profile, -2: no profile at all
        uint8_t id;
        const char* name;
    } cases[] = {
        {0, 13, "Soft Read Error Rate"},  {0, 201, "Soft Read Error Rate"},
        {0, 254, "Free Fall Protection"}, {0, 0, "Unknown Attribute"},
        {0, 255, "Unknown Attribute"},    {46, 255, "Remaining Life"},
        {46, 242, "Total Host Reads"},    {47, 15, "Number of Error Information Log Entries"},
        {47, 16, "Unknown Attribute"},    {13, 187, "Total Erase Count"},
        {13, 9, "Unknown Attribute"},     {-1, 9, "Unknown Attribute"},
        {-2, 9, "Unknown Attribute"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "profile " << c.profile << " id " << int(c.id));
        const SmartProfile* profile = c.profile >= 0    ? smartProfiles[c.profile]
                                      : c.profile == -1 ? &smartDefaultProfile
                                                        : nullptr;
        EXPECT_STREQ(smartAttributeName(c.id, profile), c.name);
    }
}

}  // namespace
