// The profiles for hard disks, for SSDs that match no family, and for NVMe health values.
#include <iterator>

#include "smart_match.h"
#include "smart_rows.h"

namespace {

// Profile 0: disks that are not SSDs
constexpr SmartAttributeEntry kRows0[] = {
    {1, "Read Error Rate"},
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
    {254, "Free Fall Protection"},
};

// Profile 46: any other SSD
constexpr SmartAttributeEntry kRows46[] = {
    {1, "Read Error Rate"},
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
    {242, "Total Host Reads"},
};

// Profile 47: NVMe health values
constexpr SmartAttributeEntry kRows47[] = {
    {1, "Critical Warning"},
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
    {15, "Number of Error Information Log Entries"},
};

}  // namespace

constinit const SmartProfile smartProfile0 = {std::size(kRows0), kRows0, smartMatch0};
constinit const SmartProfile smartProfile46 = {std::size(kRows46), kRows46, smartMatch46};
constinit const SmartProfile smartProfile47 = {std::size(kRows47), kRows47, nullptr};
