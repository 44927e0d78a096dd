#include <gtest/gtest.h>

#include <functional>

#include "ark.h"
#include "domain.h"
#include "recording_port.h"

namespace {

std::vector<uint8_t> bytes(std::initializer_list<int> list) {
    std::vector<uint8_t> v;
    for (int b : list) v.push_back(static_cast<uint8_t>(b));
    return v;
}

std::vector<uint8_t> repeat(uint8_t value, size_t n) {
    return std::vector<uint8_t>(n, value);
}

template <typename T>
std::vector<uint8_t> recordBytes(const T& rec) {
    const auto* p = reinterpret_cast<const uint8_t*>(&rec);
    return std::vector<uint8_t>(p, p + sizeof rec);
}

class Api : public ::testing::Test {
protected:
    void SetUp() override {
        port = new RecordingPort(&log);
        port->script.push_back({0, le32(1)});  // the controller count AttachPort asks for
        ASSERT_TRUE(AttachPort(port));
        log.clear();
    }
    void TearDown() override { arkResetDomainsForTest(); }

    std::vector<RecordedRequest> log;
    RecordingPort* port = nullptr;
};

struct ApiCase {
    const char* name;
    std::function<int()> call;
    uint32_t code;
    std::vector<uint8_t> in;
    uint32_t outLen;
    ScriptedReply reply;
    int expected;
    std::function<void()> check;  // what the call stored, when it stores anything
};

ARK_ARRAY_PARAMS sampleParams() {
    ARK_ARRAY_PARAMS p{};
    std::memcpy(p.aname, "data", 4);
    p.capacity = 1000;
    p.raidlevel = ARK_RAID5;
    p.ndisks = 3;
    p.members[0] = 11;
    p.members[1] = 12;
    p.members[2] = 13;
    p.reserved = 0x55;  // must go out as zero
    p.padding[3] = 0x66;
    return p;
}

TEST_F(Api, EveryRequestFunctionFramesItsRecord) {
    static ARK_DRIVER_INFO driver;
    static ARK_CONTROLLER_INFO controller;
    static ARK_BBU_INFO bbu;
    static ARK_VD_INFO vd;
    static ARK_EVENT event;
    static uint32_t ids[4];
    static uint64_t capacity;
    static int32_t configValue;
    static uint32_t pciFirst, pciSecond;
    static ARK_HWMON_ENTRY hwmon[3];
    static const ARK_ARRAY_PARAMS params = sampleParams();
    ARK_ARRAY_PARAMS sentParams = params;
    sentParams.reserved = 0;
    sentParams.padding[3] = 0;

    const ApiCase cases[] = {
        {"GetDriverInfo",
         [] { return arkGetDriverInfo(0, &driver); },
         ARK_REQ_GET_DRIVER_INFO,
         {},
         64,
         {0, repeat(0x41, 64)},
         0,
         [] { EXPECT_EQ(driver.driver_name[0], 'A'); }},
        {"GetControllerCount",
         [] { return arkGetControllerCount(0); },
         ARK_REQ_GET_CONTROLLER_COUNT,
         {},
         4,
         {0, le32(3)},
         3,
         nullptr},
        {"GetControllerInfo",
         [] { return arkGetControllerInfo(0, 2, &controller); },
         ARK_REQ_GET_CONTROLLER_INFO,
         le32(2),
         132,
         {0, repeat(7, 132)},
         0,
         [] { EXPECT_EQ(controller.ramsize, 0x07070707u); }},
        {"GetBBUInfo",
         [] { return arkGetBBUInfo(0, 1, &bbu); },
         ARK_REQ_GET_BBU_INFO,
         le32(1),
         8,
         {0, bytes({1, 2, 3, 0, 0x10, 0x27, 0x9C, 0x09})},
         0,
         [] {
             EXPECT_EQ(bbu.voltage_mv, 10000);
             EXPECT_EQ(bbu.temperature, 2460);
         }},
        {"SetBBUStatus",
         [] { return arkSetBBUStatus(0, 5); },
         ARK_REQ_SET_BBU_STATUS,
         le32(5),
         0,
         {},
         0,
         nullptr},
        {"GetPCacheSize",
         [] { return arkGetPCacheSize(0); },
         ARK_REQ_GET_PCACHE_SIZE,
         {},
         4,
         {0, le32(4096)},
         4096,
         nullptr},
        {"ClearPCache",
         [] { return arkClearPCache(0); },
         ARK_REQ_CLEAR_PCACHE,
         {},
         0,
         {},
         0,
         nullptr},
        {"GetLDList",
         [] { return arkGetLDList(0, ids, 4); },
         ARK_REQ_GET_LD_LIST,
         {},
         16,
         {0, concat({le32(5), le32(6), bytes({9, 9})})},
         2,  // a trailing partial id is not counted
         [] { EXPECT_EQ(ids[1], 6u); }},
        {"GetPDList",
         [] { return arkGetPDList(0, ids, 3); },
         ARK_REQ_GET_PD_LIST,
         {},
         12,
         {0, concat({le32(7), le32(8), le32(9)})},
         3,
         [] { EXPECT_EQ(ids[2], 9u); }},
        {"GetVDInfo",
         [] { return arkGetVDInfo(0, 0x1234, &vd); },
         ARK_REQ_GET_VD_INFO,
         le32(0x1234),
         336,
         {0, repeat(1, 336)},
         0,
         [] { EXPECT_EQ(vd.type, 1); }},
        {"GetEvent",
         [] { return arkGetEvent(0, &event); },
         ARK_REQ_GET_EVENT,
         {},
         32,
         {0, concat({bytes({17, 0, 0, 0}), le32(0x99)})},
         0,
         [] {
             EXPECT_EQ(event.code, 17);
             EXPECT_EQ(event.devid, 0x99u);
         }},
        {"GetEvent (empty queue)",
         [] { return arkGetEvent(0, &event); },
         ARK_REQ_GET_EVENT,
         {},
         32,
         {-1, {}},
         -1,
         nullptr},
        {"InitDisk",
         [] { return arkInitDisk(0, 21); },
         ARK_REQ_INIT_DISK,
         le32(21),
         0,
         {},
         0,
         nullptr},
        {"GetRAIDCapacity",
         [] { return arkGetRAIDCapacity(0, &params, &capacity); },
         ARK_REQ_GET_RAID_CAPACITY,
         recordBytes(sentParams),
         8,
         {0, bytes({0, 0, 0, 0, 1, 0, 0, 0})},
         0,
         [] { EXPECT_EQ(capacity, uint64_t{1} << 32); }},
        {"CreateArray",
         [] { return arkCreateArray(0, &params); },
         ARK_REQ_CREATE_ARRAY,
         recordBytes(sentParams),
         4,
         {0, le32(0x77)},
         0x77,
         nullptr},
        {"CreateArray (failed)",
         [] { return arkCreateArray(0, &params); },
         ARK_REQ_CREATE_ARRAY,
         recordBytes(sentParams),
         4,
         {-1, le32(0x77)},
         0,
         nullptr},
        {"CheckUnload",
         [] { return arkCheckUnload(0, 3); },
         ARK_REQ_CHECK_UNLOAD,
         le32(3),
         1,
         {0, bytes({200})},
         200,
         nullptr},
        {"UnloadDevice",
         [] { return arkUnloadDevice(0, 3); },
         ARK_REQ_UNLOAD_DEVICE,
         le32(3),
         0,
         {},
         0,
         nullptr},
        {"CheckDelete",
         [] { return arkCheckDelete(0, 4); },
         ARK_REQ_CHECK_DELETE,
         le32(4),
         1,
         {0, bytes({0})},
         0,
         nullptr},
        {"CheckDelete (failed)",
         [] { return arkCheckDelete(0, 4); },
         ARK_REQ_CHECK_DELETE,
         le32(4),
         1,
         {-1, {}},
         -1,
         nullptr},
        {"DeleteArray",
         [] { return arkDeleteArray(0, 4, 1); },
         ARK_REQ_DELETE_ARRAY,
         concat({le32(4), le32(1)}),
         0,
         {},
         0,
         nullptr},
        {"ArrayTaskCtl",
         [] { return arkArrayTaskCtl(0, 4, ARK_TASK_START_VERIFY); },
         ARK_REQ_ARRAY_TASK_CTL,
         concat({le32(4), le32(4)}),
         0,
         {},
         0,
         nullptr},
        {"SetArrayName (20 characters: 15 sent)",
         [] { return arkSetArrayName(0, 9, "ABCDEFGHIJKLMNOPQRST"); },
         ARK_REQ_SET_ARRAY_NAME,
         concat({le32(9), bytes({'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M',
                                 'N', 'O', 0})}),
         0,
         {},
         0,
         nullptr},
        {"SetArrayName (short)",
         [] { return arkSetArrayName(0, 9, "db"); },
         ARK_REQ_SET_ARRAY_NAME,
         concat({le32(9), bytes({'d', 'b'}), repeat(0, 14)}),
         0,
         {},
         0,
         nullptr},
        {"SetCachePolicy",
         [] { return arkSetCachePolicy(0, 9, 2); },
         ARK_REQ_SET_CACHE_POLICY,
         concat({le32(9), bytes({2, 0, 0, 0})}),
         0,
         {},
         0,
         nullptr},
        {"SetDiskRA",
         [] { return arkSetDiskRA(0, 11, 1); },
         ARK_REQ_SET_DISK_RA,
         concat({le32(11), bytes({1, 0, 0, 0})}),
         0,
         {},
         0,
         nullptr},
        {"SetDiskWC",
         [] { return arkSetDiskWC(0, 11, 0); },
         ARK_REQ_SET_DISK_WC,
         concat({le32(11), bytes({0, 0, 0, 0})}),
         0,
         {},
         0,
         nullptr},
        {"SetDiskQD",
         [] { return arkSetDiskQD(0, 11, 1); },
         ARK_REQ_SET_DISK_QD,
         concat({le32(11), bytes({1, 0, 0, 0})}),
         0,
         {},
         0,
         nullptr},
        {"SetDiskSmart",
         [] { return arkSetDiskSmart(0, 11, 1); },
         ARK_REQ_SET_DISK_SMART,
         concat({le32(11), bytes({1, 0, 0, 0})}),
         0,
         {-1, {}},
         -1,
         nullptr},
        {"IdentifyDisk",
         [] { return arkIdentifyDisk(0, 11, 1); },
         ARK_REQ_IDENTIFY_DISK,
         concat({le32(11), bytes({1, 0, 0, 0})}),
         0,
         {},
         0,
         nullptr},
        {"AssignSpareDisk",
         [] { return arkAssignSpareDisk(0, 12); },
         ARK_REQ_ASSIGN_SPARE_DISK,
         le32(12),
         0,
         {},
         0,
         nullptr},
        {"UnassignSpareDisk",
         [] { return arkUnassignSpareDisk(0, 12); },
         ARK_REQ_UNASSIGN_SPARE_DISK,
         le32(12),
         0,
         {},
         0,
         nullptr},
        {"AddDiskToArray",
         [] { return arkAddDiskToArray(0, 4, 12); },
         ARK_REQ_ADD_DISK_TO_ARRAY,
         concat({le32(4), le32(12)}),
         0,
         {},
         0,
         nullptr},
        {"RescanDevices (failure still 0)",
         [] { return arkRescanDevices(0); },
         ARK_REQ_RESCAN_DEVICES,
         {},
         0,
         {-1, {}},
         0,
         nullptr},
        {"SmartCheckAll",
         [] { return arkSmartCheckAll(0); },
         ARK_REQ_SMART_CHECK_ALL,
         {},
         0,
         {},
         0,
         nullptr},
        {"GetConfigInt",
         [] { return arkGetConfigInt(0, "HBAMode", &configValue); },
         ARK_REQ_GET_CONFIG_INT,
         bytes({'H', 'B', 'A', 'M', 'o', 'd', 'e', 0}),
         4,
         {0, le32(0xFFFFFFFE)},
         0,
         [] { EXPECT_EQ(configValue, -2); }},
        {"SetConfigInt",
         [] { return arkSetConfigInt(0, "AutoRebuild", 1); },
         ARK_REQ_SET_CONFIG_INT,
         concat({le32(1), bytes({'A', 'u', 't', 'o', 'R', 'e', 'b', 'u', 'i', 'l', 'd', 0})}),
         0,
         {},
         0,
         nullptr},
        {"SetConfigInt (40-character key: 36 bytes sent)",
         [] { return arkSetConfigInt(0, "0123456789012345678901234567890123456789", 7); },
         ARK_REQ_SET_CONFIG_INT,
         concat({le32(7),
                 std::vector<uint8_t>(
                     reinterpret_cast<const uint8_t*>("0123456789012345678901234567890"),
                     reinterpret_cast<const uint8_t*>("0123456789012345678901234567890") + 31),
                 bytes({0})}),
         0,
         {},
         0,
         nullptr},
        {"GetPciId",
         [] { return arkGetPciId(0, 1, &pciFirst, &pciSecond); },
         ARK_REQ_GET_PCI_ID,
         le32(1),
         8,
         {0, concat({le32(0x10001), le32(0x20002)})},
         0,
         [] {
             EXPECT_EQ(pciFirst, 0x10001u);
             EXPECT_EQ(pciSecond, 0x20002u);
         }},
        {"GetPciId (no pointers)",
         [] { return arkGetPciId(0, 1, nullptr, nullptr); },
         ARK_REQ_GET_PCI_ID,
         le32(1),
         8,
         {0, concat({le32(1), le32(2)})},
         0,
         nullptr},
        {"GetHwMonData",
         [] { return arkGetHwMonData(0, 2, hwmon, 3); },
         ARK_REQ_GET_HWMON_DATA,
         le32(2),
         12,
         {0, bytes({0, 1, 0x9C, 0x09, 1, 2, 0xE8, 0x03})},
         2,
         [] {
             EXPECT_EQ(hwmon[0].value, 2460);
             EXPECT_EQ(hwmon[1].kind, 1);
         }},
    };

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        port->script.clear();
        port->script.push_back(c.reply);
        EXPECT_EQ(c.call(), c.expected);
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].code, c.code);
        EXPECT_EQ(log[0].in, c.in);
        EXPECT_EQ(log[0].outLen, c.outLen);
        if (c.check) c.check();
    }
}

TEST_F(Api, ShortRepliesReadAsZero) {
    port->defaultReply = {0, {}};
    EXPECT_EQ(arkGetControllerCount(0), 0);
    EXPECT_EQ(arkGetPCacheSize(0), 0);
    EXPECT_EQ(arkCheckUnload(0, 1), 0);
    EXPECT_EQ(arkCheckDelete(0, 1), 0);
    const ARK_ARRAY_PARAMS request = sampleParams();
    EXPECT_EQ(arkCreateArray(0, &request), 0);  // no id came back: failure, never garbage
    int32_t value = 5;
    EXPECT_EQ(arkGetConfigInt(0, "HBAMode", &value), 0);
    EXPECT_EQ(value, 0);
    uint32_t ids[4] = {};
    EXPECT_EQ(arkGetPDList(0, ids, 4), 0);
    uint32_t first = 5, second = 5;
    EXPECT_EQ(arkGetPciId(0, 0, &first, &second), 0);
    EXPECT_EQ(first, 0u);
    EXPECT_EQ(second, 0u);
    uint64_t capacity = 5;
    ARK_ARRAY_PARAMS params{};
    EXPECT_EQ(arkGetRAIDCapacity(0, &params, &capacity), 0);
    EXPECT_EQ(capacity, 0u);
}

TEST_F(Api, NullInputsFailWithoutSending) {
    EXPECT_EQ(arkSetArrayName(0, 1, nullptr), -1);
    EXPECT_EQ(arkSetConfigInt(0, nullptr, 1), -1);
    int32_t value = 0;
    EXPECT_EQ(arkGetConfigInt(0, nullptr, &value), -1);
    EXPECT_EQ(arkCreateArray(0, nullptr), 0);
    uint64_t capacity = 0;
    EXPECT_EQ(arkGetRAIDCapacity(0, nullptr, &capacity), -1);
    EXPECT_EQ(arkAtaPassthrough(0, nullptr), -1);
    EXPECT_EQ(arkGetLDList(0, nullptr, 4), -1);
    EXPECT_EQ(arkFlashDownload(0, 0, 0, nullptr, 10), -1);
    EXPECT_EQ(arkFlashUpload(0, 0, 0, nullptr, 10), -1);
    EXPECT_TRUE(log.empty());
}

TEST_F(Api, ListSizeThatCannotBeFramedFails) {
    uint32_t ids[1];
    EXPECT_EQ(arkGetPDList(0, ids, 0x40000000u), -1);
    EXPECT_TRUE(log.empty());
}

TEST_F(Api, BadDomainSendsNothing) {
    ARK_ARRAY_PARAMS params{};
    uint8_t buffer[1024] = {};
    uint32_t ids[2];
    const struct {
        const char* name;
        std::function<int(int)> call;
        int failure;
    } calls[] = {
        {"GetControllerCount", [](int d) { return arkGetControllerCount(d); }, -1},
        {"GetLDList", [&](int d) { return arkGetLDList(d, ids, 2); }, -1},
        {"CreateArray", [&](int d) { return arkCreateArray(d, &params); }, 0},
        {"RescanDevices", [](int d) { return arkRescanDevices(d); }, 0},
        {"CheckDelete", [](int d) { return arkCheckDelete(d, 1); }, -1},
        {"AtaPassthrough", [&](int d) { return arkAtaPassthrough(d, buffer); }, -1},
        {"SetConfigInt", [](int d) { return arkSetConfigInt(d, "HBAMode", 1); }, -1},
        {"FlashUpload", [&](int d) { return arkFlashUpload(d, 0, 0, buffer, 10); }, -1},
        {"FlashDownload", [&](int d) { return arkFlashDownload(d, 0, 0, buffer, 10); }, -1},
        {"GetHwMonData", [](int d) { return arkGetHwMonData(d, 0, nullptr, 0); }, -1},
    };
    for (int domain : {-1, 1}) {  // 1 == the domain count
        for (const auto& c : calls) {
            SCOPED_TRACE(testing::Message() << c.name << " on domain " << domain);
            EXPECT_EQ(c.call(domain), c.failure);
        }
    }
    EXPECT_TRUE(log.empty());
}

TEST_F(Api, AtaPassthroughLengthsFollowTheProtocol) {
    std::vector<uint8_t> buffer(20 + 512 + 20 + 512, 0xEE);
    ARK_ATA_PASSTHROUGH header{};
    header.disk = 11;
    header.command = 0xEC;
    header.sectors = 1;
    header.protocol = ARK_ATA_DATA_IN;
    std::memcpy(buffer.data(), &header, sizeof header);
    port->script.push_back({0, repeat(0xAB, 532)});
    ASSERT_EQ(arkAtaPassthrough(0, buffer.data()), 0);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].in, recordBytes(header));
    EXPECT_EQ(log[0].outLen, 532u);
    EXPECT_EQ(buffer[19], 0);     // the request header is untouched
    EXPECT_EQ(buffer[20], 0xAB);  // the reply starts right after it
    EXPECT_EQ(buffer[551], 0xAB);

    // Data to the disk travels after the header; only the reply header comes back.
    log.clear();
    header.protocol = ARK_ATA_DATA_OUT;
    std::memcpy(buffer.data(), &header, sizeof header);
    std::memset(buffer.data() + 20, 0x5A, 512);
    port->script.push_back({0, repeat(0xCD, 20)});
    ASSERT_EQ(arkAtaPassthrough(0, buffer.data()), 0);
    EXPECT_EQ(log[0].in.size(), 532u);
    EXPECT_EQ(log[0].in[20], 0x5A);
    EXPECT_EQ(log[0].outLen, 20u);
    EXPECT_EQ(buffer[532], 0xCD);
}

TEST_F(Api, FlashUploadReadsInChunksAndStopsAtTheFirstFailure) {
    std::vector<uint8_t> image(2500);
    port->defaultReply = {0, repeat(0x3C, 1024)};
    ASSERT_EQ(arkFlashUpload(0, 1, 0x100, image.data(), 2500), 0);
    ASSERT_EQ(log.size(), 3u);
    const uint32_t offsets[] = {0x100, 0x500, 0x900}, lengths[] = {1024, 1024, 452};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(log[i].code, ARK_REQ_FLASH);
        EXPECT_EQ(log[i].in, concat({le32(1), le32(offsets[i]), le32(0), le32(lengths[i])}));
        EXPECT_EQ(log[i].outLen, lengths[i]);
    }
    EXPECT_EQ(image[2499], 0x3C);

    log.clear();
    port->script = {{0, repeat(1, 1024)}, {-1, {}}};
    EXPECT_EQ(arkFlashUpload(0, 1, 0, image.data(), 2500), -1);
    EXPECT_EQ(log.size(), 2u);

    log.clear();
    EXPECT_EQ(arkFlashUpload(0, 1, 0, image.data(), 0), 0);
    EXPECT_TRUE(log.empty());
}

TEST_F(Api, FlashDownloadPadsTheLastChunk) {
    std::vector<uint8_t> image(1030);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i);
    ASSERT_EQ(arkFlashDownload(0, 2, 0x4000, image.data(), 1030), 0);
    ASSERT_EQ(log.size(), 2u);
    for (const auto& r : log) {
        EXPECT_EQ(r.in.size(), 1040u);
        EXPECT_EQ(r.outLen, 0u);
    }
    EXPECT_EQ(std::vector<uint8_t>(log[0].in.begin(), log[0].in.begin() + 16),
              concat({le32(2), le32(0x4000), le32(1), le32(1024)}));
    EXPECT_EQ(log[0].in[16 + 1023], image[1023]);
    EXPECT_EQ(std::vector<uint8_t>(log[1].in.begin(), log[1].in.begin() + 16),
              concat({le32(2), le32(0x4400), le32(1), le32(8)}));
    EXPECT_EQ(std::vector<uint8_t>(log[1].in.begin() + 16, log[1].in.begin() + 22),
              std::vector<uint8_t>(image.begin() + 1024, image.end()));
    EXPECT_EQ(std::vector<uint8_t>(log[1].in.begin() + 22, log[1].in.end()), repeat(0xFF, 1018));

    log.clear();
    const uint8_t five[5] = {1, 2, 3, 4, 5};
    ASSERT_EQ(arkFlashDownload(0, 0, 0, five, 5), 0);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].in[12], 8);  // length rounded up to a multiple of 4
    EXPECT_EQ(std::vector<uint8_t>(log[0].in.begin() + 21, log[0].in.end()), repeat(0xFF, 1019));

    log.clear();
    port->script = {{0, {}}, {-1, {}}};
    std::vector<uint8_t> big(3000);
    EXPECT_EQ(arkFlashDownload(0, 0, 0, big.data(), 3000), -1);
    EXPECT_EQ(log.size(), 2u);
}

}  // namespace
