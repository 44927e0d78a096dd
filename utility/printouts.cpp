#include "printouts.h"

#include <cstdio>
#include <string>

#include "array_state.h"
#include "selection.h"
#include "values.h"

namespace {

constexpr uint64_t kSectorsPerGigabyte = 1000000000 / ARK_SECTOR_SIZE;
constexpr uint32_t kProgressFlags = ARK_ARRAY_VERIFYING | ARK_ARRAY_FG_INIT | ARK_ARRAY_REBUILDING;

template <size_t N>
std::string text(const char (&field)[N]) {
    return arkFieldText(field, N);
}

const char* cacheMark(uint8_t policy) {
    switch (policy) {
        case ARK_CACHE_WRITE_THROUGH:
            return "   WT";
        case ARK_CACHE_WRITE_BACK:
            return "   WB";
        case ARK_CACHE_FORCE_WRITE_BACK:
            return "  FWB";
        default:
            return "   --";
    }
}

std::string percentText(uint32_t hundredths) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%u.%02u%%", hundredths / 100, hundredths % 100);
    return buffer;
}

std::string arrayProgress(const ARK_ARRAY_INFO& a) {
    if (a.flags & kProgressFlags) return percentText(a.rebuilt_percent);
    if (a.flags & ARK_ARRAY_TRANSFORMING) return percentText(a.transform_percent);
    return "  --";
}

std::string memberProgress(const ARK_ARRAY_INFO& a) {
    if (a.flags & kProgressFlags) return percentText(a.rebuilt_percent);
    return "  --";
}

// "%7d.%03d" of a sector count.
std::string capacity7(uint64_t sectors) {
    const Gigabytes g = sectorsToGigabytes(sectors);
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%7llu.%03u", g.whole, g.thousandths);
    return buffer;
}

// "%d.%03d" of a sector count.
std::string capacityPlain(uint64_t sectors) {
    const Gigabytes g = sectorsToGigabytes(sectors);
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%llu.%03u", g.whole, g.thousandths);
    return buffer;
}

// "%dK" of a size shift (512 << shift bytes), "512B" for no shift.
std::string sizeText(uint8_t shift) {
    if (shift == 0) return "512B";
    char buffer[32];
    const unsigned long long kb = shift - 1 < 64 ? 1ULL << (shift - 1) : 0;
    std::snprintf(buffer, sizeof buffer, "%lluK", kb);
    return buffer;
}

void printDiskTable(const ARK_ARRAY_INFO& a) {
    std::printf("\nDisk  Location Capacity(GB)    max_free  total_free  Model Number\n");
    printRule();
    const int slots = arkArrayMemberCount(a);
    for (int k = 1; k <= slots; ++k) {
        const uint32_t id = a.members[k - 1];
        if (arkIsEmptySlot(id)) {
            std::printf(" [%d] OFFLINE DISK\n", k);
            continue;
        }
        ARK_VD_INFO disk;
        if (!readDeviceInfo(id, disk)) continue;
        if (disk.disk.flags & ARK_DISK_DISABLED) {
            std::printf(" [%d] OFFLINE DISK\n", k);
            continue;
        }
        const bool outdated = (a.outdated_mmask >> (k - 1)) & 1;
        std::printf("%s[%d]\t%s\t%s %s %s  %s\n", outdated ? "*" : " ", k,
                    arkDiskLocationName(disk.disk).c_str(), capacity7(disk.capacity).c_str(),
                    capacity7(disk.disk.max_free).c_str(), capacity7(disk.disk.total_free).c_str(),
                    text(disk.disk.model).c_str());
    }
}

void printArrayDetailAt(const ARK_VD_INFO& record, int depth) {
    const ARK_ARRAY_INFO& a = record.array;
    if (record.parent == 0) {
        std::printf("Array name:   %s\n", text(a.aname).c_str());
        std::printf("Array type:   %s\n", arkRaidLevelText(a.raidlevel, a.sub_raidlevel));
        if (record.target_id < 255) std::printf("Target Id:    %d\n", record.target_id);
        std::printf("Capacity:     %s GB\n", capacityPlain(record.capacity).c_str());
        std::printf("Sector size:  %s\n", sizeText(a.ss_shift).c_str());
        if (a.raidlevel == ARK_RAID0 || a.raidlevel == ARK_RAID5 || a.raidlevel == ARK_RAID6)
            std::printf("Block size:   %s\n", sizeText(a.bs_shift).c_str());
        std::printf("Cache policy: %s\n", arkCachePolicyText(record.cache_policy));
        std::printf("Status:       %s\n", arrayStatusText(a.flags));
    }
    if (a.sub_raidlevel == 0) {
        printDiskTable(a);
        return;
    }
    if (depth > 0) return;  // a member claiming members of its own: one level is enough
    const int slots = arkArrayMemberCount(a);
    for (int k = 1; k <= slots; ++k) {
        std::printf("\nMember array %d:\n", k);
        const uint32_t id = a.members[k - 1];
        if (id == 0) {
            std::printf(" MISSING\n");
            continue;
        }
        ARK_VD_INFO member;
        if (!readDeviceInfo(id, member)) {
            std::printf(" ERROR\n");
            continue;
        }
        printArrayDetailAt(member, depth + 1);
    }
}

}  // namespace

Gigabytes sectorsToGigabytes(uint64_t sectors) {
    // bytes / 10^9 and (bytes mod 10^9) / 10^6, without forming bytes (which may overflow).
    return {static_cast<unsigned long long>(sectors / kSectorsPerGigabyte),
            static_cast<unsigned>((sectors % kSectorsPerGigabyte) * ARK_SECTOR_SIZE / 1000000)};
}

void printRule() {
    std::printf("%s\n", std::string(79, '-').c_str());
}

int printControllers() {
    const int count = arkGetControllerCount(g_currentDomain);
    if (count < 0) return 1;
    for (int i = 0; i < count; ++i) {
        const uint32_t index = static_cast<uint32_t>(i);
        ARK_CONTROLLER_INFO c{};
        if (currentDomainRequest(ARK_REQ_GET_CONTROLLER_INFO, &index, sizeof index, &c, sizeof c) !=
            0)
            continue;
        if (g_driverInfo.hwraid == 0) std::printf("Controller%d:\n", i + 1);
        std::printf("Location:      PCI bus %d\n", c.pci_bus);
        std::printf("PCIe link:     %d.0 x%d\n", c.pcie_speed, c.pcie_width);
        std::printf("Product Name:  %s\n", text(c.product_str).c_str());
        std::printf("Serial Number: %s\n", text(c.sn_str).c_str());
        if (c.fw_rev[0] != '\0') std::printf("Firmware Rev:  %s\n", text(c.fw_rev).c_str());
        std::printf("Port Count:    %d\n", c.num_ports);
        if (g_driverInfo.hwraid != 0) {
            std::printf("Memory Size:   %d MB\n", static_cast<int16_t>(c.ramsize >> 20));
            // The battery sits on the first controller; every controller shows it.
            const uint32_t first = 0;
            ARK_BBU_INFO bbu{};
            const char* module = "Unknown";
            if (currentDomainRequest(ARK_REQ_GET_BBU_INFO, &first, sizeof first, &bbu,
                                     sizeof bbu) == 0)
                module = bbu.bbu_installed ? "Installed" : "Not Installed";
            std::printf("BBU Module:    %s\n", module);
        }
    }
    return 0;
}

void printArrayRow(int number, const ARK_VD_INFO& record) {
    const ARK_ARRAY_INFO& a = record.array;
    const std::string name = text(a.aname);
    const char* mark = cacheMark(record.cache_policy);
    std::printf("%-2d", number);
    if (record.target_id < 255)
        std::printf("%4d  ", record.target_id);
    else
        std::printf("   -  ");
    std::printf("%s  %-8s%-16s%-9s%-12s%s\n", capacity7(record.capacity).c_str(),
                arkRaidLevelText(a.raidlevel, a.sub_raidlevel), arrayStatusText(a.flags),
                arrayProgress(a).c_str(), mark, name.c_str());
    if (a.sub_raidlevel == 0) return;
    const int slots = arkArrayMemberCount(a);
    for (int k = 1; k <= slots; ++k) {
        ARK_VD_INFO member;
        if (!readDeviceInfo(a.members[k - 1], member)) continue;
        const ARK_ARRAY_INFO& m = member.array;
        std::printf("%d-%d\t%s  %-8s%-16s%-9s%-12s%s-%d\n", number, k,
                    capacity7(member.capacity).c_str(),
                    arkRaidLevelText(m.raidlevel, m.sub_raidlevel), arrayStatusText(m.flags),
                    memberProgress(m).c_str(), mark, name.c_str(), k);
    }
}

void printArrayDetail(const ARK_VD_INFO& array) {
    printArrayDetailAt(array, 0);
}

void printSpareRows() {
    const int count = g_pdCount < kDeviceListMax ? g_pdCount : kDeviceListMax;
    for (int i = 0; i < count; ++i) {
        ARK_VD_INFO disk;
        if (!readDeviceInfo(g_pdList[i], disk) || !(disk.disk.flags & ARK_DISK_SPARE)) continue;
        std::printf("%s\t%s  %-8s%-16s%-9s%-12s%s\n", arkDiskLocationName(disk.disk).c_str(),
                    capacity7(disk.capacity).c_str(), "SPARE", "  --", "  --", "   --", "  --");
    }
}

void printDiskDetail(const ARK_VD_INFO& record) {
    const ARK_DISK_INFO& d = record.disk;
    const auto onOff = [](bool on) { return on ? "enabled" : "disabled"; };
    printRule();
    std::printf("Model Number:      %s\n", text(d.model).c_str());
    std::printf("Serial Number:     %s\n", text(d.serial).c_str());
    std::printf("Firmware Revision: %s\n", text(d.fwrev).c_str());
    std::printf("Capacity:          %s GB\n", capacityPlain(record.capacity).c_str());
    std::printf("Status:            %s\n", arkDiskStateText(d.flags));
    const char* configuration = "Unconfigured";
    if (!arkIsEmptySlot(d.parents[0]))
        configuration = "RAID disk";
    else if (d.flags & ARK_DISK_SPARE)
        configuration = "Spare disk";
    else if (d.flags & ARK_DISK_LEGACY)
        configuration = "Single disk";
    std::printf("Configuration:     %s\n", configuration);
    if (record.target_id < 255) std::printf("Target Id:         %d\n", record.target_id);
    if (d.flags & ARK_DISK_RA_SUPPORTED)
        std::printf("Read ahead:        %s\n", onOff(d.flags & ARK_DISK_RA_ON));
    if (d.flags & ARK_DISK_WC_SUPPORTED)
        std::printf("Write Cache:       %s\n", onOff(d.flags & ARK_DISK_WC_ON));
    if (d.flags & ARK_DISK_QD_SUPPORTED)
        std::printf("NCQ:               %s\n", onOff(d.flags & ARK_DISK_QD_ON));
}
