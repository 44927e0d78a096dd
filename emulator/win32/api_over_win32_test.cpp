// The controller-access API end to end through the Windows ports: discovery over the Win32
// stand-in, every request carried by CDriverPortWin or CProcessorPort to the emulator.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ark.h"
#include "domain.h"
#include "port_win.h"
#include "scenario.h"
#include "win32_scenario.h"
#include "win32_standin.h"

namespace {

using emu::win32::Kind;

enum class Path { Miniport, ProcessorOnly };

std::string Text(const char* field, size_t size) {
    return std::string(field, strnlen(field, size));
}

std::vector<uint32_t> List(int (*fn)(int, uint32_t*, uint32_t), int domain) {
    std::vector<uint32_t> ids(64);
    const int n = fn(domain, ids.data(), static_cast<uint32_t>(ids.size()));
    ids.resize(n < 0 ? 0 : n);
    return ids;
}

// The built-in scenario, its ports answering the chosen way, discovered through the ports.
class ApiOverWin32 : public testing::TestWithParam<Path> {
protected:
    void SetUp() override {
        std::string error;
        emu::Scenario scenario;
        ASSERT_TRUE(emu::ParseScenario(emu::DefaultScenarioText(), scenario, error)) << error;
        for (auto& domain : scenario.domains) {
            for (auto& port : domain.ports) {
                port.miniport = GetParam() == Path::Miniport;
                port.processor = true;
            }
        }
        emulated = emu::BuildMachine(scenario);
        ASSERT_TRUE(emulated);
        emu::win32::AddScenarioPorts(machine, *emulated);
        ASSERT_EQ(arkInitialize(), 0);
        ASSERT_EQ(arkGetDomainCount(), 2);
    }

    void TearDown() override {
        arkCleanup();
        arkResetDomainsForTest();
        EXPECT_EQ(machine.OpenHandles(Kind::File), 0u);
        EXPECT_EQ(machine.OpenHandles(Kind::Mutex), 0u);
        EXPECT_EQ(machine.BadCloses(), 0u);
        EXPECT_EQ(machine.FrameErrors(), 0u);
        EXPECT_EQ(machine.HeldMutexes(), 0u);
        EXPECT_EQ(machine.BadReleases(), 0u);
        EXPECT_EQ(machine.UnlockedMiniportCalls(), 0u);
    }

    emu::Emulator& Emulator(int domain) { return *emulated->emulators.at(domain); }

    emu::win32::Machine machine;
    std::unique_ptr<emu::Machine> emulated;
};

TEST_P(ApiOverWin32, DiscoveryTakesTheExpectedPath) {
    EXPECT_EQ(machine.OpenHandles(Kind::File), 2u);
    ARK_DRIVER_INFO driver{};
    ASSERT_EQ(arkGetDriverInfo(0, &driver), 0);
    EXPECT_EQ(Text(driver.driver_name, sizeof(driver.driver_name)), "arkraid");
    ASSERT_EQ(arkGetDriverInfo(1, &driver), 0);
    EXPECT_EQ(Text(driver.driver_name, sizeof(driver.driver_name)), "arkhwraid");
    if (GetParam() == Path::Miniport) {
        EXPECT_EQ(machine.DeviceCalls(IOCTL_SCSI_PASS_THROUGH), 0u);
        EXPECT_EQ(machine.DeviceCalls(IOCTL_SCSI_GET_INQUIRY_DATA), 0u);
    } else {
        EXPECT_GT(machine.DeviceCalls(IOCTL_SCSI_PASS_THROUGH), 0u);
        EXPECT_EQ(machine.DeviceCalls(IOCTL_SCSI_GET_INQUIRY_DATA), 2u);
        // After discovery nothing more goes the miniport way.
        const size_t miniport = machine.DeviceCalls(IOCTL_SCSI_MINIPORT);
        EXPECT_EQ(arkGetControllerCount(0), 1);
        EXPECT_EQ(machine.DeviceCalls(IOCTL_SCSI_MINIPORT), miniport);
    }
}

TEST_P(ApiOverWin32, ControllersDisksAndArrays) {
    EXPECT_EQ(arkGetControllerCount(0), 1);
    ARK_CONTROLLER_INFO info{};
    ASSERT_EQ(arkGetControllerInfo(1, 0, &info), 0);
    EXPECT_EQ(Text(info.product_str, sizeof(info.product_str)), "Arkmoor AX 3808 HW");
    EXPECT_EQ(info.pci_bus, 4);

    const std::vector<uint32_t> disks = List(arkGetPDList, 0);
    EXPECT_EQ(disks.size(), 10u);
    EXPECT_NE(std::find(disks.begin(), disks.end(), 256u), disks.end());
    ARK_VD_INFO vd{};
    ASSERT_EQ(arkGetVDInfo(0, 256, &vd), 0);
    EXPECT_EQ(Text(vd.disk.model, sizeof(vd.disk.model)), "HD7200 4T0A610");

    std::vector<std::string> names;
    for (uint32_t id : List(arkGetLDList, 0)) {
        ASSERT_EQ(arkGetVDInfo(0, id, &vd), 0);
        names.push_back(Text(vd.array.aname, sizeof(vd.array.aname)));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"DataVault", "FastBoot"}));
    EXPECT_EQ(arkGetVDInfo(0, 0x7777, &vd), -1);
}

TEST_P(ApiOverWin32, ArrayLifecycle) {
    ARK_ARRAY_PARAMS params{};
    std::strncpy(params.aname, "Scratch", sizeof(params.aname));
    params.raidlevel = ARK_RAID1;
    params.ndisks = 2;
    params.members[0] = 263;
    params.members[1] = 264;
    uint64_t capacity = 0;
    ASSERT_EQ(arkGetRAIDCapacity(0, &params, &capacity), 0);
    EXPECT_GT(capacity, 0u);
    const int id = arkCreateArray(0, &params);
    ASSERT_NE(id, 0);
    const std::vector<uint32_t> arrays = List(arkGetLDList, 0);
    EXPECT_NE(std::find(arrays.begin(), arrays.end(), uint32_t(id)), arrays.end());

    ASSERT_EQ(arkSetArrayName(0, id, "Renamed"), 0);
    ASSERT_EQ(arkArrayTaskCtl(0, id, ARK_TASK_START_VERIFY), 0);
    ARK_VD_INFO vd{};
    ASSERT_EQ(arkGetVDInfo(0, id, &vd), 0);
    EXPECT_EQ(Text(vd.array.aname, sizeof(vd.array.aname)), "Renamed");
    EXPECT_EQ(vd.array.raidlevel, ARK_RAID1);
    EXPECT_NE(vd.array.flags & ARK_ARRAY_VERIFYING, 0u);
    ASSERT_EQ(arkArrayTaskCtl(0, id, ARK_TASK_STOP_VERIFY), 0);
    ASSERT_EQ(arkGetVDInfo(0, id, &vd), 0);
    EXPECT_EQ(vd.array.flags & ARK_ARRAY_VERIFYING, 0u);

    ASSERT_EQ(arkDeleteArray(0, id, 0), 0);
    EXPECT_EQ(arkGetVDInfo(0, id, &vd), -1);
    EXPECT_EQ(List(arkGetLDList, 0).size(), arrays.size() - 1);
}

TEST_P(ApiOverWin32, SpareBatteryConfigAndCache) {
    ARK_VD_INFO vd{};
    ASSERT_EQ(arkAssignSpareDisk(0, 263), 0);
    ASSERT_EQ(arkGetVDInfo(0, 263, &vd), 0);
    EXPECT_NE(vd.disk.flags & ARK_DISK_SPARE, 0u);
    ASSERT_EQ(arkUnassignSpareDisk(0, 263), 0);
    ASSERT_EQ(arkGetVDInfo(0, 263, &vd), 0);
    EXPECT_EQ(vd.disk.flags & ARK_DISK_SPARE, 0u);

    ARK_BBU_INFO bbu{};
    ASSERT_EQ(arkGetBBUInfo(1, 0, &bbu), 0);
    EXPECT_EQ(bbu.bbu_installed, 1);
    EXPECT_EQ(bbu.voltage_mv, 4105);

    ASSERT_EQ(arkSetConfigInt(0, "RebuildPriority", 77), 0);
    int32_t value = 0;
    ASSERT_EQ(arkGetConfigInt(0, "RebuildPriority", &value), 0);
    EXPECT_EQ(value, 77);
    EXPECT_EQ(arkGetConfigInt(0, "NoSuchKey", &value), -1);

    EXPECT_GE(arkGetPCacheSize(1), 0);
    EXPECT_EQ(arkClearPCache(1), 0);
}

TEST_P(ApiOverWin32, PciIdHardwareMonitorAndEvents) {
    uint32_t first = 0, second = 0;
    ASSERT_EQ(arkGetPciId(0, 0, &first, &second), 0);
    EXPECT_EQ(first, 0x24101E4Au);
    EXPECT_EQ(second, 0x00011E4Au);

    ARK_HWMON_ENTRY entries[8] = {};
    ASSERT_EQ(arkGetHwMonData(0, 0, entries, 8), 4);
    EXPECT_EQ(entries[0].value, 4150);
    EXPECT_EQ(entries[2].kind, 1);

    std::vector<int> codes;
    ARK_EVENT event{};
    while (codes.size() < 16 && arkGetEvent(0, &event) == 0) codes.push_back(event.code);
    EXPECT_EQ(codes, (std::vector<int>{23, 4, 6, 2}));
}

TEST_P(ApiOverWin32, FlashWriteThenReadBack) {
    std::vector<uint8_t> image(2500);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + 1);
    ASSERT_EQ(arkFlashDownload(1, 0, 4096, image.data(), static_cast<uint32_t>(image.size())), 0);
    std::vector<uint8_t> back(image.size());
    ASSERT_EQ(arkFlashUpload(1, 0, 4096, back.data(), static_cast<uint32_t>(back.size())), 0);
    EXPECT_EQ(back, image);
}

TEST_P(ApiOverWin32, IdentifyThroughAtaPassthrough) {
    std::vector<uint8_t> buffer(20 + 20 + 512);
    ARK_ATA_PASSTHROUGH header{};
    header.disk = 256;
    header.command = 0xEC;
    header.sector_count = 1;
    header.sectors = 1;
    header.protocol = ARK_ATA_DATA_IN;
    std::memcpy(buffer.data(), &header, sizeof(header));
    ASSERT_EQ(arkAtaPassthrough(0, buffer.data()), 0);
    const uint8_t* identify = buffer.data() + 20 + 20;
    std::string model;
    for (int word = 27; word <= 46; ++word) {
        model += static_cast<char>(identify[word * 2 + 1]);
        model += static_cast<char>(identify[word * 2]);
    }
    EXPECT_EQ(model.substr(0, 20), "HD7200 4T0A610      ");
}

TEST_P(ApiOverWin32, ControllerFaultsFailWithoutRetry) {
    Emulator(0).InjectFault({ARK_REQ_GET_VD_INFO, emu::Fault::Kind::Fail, 0, 1, 0});
    ARK_VD_INFO vd{};
    EXPECT_EQ(arkGetVDInfo(0, 256, &vd), -1);
    EXPECT_TRUE(machine.Sleeps().empty());
    EXPECT_EQ(arkGetVDInfo(0, 256, &vd), 0);
}

INSTANTIATE_TEST_SUITE_P(Paths, ApiOverWin32, testing::Values(Path::Miniport, Path::ProcessorOnly),
                         [](const testing::TestParamInfo<Path>& param) {
                             return param.param == Path::Miniport ? "Miniport" : "ProcessorOnly";
                         });

}  // namespace
