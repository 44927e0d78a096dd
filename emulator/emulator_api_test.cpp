// The controller-access API end to end: the real library's domains and request functions over
// ports that reach the emulator, against the built-in scenario.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "ark.h"
#include "domain.h"
#include "emu_port.h"
#include "scenario.h"

namespace emu {
namespace {

// Ids of the built-in scenario.
constexpr uint32_t kDataVault = 266;  // RAID5 of 256-258
constexpr uint32_t kFastBoot = 267;   // RAID1 of 260-261
constexpr uint32_t kSpare = 262;
constexpr uint32_t kFreeSsd = 263;
constexpr uint32_t kFailingHdd = 264;  // free, SMART threshold exceeded
constexpr uint32_t kUninitialised = 265;

std::unique_ptr<Machine> MachineOf(const std::string& text) {
    Scenario s;
    std::string error;
    EXPECT_TRUE(ParseScenario(text, s, error)) << error;
    return BuildMachine(s);
}

class EmulatedApi : public ::testing::Test {
protected:
    void SetUp() override { Attach(DefaultScenarioText()); }
    void TearDown() override { arkResetDomainsForTest(); }

    void Attach(const std::string& scenario) {
        arkResetDomainsForTest();
        machine = MachineOf(scenario);
        ports = AttachMachinePorts(*machine);
    }
    Emulator& Emu(size_t i) { return *machine->emulators.at(i); }
    void Ticks(size_t domain, int n) {
        for (int i = 0; i < n; ++i) Emu(domain).Tick();
    }
    std::vector<std::pair<int, uint32_t>> Events(int domain) {
        std::vector<std::pair<int, uint32_t>> out;
        ARK_EVENT ev{};
        while (arkGetEvent(domain, &ev) == 0) out.emplace_back(ev.code, ev.devid);
        return out;
    }
    ARK_VD_INFO Info(int domain, uint32_t id) {
        ARK_VD_INFO vd{};
        EXPECT_EQ(arkGetVDInfo(domain, id, &vd), 0) << "id " << id;
        return vd;
    }
    std::vector<uint32_t> LdList(int domain) {
        uint32_t ids[256];
        const int n = arkGetLDList(domain, ids, 256);
        EXPECT_GE(n, 0);
        return std::vector<uint32_t>(ids, ids + std::max(n, 0));
    }

    std::unique_ptr<Machine> machine;
    int ports = 0;
};

ARK_ARRAY_PARAMS Params(const char* name, uint8_t level, std::vector<uint32_t> members) {
    ARK_ARRAY_PARAMS p{};
    std::strncpy(p.aname, name, sizeof p.aname);
    p.raidlevel = level;
    p.bs_shift = 7;
    p.cache_policy = ARK_CACHE_WRITE_THROUGH;
    p.ndisks = uint8_t(members.size());
    for (size_t i = 0; i < members.size(); ++i) p.members[i] = members[i];
    return p;
}

TEST_F(EmulatedApi, DomainsControllersAndDriver) {
    ASSERT_EQ(ports, 2);
    EXPECT_EQ(arkGetDomainCount(), 2);
    ARK_DRIVER_INFO driver{};
    ASSERT_EQ(arkGetDriverInfo(0, &driver), 0);
    EXPECT_EQ(driver.hwraid, 0);
    EXPECT_EQ(std::string(driver.driver_name, strnlen(driver.driver_name, 12)), "arkraid");
    ASSERT_EQ(arkGetDriverInfo(1, &driver), 0);
    EXPECT_EQ(driver.hwraid, 1);
    EXPECT_EQ(arkGetControllerCount(0), 1);
    ARK_CONTROLLER_INFO info{};
    ASSERT_EQ(arkGetControllerInfo(1, 0, &info), 0);
    EXPECT_STREQ(info.product_str, "Arkmoor AX 3808 HW");
    EXPECT_EQ(info.pci_bus, 4);
    EXPECT_EQ(info.ramsize, 2147483648u);
    EXPECT_EQ(arkGetControllerInfo(0, 1, &info), -1);

    // An index outside the list sends nothing.
    Emu(0).ClearRequestLog();
    EXPECT_EQ(arkGetControllerCount(-1), -1);
    EXPECT_EQ(arkGetControllerCount(2), -1);
    const ARK_ARRAY_PARAMS p = Params("x", ARK_RAID1, {kFreeSsd, kFailingHdd});
    EXPECT_EQ(arkCreateArray(2, &p), 0);
    EXPECT_EQ(arkRescanDevices(-1), 0);
    EXPECT_TRUE(Emu(0).RequestLog().empty());
}

TEST_F(EmulatedApi, ListsAndDeviceRecords) {
    EXPECT_EQ(LdList(0), (std::vector<uint32_t>{kDataVault, kFastBoot}));
    uint32_t ids[256];
    EXPECT_EQ(arkGetPDList(0, ids, 256), 10);
    EXPECT_EQ(arkGetPDList(0, ids, 3), 3);
    EXPECT_EQ(ids[2], 258u);
    const ARK_VD_INFO raid5 = Info(0, kDataVault);
    EXPECT_EQ(raid5.type, ARK_VD_TYPE_ARRAY);
    EXPECT_EQ(raid5.array.raidlevel, ARK_RAID5);
    EXPECT_EQ(raid5.array.ndisks, 3);
    EXPECT_EQ(raid5.capacity, 2ull * 3906250000ull);
    EXPECT_STREQ(raid5.array.aname, "DataVault");
    const ARK_VD_INFO ssd = Info(0, 260);
    EXPECT_EQ(ssd.disk.flags & (ARK_DISK_ENCLOSURE | ARK_DISK_SSD),
              ARK_DISK_ENCLOSURE | ARK_DISK_SSD);
    EXPECT_EQ(ssd.disk.parents[0], kFastBoot);
    EXPECT_STREQ(ssd.disk.model, "SSD 500GB E86");
    EXPECT_EQ(Info(0, kSpare).disk.flags & ARK_DISK_SPARE, ARK_DISK_SPARE);
    EXPECT_EQ(Info(0, 256).disk.total_free, 7814037168u - 3906250000u);
    ARK_VD_INFO none{};
    EXPECT_EQ(arkGetVDInfo(0, 12345, &none), -1);
}

TEST_F(EmulatedApi, CreateRenameVerifyDelete) {
    ARK_ARRAY_PARAMS p = Params("Scratch", ARK_RAID1, {kFreeSsd, kFailingHdd});
    uint64_t capacity = 0;
    ASSERT_EQ(arkGetRAIDCapacity(0, &p, &capacity), 0);
    EXPECT_EQ(capacity, 937703088u);
    Events(0);
    const int id = arkCreateArray(0, &p);
    ASSERT_GT(id, 0);
    EXPECT_EQ(LdList(0).back(), uint32_t(id));
    EXPECT_EQ(Info(0, kFreeSsd).disk.parents[0], uint32_t(id));
    EXPECT_EQ(arkCreateArray(0, &p), 0);  // its disks are taken now

    ASSERT_EQ(arkSetArrayName(0, id, "ABCDEFGHIJKLMNOPQRST"), 0);
    EXPECT_STREQ(Info(0, id).array.aname, "ABCDEFGHIJKLMNO");
    ASSERT_EQ(arkSetCachePolicy(0, id, ARK_CACHE_WRITE_BACK), 0);
    EXPECT_EQ(Info(0, id).cache_policy, ARK_CACHE_WRITE_BACK);

    ASSERT_EQ(arkArrayTaskCtl(0, id, ARK_TASK_START_VERIFY), 0);
    EXPECT_EQ(Info(0, id).array.flags, ARK_ARRAY_VERIFYING);
    EXPECT_EQ(arkCheckDelete(0, id), 1);  // busy
    EXPECT_EQ(arkDeleteArray(0, id, 0), -1);
    Ticks(0, 10);
    EXPECT_EQ(Info(0, id).array.flags, 0u);
    EXPECT_EQ(arkCheckDelete(0, id), 0);
    ASSERT_EQ(arkDeleteArray(0, id, 0), 0);
    EXPECT_EQ(LdList(0), (std::vector<uint32_t>{kDataVault, kFastBoot}));
    EXPECT_EQ(Info(0, kFreeSsd).disk.parents[0], ARK_ID_NONE);
    EXPECT_EQ(Events(0),
              (std::vector<std::pair<int, uint32_t>>{
                  {26, uint32_t(id)}, {9, uint32_t(id)}, {12, uint32_t(id)}, {27, uint32_t(id)}}));
    EXPECT_EQ(arkCheckDelete(0, id), -1);
}

TEST_F(EmulatedApi, GrowByTransform) {
    ARK_ARRAY_PARAMS p = Params("FastBoot", ARK_RAID5, {260, 261, kFreeSsd});
    p.source_id = kFastBoot;
    uint64_t capacity = 0;
    ASSERT_EQ(arkGetRAIDCapacity(0, &p, &capacity), 0);
    EXPECT_EQ(capacity, 2u * 937703088u);
    const int target = arkCreateArray(0, &p);
    ASSERT_GT(target, 0);
    const ARK_VD_INFO pending = Info(0, kFastBoot);
    EXPECT_EQ(pending.array.flags, ARK_ARRAY_NEED_TRANSFORM);
    EXPECT_EQ(pending.array.transform_tgt, uint32_t(target));
    EXPECT_EQ(LdList(0), (std::vector<uint32_t>{kDataVault, kFastBoot}));
    Events(0);
    ASSERT_EQ(arkArrayTaskCtl(0, kFastBoot, ARK_TASK_START_TRANSFORM), 0);
    Ticks(0, 5);
    EXPECT_EQ(Info(0, kFastBoot).array.transform_percent, 5000u);
    ASSERT_EQ(arkArrayTaskCtl(0, kFastBoot, ARK_TASK_STOP_TRANSFORM), 0);
    EXPECT_EQ(Info(0, kFastBoot).array.flags, ARK_ARRAY_NEED_TRANSFORM);
    ASSERT_EQ(arkArrayTaskCtl(0, kFastBoot, ARK_TASK_START_TRANSFORM), 0);
    Ticks(0, 10);
    EXPECT_EQ(LdList(0), (std::vector<uint32_t>{kDataVault, uint32_t(target)}));
    const ARK_VD_INFO grown = Info(0, target);
    EXPECT_EQ(grown.capacity, 2u * 937703088u);
    EXPECT_EQ(grown.array.raidlevel, ARK_RAID5);
    EXPECT_EQ(grown.array.transform_tgt, ARK_ID_NONE);
    EXPECT_EQ(Events(0),
              (std::vector<std::pair<int, uint32_t>>{
                  {18, kFastBoot}, {19, kFastBoot}, {18, kFastBoot}, {21, uint32_t(target)}}));
}

TEST_F(EmulatedApi, FailedDiskIsRebuiltFromTheSpareOrAnAddedDisk) {
    // With AutoRebuild the spare takes over at once.
    Emu(0).Modify([](State& s) { s.script.push_back({1, ScriptStep::Action::FailDisk, 0, 257}); });
    Events(0);
    Ticks(0, 1);
    EXPECT_EQ(Events(0),
              (std::vector<std::pair<int, uint32_t>>{{3, 257}, {7, kSpare}, {4, kDataVault}}));
    EXPECT_EQ(Info(0, kDataVault).array.flags, ARK_ARRAY_REBUILDING);
    Ticks(0, 10);
    EXPECT_EQ(Info(0, kDataVault).array.flags, 0u);
    EXPECT_EQ(Info(0, kDataVault).array.members[1], kSpare);
    EXPECT_EQ(Events(0), (std::vector<std::pair<int, uint32_t>>{{6, kDataVault}}));

    // Without it the array stays critical until a disk is added.
    ASSERT_EQ(arkSetConfigInt(0, "AutoRebuild", 0), 0);
    Emu(0).Modify([](State& s) {
        s.script.push_back({s.ticks + 1, ScriptStep::Action::FailDisk, 0, 256});
    });
    Ticks(0, 1);
    EXPECT_EQ(Info(0, kDataVault).array.flags, ARK_ARRAY_CRITICAL);
    EXPECT_EQ(arkArrayTaskCtl(0, kDataVault, ARK_TASK_START_REBUILD), -1);
    ASSERT_EQ(arkAddDiskToArray(0, kDataVault, kFailingHdd), 0);
    EXPECT_EQ(Info(0, kDataVault).array.flags, ARK_ARRAY_REBUILDING);
    EXPECT_EQ(Info(0, kDataVault).array.outdated_mmask, 0x1u);
    Ticks(0, 10);
    EXPECT_EQ(Info(0, kDataVault).array.flags, 0u);
}

TEST_F(EmulatedApi, SparesAndDiskSettings) {
    ASSERT_EQ(arkAssignSpareDisk(0, kFreeSsd), 0);
    EXPECT_EQ(Info(0, kFreeSsd).disk.flags & ARK_DISK_SPARE, ARK_DISK_SPARE);
    ASSERT_EQ(arkUnassignSpareDisk(0, kFreeSsd), 0);
    EXPECT_EQ(Info(0, kFreeSsd).disk.flags & ARK_DISK_SPARE, 0u);
    EXPECT_EQ(arkAssignSpareDisk(0, 256), -1);

    struct Row {
        const char* name;
        std::function<int()> call;
        int rc;
        uint32_t disk, bit;
        bool set;
    };
    const Row rows[] = {
        {"write cache on", [] { return arkSetDiskWC(0, kFreeSsd, 1); }, 0, kFreeSsd, ARK_DISK_WC_ON,
         true},
        {"read-ahead off", [] { return arkSetDiskRA(0, 256, 0); }, 0, 256, ARK_DISK_RA_ON, false},
        {"queueing unsupported", [] { return arkSetDiskQD(0, 259, 1); }, -1, 259, ARK_DISK_QD_ON,
         false},
        {"smart off", [] { return arkSetDiskSmart(0, 258, 0); }, 0, 258, ARK_DISK_SMART_ON, false},
        {"smart on", [] { return arkSetDiskSmart(0, 258, 1); }, 0, 258, ARK_DISK_SMART_ON, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.call(), row.rc);
        EXPECT_EQ((Info(0, row.disk).disk.flags & row.bit) != 0, row.set);
    }
    ASSERT_EQ(arkIdentifyDisk(0, 256, 1), 0);
    EXPECT_TRUE(Emu(0).Snapshot().disks.at(256).locate);

    ASSERT_EQ(arkInitDisk(0, kUninitialised), 0);
    EXPECT_EQ(Info(0, kUninitialised).disk.flags & ARK_DISK_UNINITIALIZED, 0u);
    EXPECT_EQ(arkCheckUnload(0, 256), 1);
    EXPECT_EQ(arkCheckUnload(0, kUninitialised), 0);
    Events(0);
    ASSERT_EQ(arkUnloadDevice(0, kUninitialised), 0);
    uint32_t ids[256];
    EXPECT_EQ(arkGetPDList(0, ids, 256), 9);
    EXPECT_EQ(arkRescanDevices(0), 0);
    EXPECT_EQ(arkGetPDList(0, ids, 256), 10);
    ASSERT_EQ(arkSmartCheckAll(0), 0);
    const auto events = Events(0);
    ASSERT_EQ(events.size(), 2u + 10u);  // removed, plugged in, one SMART result per disk
    EXPECT_EQ(events[0], std::make_pair(1, kUninitialised));
    EXPECT_EQ(events[1], std::make_pair(2, kUninitialised));
    EXPECT_NE(std::find(events.begin(), events.end(), std::make_pair(22, kFailingHdd)),
              events.end());
    EXPECT_NE(std::find(events.begin(), events.end(), std::make_pair(23, 256u)), events.end());
}

TEST_F(EmulatedApi, BatteryCacheMonitorAndPciId) {
    ARK_BBU_INFO bbu{};
    ASSERT_EQ(arkGetBBUInfo(1, 0, &bbu), 0);
    EXPECT_EQ(bbu.bbu_installed, 1);
    EXPECT_EQ(bbu.voltage_mv, 4105);
    EXPECT_EQ(bbu.temperature, 2950);
    ASSERT_EQ(arkSetBBUStatus(1, ARK_BBU_CMD_START_LEARN), 0);
    ASSERT_EQ(arkGetBBUInfo(1, 0, &bbu), 0);
    EXPECT_EQ(bbu.bbu_status, ARK_BBU_ENABLED | ARK_BBU_DISCHARGING);
    ASSERT_EQ(arkSetBBUStatus(1, ARK_BBU_CMD_STOP_LEARN), 0);
    ASSERT_EQ(arkGetBBUInfo(1, 0, &bbu), 0);
    EXPECT_EQ(bbu.bbu_status, ARK_BBU_ENABLED | ARK_BBU_CHARGING);
    ASSERT_EQ(arkSetBBUStatus(1, ARK_BBU_CMD_DISABLE), 0);
    ASSERT_EQ(arkGetBBUInfo(1, 0, &bbu), 0);
    EXPECT_EQ(bbu.bbu_status, 0);
    ASSERT_EQ(arkGetBBUInfo(0, 0, &bbu), 0);
    EXPECT_EQ(bbu.bbu_installed, 0);
    EXPECT_EQ(arkSetBBUStatus(0, ARK_BBU_CMD_START_LEARN), -1);

    EXPECT_EQ(arkGetPCacheSize(1), 2048);
    EXPECT_EQ(arkGetPCacheSize(0), 0);
    ASSERT_EQ(arkClearPCache(1), 0);
    EXPECT_EQ(arkGetPCacheSize(1), 0);

    ARK_HWMON_ENTRY entries[8] = {};
    ASSERT_EQ(arkGetHwMonData(0, 0, entries, 8), 4);
    EXPECT_EQ(entries[0].kind, 0);
    EXPECT_EQ(entries[0].value, 4150);
    EXPECT_EQ(entries[2].kind, 1);
    EXPECT_EQ(entries[2].value, 12050);
    EXPECT_EQ(arkGetHwMonData(0, 0, entries, 2), 2);
    EXPECT_EQ(arkGetHwMonData(0, 5, entries, 8), -1);

    uint32_t first = 0, second = 0;
    ASSERT_EQ(arkGetPciId(0, 0, &first, &second), 0);
    EXPECT_EQ(first, 0x24101E4Au);
    EXPECT_EQ(second, 0x00011E4Au);
    EXPECT_EQ(arkGetPciId(1, 0, nullptr, nullptr), 0);
    EXPECT_EQ(arkGetPciId(1, 1, &first, &second), -1);
}

TEST_F(EmulatedApi, ConfigIntegers) {
    const char* keys[] = {"HBAMode",       "RebuildPriority", "AutoRebuild", "IgnoreRebuildErrors",
                          "DiskIdleTimer", "SpinupCount",     "SpinupDelay", "BBUTempThreshold"};
    for (const char* key : keys) {
        SCOPED_TRACE(key);
        int32_t value = -1;
        ASSERT_EQ(arkGetConfigInt(0, key, &value), 0);
        EXPECT_EQ(uint32_t(value), DefaultConfig().at(key));
        ASSERT_EQ(arkSetConfigInt(0, key, 77), 0);
        ASSERT_EQ(arkGetConfigInt(0, key, &value), 0);
        EXPECT_EQ(value, 77);
    }
    int32_t value = 0;
    EXPECT_EQ(arkGetConfigInt(0, "Unknown", &value), -1);
    // A 40-character key goes out cut to 31 characters and its NUL, and is unknown.
    Emu(0).ClearRequestLog();
    EXPECT_EQ(arkSetConfigInt(0, std::string(40, 'K').c_str(), 1), -1);
    ASSERT_EQ(Emu(0).RequestLog().size(), 1u);
    EXPECT_EQ(Emu(0).RequestLog()[0].input.size(), 36u);
}

TEST_F(EmulatedApi, FlashRoundTrip) {
    std::vector<uint8_t> image(2500);
    for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(i * 31 + 7);
    ASSERT_EQ(arkFlashDownload(0, 0, 4096, image.data(), uint32_t(image.size())), 0);
    std::vector<uint8_t> back(image.size() + 4);
    ASSERT_EQ(arkFlashUpload(0, 0, 4096, back.data(), uint32_t(back.size())), 0);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), back.begin()));
    EXPECT_EQ(back[2500], 0xFF);

    // A 6-byte tail goes out as 8 bytes padded with 0xFF.
    const uint8_t tail[6] = {1, 2, 3, 4, 5, 6};
    ASSERT_EQ(arkFlashDownload(0, 0, 0, tail, 6), 0);
    const std::vector<uint8_t> flash = Emu(0).Snapshot().controllers[0].flash;
    EXPECT_EQ(std::vector<uint8_t>(flash.begin(), flash.begin() + 9),
              (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 0xFF, 0xFF, 0xFF}));
    const uint32_t size = uint32_t(flash.size());
    EXPECT_EQ(arkFlashDownload(0, 0, size - 4, image.data(), 8), -1);
    EXPECT_EQ(arkFlashUpload(0, 1, 0, back.data(), 4), -1);
}

TEST_F(EmulatedApi, EventsInQueueOrder) {
    EXPECT_EQ(Events(0), (std::vector<std::pair<int, uint32_t>>{
                             {23, 256}, {4, kDataVault}, {6, kDataVault}, {2, kFreeSsd}}));
    EXPECT_EQ(Events(1), (std::vector<std::pair<int, uint32_t>>{{12, 515}, {2, 514}, {23, 512}}));
    ARK_EVENT ev{};
    EXPECT_NE(arkGetEvent(0, &ev), 0);
}

TEST_F(EmulatedApi, IdentifyAndSmartThroughPassThrough) {
    uint8_t buffer[20 + 20 + 512] = {};
    ARK_ATA_PASSTHROUGH h{};
    h.disk = 260;
    h.command = 0xEC;
    h.sectors = 1;
    h.protocol = ARK_ATA_DATA_IN;
    std::memcpy(buffer, &h, 20);
    ASSERT_EQ(arkAtaPassthrough(0, buffer), 0);
    EXPECT_EQ(buffer[20 + 15], 0x50);
    std::string model;
    for (size_t i = 0; i < 40; ++i) model += char(buffer[40 + 54 + (i ^ 1)]);
    EXPECT_EQ(model, "SSD 500GB E86" + std::string(27, ' '));

    struct Row {
        uint32_t disk;
        uint16_t mid, high;
    };
    for (const Row& row : {Row{256, 0x4F, 0xC2}, Row{kFailingHdd, 0xF4, 0x2C}}) {
        SCOPED_TRACE(row.disk);
        uint8_t status[40] = {};
        ARK_ATA_PASSTHROUGH s{};
        s.disk = row.disk;
        s.command = 0xB0;
        s.features = 0xDA;
        s.lba_mid = 0x4F;
        s.lba_high = 0xC2;
        s.device = 0xA0;
        std::memcpy(status, &s, 20);
        ASSERT_EQ(arkAtaPassthrough(0, status), 0);
        uint16_t mid, high;
        std::memcpy(&mid, status + 30, 2);
        std::memcpy(&high, status + 32, 2);
        EXPECT_EQ(mid, row.mid);
        EXPECT_EQ(high, row.high);

        uint8_t page[552] = {};
        s.features = 0xD0;
        s.sectors = 1;
        s.protocol = ARK_ATA_DATA_IN;
        std::memcpy(page, &s, 20);
        ASSERT_EQ(arkAtaPassthrough(0, page), 0);
        uint8_t sum = 0;
        for (size_t i = 40; i < 552; ++i) sum = uint8_t(sum + page[i]);
        EXPECT_EQ(sum, 0);
        EXPECT_NE(page[40 + 2], 0);  // the first attribute slot is in use
    }
}

// Every request function fails the way the API says when its request fails.
TEST_F(EmulatedApi, InjectedFaultsPerRequestCode) {
    static ARK_ARRAY_PARAMS params = Params("x", ARK_RAID1, {kFreeSsd, kFailingHdd});
    static uint8_t buffer[64 + 552];
    struct Row {
        const char* name;
        uint32_t code;
        std::function<int()> call;
        int expected;
    };
    ARK_DRIVER_INFO driver;
    ARK_CONTROLLER_INFO controller;
    ARK_BBU_INFO bbu;
    ARK_VD_INFO vd;
    ARK_EVENT ev;
    ARK_HWMON_ENTRY hw[4];
    uint32_t ids[8], a = 0, b = 0;
    uint64_t capacity = 0;
    int32_t value = 0;
    uint8_t flash[8] = {};
    ARK_ATA_PASSTHROUGH identify{};
    identify.disk = 256;
    identify.command = 0xEC;
    identify.sectors = 1;
    identify.protocol = ARK_ATA_DATA_IN;
    std::memcpy(buffer, &identify, 20);
    const Row rows[] = {
        {"driver info", ARK_REQ_GET_DRIVER_INFO, [&] { return arkGetDriverInfo(0, &driver); }, -1},
        {"controller count", ARK_REQ_GET_CONTROLLER_COUNT, [] { return arkGetControllerCount(0); },
         -1},
        {"controller info", ARK_REQ_GET_CONTROLLER_INFO,
         [&] { return arkGetControllerInfo(0, 0, &controller); }, -1},
        {"bbu info", ARK_REQ_GET_BBU_INFO, [&] { return arkGetBBUInfo(1, 0, &bbu); }, -1},
        {"bbu status", ARK_REQ_SET_BBU_STATUS, [] { return arkSetBBUStatus(1, 5); }, -1},
        {"pcache size", ARK_REQ_GET_PCACHE_SIZE, [] { return arkGetPCacheSize(1); }, -1},
        {"clear pcache", ARK_REQ_CLEAR_PCACHE, [] { return arkClearPCache(1); }, -1},
        {"ld list", ARK_REQ_GET_LD_LIST, [&] { return arkGetLDList(0, ids, 8); }, -1},
        {"pd list", ARK_REQ_GET_PD_LIST, [&] { return arkGetPDList(0, ids, 8); }, -1},
        {"vd info", ARK_REQ_GET_VD_INFO, [&] { return arkGetVDInfo(0, 256, &vd); }, -1},
        {"event", ARK_REQ_GET_EVENT, [&] { return arkGetEvent(0, &ev); }, -1},
        {"init disk", ARK_REQ_INIT_DISK, [] { return arkInitDisk(0, kUninitialised); }, -1},
        {"capacity", ARK_REQ_GET_RAID_CAPACITY,
         [&] { return arkGetRAIDCapacity(0, &params, &capacity); }, -1},
        {"create", ARK_REQ_CREATE_ARRAY, [] { return arkCreateArray(0, &params); }, 0},
        {"check unload", ARK_REQ_CHECK_UNLOAD, [] { return arkCheckUnload(0, kFreeSsd); }, -1},
        {"unload", ARK_REQ_UNLOAD_DEVICE, [] { return arkUnloadDevice(0, kFreeSsd); }, -1},
        {"check delete", ARK_REQ_CHECK_DELETE, [] { return arkCheckDelete(0, kFastBoot); }, -1},
        {"delete", ARK_REQ_DELETE_ARRAY, [] { return arkDeleteArray(0, kFastBoot, 0); }, -1},
        {"task", ARK_REQ_ARRAY_TASK_CTL, [] { return arkArrayTaskCtl(0, kFastBoot, 4); }, -1},
        {"name", ARK_REQ_SET_ARRAY_NAME, [] { return arkSetArrayName(0, kFastBoot, "n"); }, -1},
        {"cache policy", ARK_REQ_SET_CACHE_POLICY,
         [] { return arkSetCachePolicy(0, kFastBoot, 2); }, -1},
        {"read-ahead", ARK_REQ_SET_DISK_RA, [] { return arkSetDiskRA(0, 256, 1); }, -1},
        {"write cache", ARK_REQ_SET_DISK_WC, [] { return arkSetDiskWC(0, 256, 1); }, -1},
        {"queueing", ARK_REQ_SET_DISK_QD, [] { return arkSetDiskQD(0, 256, 1); }, -1},
        {"smart", ARK_REQ_SET_DISK_SMART, [] { return arkSetDiskSmart(0, 256, 1); }, -1},
        {"locate", ARK_REQ_IDENTIFY_DISK, [] { return arkIdentifyDisk(0, 256, 1); }, -1},
        {"assign spare", ARK_REQ_ASSIGN_SPARE_DISK, [] { return arkAssignSpareDisk(0, kFreeSsd); },
         -1},
        {"unassign spare", ARK_REQ_UNASSIGN_SPARE_DISK,
         [] { return arkUnassignSpareDisk(0, kSpare); }, -1},
        {"add disk", ARK_REQ_ADD_DISK_TO_ARRAY,
         [] { return arkAddDiskToArray(0, kFastBoot, kFreeSsd); }, -1},
        {"rescan", ARK_REQ_RESCAN_DEVICES, [] { return arkRescanDevices(0); }, 0},
        {"pass-through", ARK_REQ_ATA_PASSTHROUGH, [] { return arkAtaPassthrough(0, buffer); }, -1},
        {"smart check all", ARK_REQ_SMART_CHECK_ALL, [] { return arkSmartCheckAll(0); }, -1},
        {"get config", ARK_REQ_GET_CONFIG_INT,
         [&] { return arkGetConfigInt(0, "HBAMode", &value); }, -1},
        {"set config", ARK_REQ_SET_CONFIG_INT, [] { return arkSetConfigInt(0, "HBAMode", 1); }, -1},
        {"pci id", ARK_REQ_GET_PCI_ID, [&] { return arkGetPciId(0, 0, &a, &b); }, -1},
        {"flash upload", ARK_REQ_FLASH, [&] { return arkFlashUpload(0, 0, 0, flash, 8); }, -1},
        {"flash download", ARK_REQ_FLASH, [&] { return arkFlashDownload(0, 0, 0, flash, 8); }, -1},
        {"hwmon", ARK_REQ_GET_HWMON_DATA, [&] { return arkGetHwMonData(0, 0, hw, 4); }, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Attach(DefaultScenarioText());
        for (auto& e : machine->emulators) {
            e->ClearRequestLog();
            e->InjectFault({row.code, Fault::Kind::Fail, 0, 0, 0});
        }
        EXPECT_EQ(row.call(), row.expected);
        const std::vector<LoggedRequest> log =
            Emu(row.code == ARK_REQ_GET_BBU_INFO || row.code == ARK_REQ_SET_BBU_STATUS ||
                        row.code == ARK_REQ_GET_PCACHE_SIZE || row.code == ARK_REQ_CLEAR_PCACHE
                    ? 1
                    : 0)
                .RequestLog();
        ASSERT_EQ(log.size(), 1u);  // one request, refused; nothing retried
        EXPECT_EQ(log[0].code, row.code);
        EXPECT_EQ(log[0].result, -1);
    }
}

TEST_F(EmulatedApi, ShortListReplyCountsWhatCame) {
    Emu(0).InjectFault({ARK_REQ_GET_PD_LIST, Fault::Kind::ShortReply, 0, 1, 8});
    uint32_t ids[16];
    EXPECT_EQ(arkGetPDList(0, ids, 16), 2);
    EXPECT_EQ(arkGetPDList(0, ids, 16), 10);
}

TEST_F(EmulatedApi, WrongFrameIsRejected) {
    CDomain* domain = arkDomainAt(0);
    ASSERT_NE(domain, nullptr);
    const uint32_t id = 256;
    ARK_VD_INFO vd{};
    EXPECT_EQ(domain->Ioctl(ARK_REQ_GET_VD_INFO, &id, 4, &vd, 320, nullptr), -1);
    EXPECT_EQ(domain->Ioctl(ARK_REQ_GET_VD_INFO, &id, 4, &vd, 336, nullptr), 0);
}

// Two ports whose controller 0 has the same PCI location: one domain that falls back to the
// second port when the first fails.
TEST_F(EmulatedApi, PortsOfOneControllerShareADomain) {
    const char* scenario = R"({"domains": [
        {"controllers": [{"pci": [0, 9, 0, 0]}, {"pci": [0, 10, 0, 0]}], "disks": [{"capacity": 8}]},
        {"controllers": [{"pci": [0, 9, 0, 0]}, {"pci": [0, 10, 0, 0]}], "disks": [{"capacity": 8}]},
        {"controllers": [{"pci": [0, 11, 0, 0]}, {}], "ports": [{}, {}]}]})";
    Attach(scenario);
    EXPECT_EQ(ports, 4);
    EXPECT_EQ(arkGetDomainCount(), 2);
    Emu(0).InjectFault({ARK_REQ_SET_DISK_SMART, Fault::Kind::Fail, 0, 0, 0});
    ASSERT_EQ(arkSetDiskSmart(0, 256, 0), 0);
    EXPECT_TRUE(Emu(0).Snapshot().disks.at(256).flags & ARK_DISK_SMART_ON);
    EXPECT_FALSE(Emu(1).Snapshot().disks.at(256).flags & ARK_DISK_SMART_ON);
    EXPECT_EQ(arkGetControllerCount(1), 2);
}

}  // namespace
}  // namespace emu
