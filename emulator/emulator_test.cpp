#include "emulator.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "ark.h"
#include "test_support.h"

namespace emu {
namespace {

using testing::Call;
using testing::EmulatorFrom;
using testing::Get;
using testing::Send;

// Disks 256-258 of 1,000,000 sectors, 259 of 2,000,000, 260 a spare.
constexpr const char* kDisks = R"("disks": [
    {"capacity": 1000000}, {"capacity": 1000000}, {"capacity": 1000000},
    {"capacity": 2000000}, {"capacity": 1000000, "spare": true}])";

std::string Domain(const std::string& extra = "") {
    return std::string(R"({"domains": [{)") + kDisks + (extra.empty() ? "" : ", " + extra) + "}]}";
}

ARK_VD_INFO Info(Emulator& e, uint32_t id) {
    ARK_VD_INFO vd{};
    EXPECT_EQ(Call(e, ARK_REQ_GET_VD_INFO, id, vd), 0) << "id " << id;
    return vd;
}

std::vector<uint32_t> List(Emulator& e, uint32_t code) {
    uint32_t ids[64] = {};
    uint32_t got = 0;
    EXPECT_EQ(e.Handle(code, nullptr, 0, ids, sizeof ids, &got), 0);
    return std::vector<uint32_t>(ids, ids + got / 4);
}

std::vector<std::pair<int, uint32_t>> DrainEvents(Emulator& e) {
    std::vector<std::pair<int, uint32_t>> events;
    ARK_EVENT ev{};
    while (Get(e, ARK_REQ_GET_EVENT, ev) == 0) events.emplace_back(ev.code, ev.devid);
    return events;
}

ARK_ARRAY_PARAMS Params(uint8_t level, std::vector<uint32_t> members, uint64_t capacity = 0) {
    ARK_ARRAY_PARAMS p{};
    std::strcpy(p.aname, "test");
    p.raidlevel = level;
    p.capacity = capacity;
    p.ndisks = uint8_t(members.size());
    for (size_t i = 0; i < members.size(); ++i) p.members[i] = members[i];
    return p;
}

uint32_t Create(Emulator& e, const ARK_ARRAY_PARAMS& p) {
    uint32_t id = 0;
    return Call(e, ARK_REQ_CREATE_ARRAY, p, id) == 0 ? id : 0;
}

int Task(Emulator& e, uint32_t array, uint32_t state) {
    return Send(e, ARK_REQ_ARRAY_TASK_CTL, ARK_ID_VALUE{array, state});
}

// Frames: every request with its exact lengths works, and one byte more or less either way
// fails without running.
TEST(EmulatorLengths, EveryFrameIsCheckedExactly) {
    auto e = EmulatorFrom(Domain(R"("events": [{"code": 1, "devid": 256}],
        "controllers": [{"battery": {}, "hwmon": [{"kind": 0, "sensor": 0, "value": 10}]}])"));
    auto u32 = [](uint32_t v) {
        std::vector<uint8_t> b(4);
        std::memcpy(b.data(), &v, 4);
        return b;
    };
    auto bytes = [](const void* p, size_t n) {
        const auto* c = static_cast<const uint8_t*>(p);
        return std::vector<uint8_t>(c, c + n);
    };
    const ARK_ID_SETTING smartOn{256, 1, {}};
    const ARK_FLASH_REQUEST flashRead{0, 0, 0, 8, {}};
    ARK_CONFIG_INT setKey{7, {}};
    std::strcpy(setKey.key, "HBAMode");
    ARK_ATA_PASSTHROUGH identify{};
    identify.disk = 256;
    identify.command = 0xEC;
    identify.sectors = 1;
    identify.protocol = ARK_ATA_DATA_IN;
    struct Row {
        const char* name;
        uint32_t code;
        std::vector<uint8_t> in;
        uint32_t out;
        bool listLike;  // any multiple of 4 is a valid output length
    };
    const Row rows[] = {
        {"driver info", ARK_REQ_GET_DRIVER_INFO, {}, 64, false},
        {"controller count", ARK_REQ_GET_CONTROLLER_COUNT, {}, 4, false},
        {"controller info", ARK_REQ_GET_CONTROLLER_INFO, u32(0), 132, false},
        {"ld list", ARK_REQ_GET_LD_LIST, {}, 16, true},
        {"pd list", ARK_REQ_GET_PD_LIST, {}, 8, true},
        {"vd info", ARK_REQ_GET_VD_INFO, u32(256), 336, false},
        {"event", ARK_REQ_GET_EVENT, {}, 32, false},
        {"check unload", ARK_REQ_CHECK_UNLOAD, u32(256), 1, false},
        {"set smart", ARK_REQ_SET_DISK_SMART, bytes(&smartOn, 8), 0, false},
        {"locate", ARK_REQ_IDENTIFY_DISK, bytes(&smartOn, 8), 0, false},
        {"rescan", ARK_REQ_RESCAN_DEVICES, {}, 0, false},
        {"smart check all", ARK_REQ_SMART_CHECK_ALL, {}, 0, false},
        {"get config", ARK_REQ_GET_CONFIG_INT, bytes("HBAMode", 8), 4, false},
        {"set config", ARK_REQ_SET_CONFIG_INT, bytes(&setKey, 12), 0, false},
        {"bbu info", ARK_REQ_GET_BBU_INFO, u32(0), 8, false},
        {"pcache size", ARK_REQ_GET_PCACHE_SIZE, {}, 4, false},
        {"clear pcache", ARK_REQ_CLEAR_PCACHE, {}, 0, false},
        {"hwmon", ARK_REQ_GET_HWMON_DATA, u32(0), 8, true},
        {"pci id", ARK_REQ_GET_PCI_ID, u32(0), 8, false},
        {"flash read", ARK_REQ_FLASH, bytes(&flashRead, 16), 8, false},
        {"identify", ARK_REQ_ATA_PASSTHROUGH, bytes(&identify, 20), 532, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<uint8_t> in = row.in;
        in.resize(in.size() + 8, 0);  // room for the longer frames
        std::vector<uint8_t> out(row.out + 8);
        const uint32_t inLen = uint32_t(row.in.size());
        EXPECT_EQ(e->Handle(row.code, in.data(), inLen, out.data(), row.out, nullptr), 0);
        EXPECT_EQ(e->Handle(row.code, in.data(), inLen + 1, out.data(), row.out, nullptr), -1);
        EXPECT_EQ(e->Handle(row.code, in.data(), inLen, out.data(), row.out + 1, nullptr), -1);
        if (inLen) {
            EXPECT_EQ(e->Handle(row.code, in.data(), inLen - 1, out.data(), row.out, nullptr), -1);
        }
        if (row.out && !row.listLike) {
            EXPECT_EQ(e->Handle(row.code, in.data(), inLen, out.data(), row.out - 1, nullptr), -1);
        }
        if (!row.listLike) {
            EXPECT_EQ(e->Handle(row.code, in.data(), inLen, out.data(), row.out + 4, nullptr), -1);
        }
    }
}

TEST(EmulatorLengths, MalformedRecordsFail) {
    auto e = EmulatorFrom(Domain());
    uint8_t out[1100] = {};
    ARK_FLASH_REQUEST write{0, 0, 1, 6, {}};  // length not a multiple of 4
    ARK_FLASH_REQUEST bigRead{0, 0, 0, 1028, {}};
    ARK_FLASH_REQUEST wrongWay{0, 0, 1, 8, {}};  // a write direction in a read frame
    ARK_ATA_PASSTHROUGH ata{};
    ata.disk = 256;
    ata.command = 0xEC;
    ata.sectors = 1;
    ata.protocol = ARK_ATA_DATA_OUT;  // data to the disk, yet no data in the frame
    char longKey[40];
    std::memset(longKey, 'K', sizeof longKey);
    longKey[32] = 0;  // 32 characters and the NUL: one too many
    const char noNul[8] = {'H', 'B', 'A', 'M', 'o', 'd', 'e', 'X'};
    struct Row {
        const char* name;
        uint32_t code;
        const void* in;
        uint32_t inLen, outLen;
    };
    const Row rows[] = {
        {"flash write length 6", ARK_REQ_FLASH, &write, 1040, 0},
        {"flash read over 1024", ARK_REQ_FLASH, &bigRead, 16, 1028},
        {"flash read with write direction", ARK_REQ_FLASH, &wrongWay, 16, 8},
        {"ata data-out without data", ARK_REQ_ATA_PASSTHROUGH, &ata, 20, 20},
        {"config key of 32 characters", ARK_REQ_GET_CONFIG_INT, longKey, 33, 4},
        {"config key without NUL", ARK_REQ_GET_CONFIG_INT, noNul, 8, 4},
        {"unused code 0x8000001B", 0x8000001Bu, nullptr, 0, 0},
        {"null input buffer", ARK_REQ_GET_VD_INFO, nullptr, 4, 336},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(e->Handle(row.code, row.in, row.inLen, out, row.outLen, nullptr), -1);
    }
}

TEST(EmulatorLists, ReturnAtMostTheRoomGiven) {
    auto e = EmulatorFrom(Domain());
    uint32_t ids[8] = {};
    uint32_t got = 99;
    ASSERT_EQ(e->Handle(ARK_REQ_GET_PD_LIST, nullptr, 0, ids, 12, &got), 0);
    EXPECT_EQ(got, 12u);
    EXPECT_EQ(ids[0], 256u);
    EXPECT_EQ(ids[2], 258u);
    EXPECT_EQ(ids[3], 0u);  // past the room: untouched
    EXPECT_EQ(List(*e, ARK_REQ_GET_PD_LIST).size(), 5u);
    EXPECT_TRUE(List(*e, ARK_REQ_GET_LD_LIST).empty());
}

// A legacy disk is a logical device of its own until it is initialised.
TEST(EmulatorLists, LegacyDiskIsALogicalDevice) {
    auto e =
        EmulatorFrom(R"({"domains": [{"disks": [{"capacity": 10}, {"capacity": 10, "legacy": true}],
        "arrays": [{"level": "RAID0", "members": [256]}]}]})");
    EXPECT_EQ(List(*e, ARK_REQ_GET_LD_LIST), (std::vector<uint32_t>{258, 257}));
    EXPECT_EQ(Info(*e, 257).target_id, 0);
    EXPECT_EQ(Info(*e, 258).target_id, 1);
    ASSERT_EQ(Send(*e, ARK_REQ_INIT_DISK, uint32_t(257)), 0);
    EXPECT_EQ(List(*e, ARK_REQ_GET_LD_LIST), std::vector<uint32_t>{258});
    EXPECT_EQ(Info(*e, 257).target_id, 255);
}

TEST(EmulatorArrays, CapacityFollowsTheLevel) {
    struct Row {
        const char* name;
        uint8_t level;
        std::vector<uint32_t> members;
        uint8_t subdisks;
        uint64_t cap;
        int64_t expected;  // -1: refused
    };
    const Row rows[] = {
        {"raid0 of three", ARK_RAID0, {256, 257, 258}, 0, 0, 3000000},
        {"raid1 of two", ARK_RAID1, {256, 257}, 0, 0, 1000000},
        {"raid5 of three", ARK_RAID5, {256, 257, 258}, 0, 0, 2000000},
        {"raid6 of four, smallest decides", ARK_RAID6, {256, 257, 258, 259}, 0, 0, 2000000},
        {"jbod sums", ARK_JBOD, {256, 259}, 0, 0, 3000000},
        {"raid5 capped", ARK_RAID5, {256, 257, 258}, 0, 1500000, 1500000},
        {"raid10 of two pairs", ARK_RAID1, {256, 257, 258, 259}, 2, 0, 2000000},
        {"raid1 of one", ARK_RAID1, {256}, 0, 0, -1},
        {"raid5 of two", ARK_RAID5, {256, 257}, 0, 0, -1},
        {"raid6 of three", ARK_RAID6, {256, 257, 258}, 0, 0, -1},
        {"spare as member", ARK_RAID1, {256, 260}, 0, 0, -1},
        {"same disk twice", ARK_RAID1, {256, 256}, 0, 0, -1},
        {"unknown disk", ARK_RAID1, {256, 999}, 0, 0, -1},
        {"unknown level", 9, {256, 257}, 0, 0, -1},
        {"no members", ARK_RAID0, {}, 0, 0, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto e = EmulatorFrom(Domain());
        ARK_ARRAY_PARAMS p = Params(row.level, row.members, row.cap);
        p.subdisks = row.subdisks;
        uint64_t capacity = 0;
        const int rc = Call(*e, ARK_REQ_GET_RAID_CAPACITY, p, capacity);
        if (row.expected < 0) {
            EXPECT_EQ(rc, -1);
            EXPECT_EQ(Create(*e, p), 0u);
        } else {
            ASSERT_EQ(rc, 0);
            EXPECT_EQ(capacity, uint64_t(row.expected));
            const uint32_t id = Create(*e, p);
            ASSERT_NE(id, 0u);
            EXPECT_EQ(Info(*e, id).capacity, uint64_t(row.expected));
        }
    }
}

TEST(EmulatorArrays, CreateTakesDisksAndDeleteFreesThem) {
    auto e = EmulatorFrom(Domain());
    const uint32_t id = Create(*e, Params(ARK_RAID5, {256, 257, 258}, 1500000));
    ASSERT_NE(id, 0u);
    EXPECT_NE(id, ARK_ID_NONE);
    const ARK_VD_INFO a = Info(*e, id);
    EXPECT_EQ(a.type, ARK_VD_TYPE_ARRAY);
    EXPECT_EQ(a.array.ndisks, 3);
    EXPECT_EQ(a.array.members[2], 258u);
    EXPECT_EQ(a.array.members[3], ARK_ID_NONE);
    EXPECT_EQ(a.parent, 0u);
    EXPECT_LT(a.target_id, 255);
    EXPECT_NE(a.array.signature, 0u);
    const ARK_VD_INFO d = Info(*e, 257);
    EXPECT_EQ(d.disk.parents[0], id);
    EXPECT_EQ(d.disk.parents[1], ARK_ID_NONE);
    EXPECT_EQ(d.disk.total_free, 250000u);
    EXPECT_EQ(List(*e, ARK_REQ_GET_LD_LIST), std::vector<uint32_t>{id});
    EXPECT_EQ(DrainEvents(*e), (std::vector<std::pair<int, uint32_t>>{{26, id}}));

    // The rest of each disk makes a second array.
    const uint32_t second = Create(*e, Params(ARK_RAID0, {256, 257}));
    ASSERT_NE(second, 0u);
    EXPECT_EQ(Info(*e, second).capacity, 500000u);
    EXPECT_EQ(Info(*e, 256).disk.parents[1], second);
    EXPECT_EQ(Create(*e, Params(ARK_RAID0, {256})), 0u);  // nothing left

    uint8_t answer = 9;
    ASSERT_EQ(Call(*e, ARK_REQ_CHECK_DELETE, id, answer), 0);
    EXPECT_EQ(answer, 0);
    ASSERT_EQ(Send(*e, ARK_REQ_DELETE_ARRAY, ARK_ID_VALUE{id, 0}), 0);
    EXPECT_EQ(Info(*e, 258).disk.total_free, 1000000u);
    EXPECT_EQ(Info(*e, 258).disk.parents[0], ARK_ID_NONE);
    EXPECT_EQ(Info(*e, 256).disk.parents[0], second);
    // The hole the first array left is the largest free run of disk 256.
    EXPECT_EQ(Info(*e, 256).disk.max_free, 750000u);
    EXPECT_EQ(Info(*e, 256).disk.total_free, 750000u);
    ARK_VD_INFO gone{};
    EXPECT_EQ(Call(*e, ARK_REQ_GET_VD_INFO, id, gone), -1);
    EXPECT_EQ(Send(*e, ARK_REQ_DELETE_ARRAY, ARK_ID_VALUE{id, 0}), -1);
}

TEST(EmulatorArrays, NestedArrayHoldsSubArrays) {
    auto e = EmulatorFrom(Domain());
    ARK_ARRAY_PARAMS p = Params(ARK_RAID1, {256, 257, 258, 259});
    p.subdisks = 2;
    const uint32_t id = Create(*e, p);
    ASSERT_NE(id, 0u);
    const ARK_VD_INFO top = Info(*e, id);
    EXPECT_EQ(top.array.raidlevel, ARK_RAID0);
    EXPECT_EQ(top.array.sub_raidlevel, ARK_RAID1);
    ASSERT_EQ(top.array.ndisks, 2);
    const ARK_VD_INFO sub = Info(*e, top.array.members[1]);
    EXPECT_EQ(sub.parent, id);
    EXPECT_EQ(sub.array.raidlevel, ARK_RAID1);
    EXPECT_EQ(sub.array.members[0], 258u);
    EXPECT_EQ(Info(*e, 259).disk.parents[0], top.array.members[1]);
    EXPECT_EQ(List(*e, ARK_REQ_GET_LD_LIST), std::vector<uint32_t>{id});
    // Only the whole array can be deleted; that frees every disk.
    EXPECT_EQ(Send(*e, ARK_REQ_DELETE_ARRAY, ARK_ID_VALUE{top.array.members[0], 0}), -1);
    ASSERT_EQ(Send(*e, ARK_REQ_DELETE_ARRAY, ARK_ID_VALUE{id, 0}), 0);
    EXPECT_EQ(Info(*e, 259).disk.total_free, 2000000u);
}

TEST(EmulatorArrays, TasksSetFlagsAndFinishOverTicks) {
    auto e = EmulatorFrom(Domain(R"("progress_per_tick": 5000,
        "arrays": [{"level": "RAID5", "members": [256, 257, 258]}])"));
    const uint32_t id = 261;
    struct Step {
        const char* name;
        uint32_t task;  // 0: a tick instead
        int rc;
        uint32_t flags;
        std::vector<std::pair<int, uint32_t>> events;
    };
    const Step steps[] = {
        {"rebuild of a healthy array", ARK_TASK_START_REBUILD, -1, 0, {}},
        {"stop verify not running", ARK_TASK_STOP_VERIFY, -1, 0, {}},
        {"start verify", ARK_TASK_START_VERIFY, 0, ARK_ARRAY_VERIFYING, {{9, id}}},
        {"verify twice", ARK_TASK_START_VERIFY, -1, ARK_ARRAY_VERIFYING, {}},
        {"half way", 0, 0, ARK_ARRAY_VERIFYING, {}},
        {"verify done", 0, 0, 0, {{12, id}}},
        {"start verify again", ARK_TASK_START_VERIFY, 0, ARK_ARRAY_VERIFYING, {{9, id}}},
        {"stop verify", ARK_TASK_STOP_VERIFY, 0, 0, {{10, id}}},
        {"transform without target", ARK_TASK_START_TRANSFORM, -1, 0, {}},
        {"unknown task", 3, -1, 0, {}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        if (s.task)
            EXPECT_EQ(Task(*e, id, s.task), s.rc);
        else
            e->Tick();
        const ARK_VD_INFO a = Info(*e, id);
        EXPECT_EQ(a.array.flags, s.flags);
        EXPECT_EQ(DrainEvents(*e), s.events);
        if (std::string(s.name) == "half way") {
            EXPECT_EQ(a.array.rebuilt_percent, 5000u);
        }
    }
}

TEST(EmulatorArrays, InitialisationRunsInForegroundOrBackground) {
    auto e = EmulatorFrom(Domain(R"("progress_per_tick": 10000)"));
    ARK_ARRAY_PARAMS p = Params(ARK_RAID1, {256, 257});
    p.init_options = 1;
    const uint32_t id = Create(*e, p);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(Info(*e, id).array.flags, ARK_ARRAY_UNINITIALIZED | ARK_ARRAY_FG_INIT);
    EXPECT_EQ(DrainEvents(*e), (std::vector<std::pair<int, uint32_t>>{{26, id}, {13, id}}));
    EXPECT_EQ(Task(*e, id, ARK_TASK_START_VERIFY), -1);
    ASSERT_EQ(Task(*e, id, ARK_TASK_STOP_FG_INIT), 0);
    EXPECT_EQ(Info(*e, id).array.flags, ARK_ARRAY_UNINITIALIZED);
    ASSERT_EQ(Task(*e, id, ARK_TASK_START_REBUILD), 0);  // background initialisation
    EXPECT_EQ(Info(*e, id).array.flags, ARK_ARRAY_UNINITIALIZED | ARK_ARRAY_REBUILDING);
    e->Tick();
    EXPECT_EQ(Info(*e, id).array.flags, 0u);
    EXPECT_EQ(DrainEvents(*e),
              (std::vector<std::pair<int, uint32_t>>{{14, id}, {13, id}, {16, id}}));
}

TEST(EmulatorArrays, AddDiskToCriticalArrayRebuildsIt) {
    auto e = EmulatorFrom(Domain(R"("progress_per_tick": 5000,
        "arrays": [{"level": "RAID5", "members": [256, 257, 0]}])"));
    const uint32_t id = 261;
    EXPECT_EQ(Info(*e, id).array.flags, ARK_ARRAY_CRITICAL);
    EXPECT_EQ(Send(*e, ARK_REQ_ADD_DISK_TO_ARRAY, ARK_ID_VALUE{id, 256}), -1);  // a member
    ASSERT_EQ(Send(*e, ARK_REQ_ADD_DISK_TO_ARRAY, ARK_ID_VALUE{id, 259}), 0);
    ARK_VD_INFO a = Info(*e, id);
    EXPECT_EQ(a.array.members[2], 259u);
    EXPECT_EQ(a.array.flags, ARK_ARRAY_REBUILDING);
    EXPECT_EQ(a.array.outdated_mmask, 0x4u);
    EXPECT_EQ(Info(*e, 259).disk.parents[0], id);
    EXPECT_EQ(Info(*e, 259).disk.total_free, 1000000u);
    // Stopping leaves it needing a rebuild; starting again finishes it.
    ASSERT_EQ(Task(*e, id, ARK_TASK_STOP_REBUILD), 0);
    EXPECT_EQ(Info(*e, id).array.flags, ARK_ARRAY_NEED_REBUILD);
    ASSERT_EQ(Task(*e, id, ARK_TASK_START_REBUILD), 0);
    e->Tick();
    e->Tick();
    a = Info(*e, id);
    EXPECT_EQ(a.array.flags, 0u);
    EXPECT_EQ(a.array.outdated_mmask, 0u);
    EXPECT_EQ(DrainEvents(*e),
              (std::vector<std::pair<int, uint32_t>>{{4, id}, {5, id}, {4, id}, {6, id}}));
    EXPECT_EQ(Send(*e, ARK_REQ_ADD_DISK_TO_ARRAY, ARK_ID_VALUE{id, 260}), -1);  // not critical
}

TEST(EmulatorArrays, FailedDiskBringsInTheSpare) {
    const std::string script = R"("arrays": [{"level": "RAID1", "members": [256, 257]}],
        "script": [{"tick": 1, "action": "fail_disk", "id": 257}])";
    auto e = EmulatorFrom(Domain(script));
    e->Tick();
    const uint32_t id = 261;
    EXPECT_EQ(DrainEvents(*e),
              (std::vector<std::pair<int, uint32_t>>{{3, 257}, {7, 260}, {4, id}}));
    const ARK_VD_INFO a = Info(*e, id);
    EXPECT_EQ(a.array.members[1], 260u);
    EXPECT_EQ(a.array.flags, ARK_ARRAY_REBUILDING);
    EXPECT_EQ(Info(*e, 260).disk.flags & ARK_DISK_SPARE, 0u);
    EXPECT_EQ(Info(*e, 257).disk.flags & ARK_DISK_DISABLED, ARK_DISK_DISABLED);
    EXPECT_EQ(Info(*e, 257).disk.parents[0], ARK_ID_NONE);

    auto manual = EmulatorFrom(Domain(script + R"(, "config": {"AutoRebuild": 0})"));
    manual->Tick();
    EXPECT_EQ(Info(*manual, id).array.flags, ARK_ARRAY_CRITICAL);
    EXPECT_EQ(Info(*manual, 260).disk.flags & ARK_DISK_SPARE, ARK_DISK_SPARE);
}

// A member pulled out and found again by a rescan missed writes: the array needs a rebuild.
TEST(EmulatorArrays, RemovedMemberComesBackOutdated) {
    auto e = EmulatorFrom(Domain(R"("arrays": [{"level": "RAID1", "members": [256, 257]}],
        "config": {"AutoRebuild": 0},
        "script": [{"tick": 1, "action": "remove_disk", "id": 257}])"));
    const uint32_t id = 261;
    e->Tick();
    EXPECT_EQ(Info(*e, id).array.flags, ARK_ARRAY_CRITICAL);
    ASSERT_EQ(e->Handle(ARK_REQ_RESCAN_DEVICES, nullptr, 0, nullptr, 0, nullptr), 0);
    const ARK_VD_INFO back = Info(*e, id);
    EXPECT_EQ(back.array.flags, ARK_ARRAY_NEED_REBUILD);
    EXPECT_EQ(back.array.outdated_mmask, 0x2u);
    ASSERT_EQ(Task(*e, id, ARK_TASK_START_REBUILD), 0);
    for (int i = 0; i < 10; ++i) e->Tick();
    EXPECT_EQ(Info(*e, id).array.flags, 0u);
    EXPECT_EQ(Info(*e, id).array.outdated_mmask, 0u);
}

TEST(EmulatorArrays, TransformGrowsAnArrayInPlace) {
    auto e = EmulatorFrom(Domain(R"("progress_per_tick": 5000,
        "arrays": [{"name": "grow", "level": "RAID5", "members": [256, 257, 258], "per_disk": 500000}])"));
    const uint32_t src = 261;
    ARK_ARRAY_PARAMS p = Params(ARK_RAID5, {256, 257, 258, 259});
    p.source_id = src;
    uint64_t capacity = 0;
    ASSERT_EQ(Call(*e, ARK_REQ_GET_RAID_CAPACITY, p, capacity), 0);
    EXPECT_EQ(capacity, 3000000u);
    const uint32_t tgt = Create(*e, p);
    ASSERT_NE(tgt, 0u);
    ARK_VD_INFO s = Info(*e, src);
    EXPECT_EQ(s.array.flags, ARK_ARRAY_NEED_TRANSFORM);
    EXPECT_EQ(s.array.transform_tgt, tgt);
    EXPECT_EQ(Info(*e, tgt).array.transform_tgt, tgt);
    EXPECT_EQ(List(*e, ARK_REQ_GET_LD_LIST), std::vector<uint32_t>{src});
    DrainEvents(*e);
    ASSERT_EQ(Task(*e, src, ARK_TASK_START_TRANSFORM), 0);
    EXPECT_EQ(Info(*e, src).array.flags, ARK_ARRAY_TRANSFORMING);
    e->Tick();
    EXPECT_EQ(Info(*e, src).array.transform_percent, 5000u);
    e->Tick();
    EXPECT_EQ(List(*e, ARK_REQ_GET_LD_LIST), std::vector<uint32_t>{tgt});
    const ARK_VD_INFO done = Info(*e, tgt);
    EXPECT_EQ(done.capacity, 3000000u);
    EXPECT_EQ(done.array.transform_tgt, ARK_ID_NONE);
    EXPECT_EQ(done.target_id, s.target_id);
    EXPECT_STREQ(done.array.aname, "test");
    EXPECT_EQ(Info(*e, 256).disk.parents[0], tgt);
    EXPECT_EQ(Info(*e, 256).disk.parents[1], ARK_ID_NONE);
    EXPECT_EQ(Info(*e, 256).disk.total_free, 0u);
    EXPECT_EQ(DrainEvents(*e), (std::vector<std::pair<int, uint32_t>>{{18, src}, {21, tgt}}));
}

TEST(EmulatorArrays, RenameAndCachePolicy) {
    auto e = EmulatorFrom(
        R"({"domains": [{"driver": {"raid_levels": [3], "cache_policies": [6]},
            "disks": [{"capacity": 1000}, {"capacity": 1000}, {"capacity": 1000}],
            "arrays": [{"level": "RAID5", "members": [256, 257, 258]}]}]})");
    ARK_ARRAY_NAME name{259, {}};
    std::memcpy(name.name, "ABCDEFGHIJKLMNOP", 16);  // 16 characters, no NUL
    ASSERT_EQ(Send(*e, ARK_REQ_SET_ARRAY_NAME, name), 0);
    EXPECT_EQ(std::string(Info(*e, 259).array.aname), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(Send(*e, ARK_REQ_SET_ARRAY_NAME, ARK_ARRAY_NAME{999, {}}), -1);
    // Mask 6 allows write-through and write-back only.
    EXPECT_EQ(Send(*e, ARK_REQ_SET_CACHE_POLICY, ARK_ID_SETTING{259, 2, {}}), 0);
    EXPECT_EQ(Info(*e, 259).cache_policy, 2);
    EXPECT_EQ(Send(*e, ARK_REQ_SET_CACHE_POLICY, ARK_ID_SETTING{259, 3, {}}), -1);
    EXPECT_EQ(Send(*e, ARK_REQ_SET_CACHE_POLICY, ARK_ID_SETTING{259, 0, {}}), -1);
    EXPECT_EQ(Info(*e, 259).cache_policy, 2);
}

TEST(EmulatorDisks, SettingsNeedTheirSupportedBit) {
    auto e = EmulatorFrom(R"({"domains": [{"disks": [
        {"capacity": 10, "read_ahead": "unsupported", "write_cache": "off", "ncq": "on",
         "smart": false}]}]})");
    struct Row {
        const char* name;
        uint32_t code;
        uint8_t value;
        int rc;
        uint32_t bit;
        bool bitSet;
    };
    const Row rows[] = {
        {"read-ahead unsupported", ARK_REQ_SET_DISK_RA, 1, -1, ARK_DISK_RA_ON, false},
        {"write cache on", ARK_REQ_SET_DISK_WC, 1, 0, ARK_DISK_WC_ON, true},
        {"write cache off", ARK_REQ_SET_DISK_WC, 0, 0, ARK_DISK_WC_ON, false},
        {"queueing off", ARK_REQ_SET_DISK_QD, 0, 0, ARK_DISK_QD_ON, false},
        {"smart on", ARK_REQ_SET_DISK_SMART, 1, 0, ARK_DISK_SMART_ON, true},
        {"smart off", ARK_REQ_SET_DISK_SMART, 0, 0, ARK_DISK_SMART_ON, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Send(*e, row.code, ARK_ID_SETTING{256, row.value, {}}), row.rc);
        EXPECT_EQ((Info(*e, 256).disk.flags & row.bit) != 0, row.bitSet);
    }
    EXPECT_EQ(Info(*e, 256).disk.flags & ARK_DISK_RA_SUPPORTED, 0u);
    ASSERT_EQ(Send(*e, ARK_REQ_IDENTIFY_DISK, ARK_ID_SETTING{256, 1, {}}), 0);
    EXPECT_TRUE(e->Snapshot().disks.at(256).locate);
    EXPECT_EQ(Send(*e, ARK_REQ_SET_DISK_WC, ARK_ID_SETTING{999, 1, {}}), -1);
}

TEST(EmulatorDisks, SparesInitialisationUnloadAndRescan) {
    auto e = EmulatorFrom(Domain(R"("arrays": [{"level": "RAID1", "members": [256, 257]}])"));
    e->Modify([](State& s) { s.disks.at(258).flags |= ARK_DISK_UNINITIALIZED; });
    EXPECT_EQ(Send(*e, ARK_REQ_ASSIGN_SPARE_DISK, uint32_t(256)), -1);  // in an array
    EXPECT_EQ(Send(*e, ARK_REQ_ASSIGN_SPARE_DISK, uint32_t(258)), -1);  // not initialised
    ASSERT_EQ(Send(*e, ARK_REQ_INIT_DISK, uint32_t(258)), 0);
    EXPECT_EQ(Info(*e, 258).disk.flags & ARK_DISK_UNINITIALIZED, 0u);
    ASSERT_EQ(Send(*e, ARK_REQ_ASSIGN_SPARE_DISK, uint32_t(258)), 0);
    EXPECT_EQ(Info(*e, 258).disk.flags & ARK_DISK_SPARE, ARK_DISK_SPARE);
    ASSERT_EQ(Send(*e, ARK_REQ_UNASSIGN_SPARE_DISK, uint32_t(258)), 0);
    EXPECT_EQ(Info(*e, 258).disk.flags & ARK_DISK_SPARE, 0u);
    EXPECT_EQ(Send(*e, ARK_REQ_UNASSIGN_SPARE_DISK, uint32_t(258)), -1);
    EXPECT_EQ(Send(*e, ARK_REQ_INIT_DISK, uint32_t(256)), -1);  // in an array

    uint8_t answer = 9;
    ASSERT_EQ(Call(*e, ARK_REQ_CHECK_UNLOAD, uint32_t(256), answer), 0);
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(Send(*e, ARK_REQ_UNLOAD_DEVICE, uint32_t(256)), -1);
    ASSERT_EQ(Call(*e, ARK_REQ_CHECK_UNLOAD, uint32_t(259), answer), 0);
    EXPECT_EQ(answer, 0);
    ASSERT_EQ(Send(*e, ARK_REQ_UNLOAD_DEVICE, uint32_t(259)), 0);
    EXPECT_EQ(List(*e, ARK_REQ_GET_PD_LIST), (std::vector<uint32_t>{256, 257, 258, 260}));
    ASSERT_EQ(e->Handle(ARK_REQ_RESCAN_DEVICES, nullptr, 0, nullptr, 0, nullptr), 0);
    EXPECT_EQ(List(*e, ARK_REQ_GET_PD_LIST).size(), 5u);
    EXPECT_EQ(DrainEvents(*e), (std::vector<std::pair<int, uint32_t>>{{1, 259}, {2, 259}}));
}

TEST(EmulatorDisks, SmartCheckAllReportsEachDisk) {
    auto e = EmulatorFrom(R"({"domains": [{"disks": [
        {"capacity": 10}, {"capacity": 10, "smart_failing": true}, {"capacity": 10, "smart": false}]}]})");
    ASSERT_EQ(e->Handle(ARK_REQ_SMART_CHECK_ALL, nullptr, 0, nullptr, 0, nullptr), 0);
    EXPECT_EQ(DrainEvents(*e), (std::vector<std::pair<int, uint32_t>>{{23, 256}, {22, 257}}));
}

TEST(EmulatorController, BatteryCommandsChangeItsStatus) {
    struct Row {
        const char* name;
        uint8_t status;
        uint32_t command;
        int rc;
        uint8_t after;
    };
    const Row rows[] = {
        {"learn", ARK_BBU_ENABLED | ARK_BBU_CHARGING, 5, 0, ARK_BBU_ENABLED | ARK_BBU_DISCHARGING},
        {"stop learn", ARK_BBU_ENABLED | ARK_BBU_DISCHARGING, 3, 0,
         ARK_BBU_ENABLED | ARK_BBU_CHARGING},
        {"stop while idle", ARK_BBU_ENABLED, 3, -1, ARK_BBU_ENABLED},
        {"disable", ARK_BBU_ENABLED | ARK_BBU_CHARGING, 0, 0, 0},
        {"learn when disabled", 0, 5, -1, 0},
        {"learn when faulted", ARK_BBU_ENABLED | ARK_BBU_FAULTED, 5, -1,
         ARK_BBU_ENABLED | ARK_BBU_FAULTED},
        {"unknown command", ARK_BBU_ENABLED, 4, -1, ARK_BBU_ENABLED},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto e = EmulatorFrom(R"({"domains": [{"controllers": [{"battery": {"status": )" +
                              std::to_string(row.status) + "}}]}]}");
        EXPECT_EQ(Send(*e, ARK_REQ_SET_BBU_STATUS, row.command), row.rc);
        ARK_BBU_INFO b{};
        ASSERT_EQ(Call(*e, ARK_REQ_GET_BBU_INFO, uint32_t(0), b), 0);
        EXPECT_EQ(b.bbu_installed, 1);
        EXPECT_EQ(b.bbu_status, row.after);
    }
    auto none = EmulatorFrom(R"({"domains": [{}]})");
    EXPECT_EQ(Send(*none, ARK_REQ_SET_BBU_STATUS, uint32_t(5)), -1);
    ARK_BBU_INFO b{};
    ASSERT_EQ(Call(*none, ARK_REQ_GET_BBU_INFO, uint32_t(0), b), 0);
    EXPECT_EQ(b.bbu_installed, 0);
    EXPECT_EQ(Call(*none, ARK_REQ_GET_BBU_INFO, uint32_t(1), b), -1);
}

TEST(EmulatorController, LearnCycleRunsOverTicks) {
    auto e =
        EmulatorFrom(R"({"domains": [{"bbu_phase_ticks": 2, "controllers": [{"battery": {}}]}]})");
    ASSERT_EQ(Send(*e, ARK_REQ_SET_BBU_STATUS, uint32_t(5)), 0);
    const uint8_t expected[] = {ARK_BBU_ENABLED | ARK_BBU_DISCHARGING,
                                ARK_BBU_ENABLED | ARK_BBU_CHARGING,
                                ARK_BBU_ENABLED | ARK_BBU_CHARGING, ARK_BBU_ENABLED};
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i + 1);
        e->Tick();
        ARK_BBU_INFO b{};
        ASSERT_EQ(Call(*e, ARK_REQ_GET_BBU_INFO, uint32_t(0), b), 0);
        EXPECT_EQ(b.bbu_status, expected[i]);
    }
}

TEST(EmulatorController, FlashWritesAndReadsByOffset) {
    auto e = EmulatorFrom(R"({"domains": [{"controllers": [{"flash_size": 4096}]}]})");
    ARK_FLASH_REQUEST w{0, 1000, 1, 8, {}};
    std::memset(w.data, 0xFF, sizeof w.data);
    std::memcpy(w.data, "hello", 5);
    ASSERT_EQ(Send(*e, ARK_REQ_FLASH, w), 0);
    const std::vector<uint8_t> flash = e->Snapshot().controllers[0].flash;
    EXPECT_EQ(std::string(flash.begin() + 1000, flash.begin() + 1005), "hello");
    EXPECT_EQ(flash[1005], 0xFF);
    EXPECT_EQ(flash[999], 0xFF);

    uint8_t back[6] = {};
    ARK_FLASH_REQUEST r{0, 999, 0, 6, {}};
    uint32_t got = 0;
    ASSERT_EQ(e->Handle(ARK_REQ_FLASH, &r, 16, back, 6, &got), 0);
    EXPECT_EQ(got, 6u);
    EXPECT_EQ(std::memcmp(back, "\xFFhello", 6), 0);

    ARK_FLASH_REQUEST past{0, 4092, 1, 8, {}};
    EXPECT_EQ(Send(*e, ARK_REQ_FLASH, past), -1);
    ARK_FLASH_REQUEST otherController{1, 0, 1, 8, {}};
    EXPECT_EQ(Send(*e, ARK_REQ_FLASH, otherController), -1);
}

TEST(EmulatorController, ConfigIntegersAreTheEightKeys) {
    auto e = EmulatorFrom(R"({"domains": [{"config": {"SpinupDelay": 9}}]})");
    for (const auto& [key, value] : DefaultConfig()) {
        SCOPED_TRACE(key);
        int32_t got = -7;
        ASSERT_EQ(e->Handle(ARK_REQ_GET_CONFIG_INT, key.c_str(), uint32_t(key.size() + 1), &got, 4,
                            nullptr),
                  0);
        EXPECT_EQ(uint32_t(got), key == "SpinupDelay" ? 9u : value);
    }
    ARK_CONFIG_INT set{1234, {}};
    std::strcpy(set.key, "DiskIdleTimer");
    ASSERT_EQ(e->Handle(ARK_REQ_SET_CONFIG_INT, &set, 4 + 14, nullptr, 0, nullptr), 0);
    EXPECT_EQ(e->Snapshot().config.at("DiskIdleTimer"), 1234u);
    std::strcpy(set.key, "NoSuchKey");
    EXPECT_EQ(e->Handle(ARK_REQ_SET_CONFIG_INT, &set, 4 + 10, nullptr, 0, nullptr), -1);
    int32_t v = 0;
    EXPECT_EQ(e->Handle(ARK_REQ_GET_CONFIG_INT, "hbamode", 8, &v, 4, nullptr), -1);
}

TEST(EmulatorController, EventsComeInOrderThenTheQueueIsEmpty) {
    auto e = EmulatorFrom(R"({"domains": [{"events": [{"code": 5, "devid": 7}, {"code": 28}]}]})");
    EXPECT_EQ(DrainEvents(*e), (std::vector<std::pair<int, uint32_t>>{{5, 7}, {28, ARK_ID_NONE}}));
    ARK_EVENT ev{};
    EXPECT_EQ(Get(*e, ARK_REQ_GET_EVENT, ev), -1);
}

TEST(EmulatorController, IdsSkipZeroAndAllOnes) {
    auto e = EmulatorFrom(Domain());
    e->Modify([](State& s) { s.nextId = 0xFFFFFFFEu; });
    const uint32_t first = Create(*e, Params(ARK_RAID0, {256}));
    EXPECT_EQ(first, 0xFFFFFFFEu);
    const uint32_t second = Create(*e, Params(ARK_RAID0, {257}));
    EXPECT_EQ(second, 1u);
}

TEST(EmulatorFaults, ArmedFaultsHitTheirCalls) {
    struct Row {
        const char* name;
        Fault fault;
        std::vector<int> results;
    };
    const uint32_t code = ARK_REQ_GET_CONTROLLER_COUNT;
    const Row rows[] = {
        {"always", {code, Fault::Kind::Fail, 0, 0, 0}, {-1, -1, -1}},
        {"second call once", {code, Fault::Kind::Fail, 2, 1, 0}, {0, -1, 0}},
        {"twice", {code, Fault::Kind::Fail, 0, 2, 0}, {-1, -1, 0}},
        {"from the second on", {code, Fault::Kind::Fail, 2, 0, 0}, {0, -1, -1}},
        {"other code", {ARK_REQ_GET_PCACHE_SIZE, Fault::Kind::Fail, 0, 0, 0}, {0, 0, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Emulator e;
        e.InjectFault(row.fault);
        std::vector<int> results;
        for (size_t i = 0; i < row.results.size(); ++i) {
            uint32_t count = 0;
            results.push_back(Get(e, code, count));
        }
        EXPECT_EQ(results, row.results);
    }
}

TEST(EmulatorFaults, FailedRequestChangesNothing) {
    auto e = EmulatorFrom(Domain());
    e->InjectFault({ARK_REQ_CREATE_ARRAY, Fault::Kind::Fail, 0, 1, 0});
    EXPECT_EQ(Create(*e, Params(ARK_RAID1, {256, 257})), 0u);
    EXPECT_TRUE(List(*e, ARK_REQ_GET_LD_LIST).empty());
    EXPECT_EQ(Info(*e, 256).disk.parents[0], ARK_ID_NONE);
    EXPECT_NE(Create(*e, Params(ARK_RAID1, {256, 257})), 0u);
}

TEST(EmulatorFaults, ShortAndUnterminatedReplies) {
    auto e = EmulatorFrom(
        R"({"domains": [{"controllers": [{"product": "P"}], "disks": [{"capacity": 5}]}]})");
    e->InjectFault({ARK_REQ_GET_CONTROLLER_INFO, Fault::Kind::ShortReply, 0, 1, 10});
    ARK_CONTROLLER_INFO info;
    std::memset(&info, 0xAB, sizeof info);
    uint32_t got = 0;
    ASSERT_EQ(Call(*e, ARK_REQ_GET_CONTROLLER_INFO, uint32_t(0), info, &got), 0);
    EXPECT_EQ(got, 10u);
    EXPECT_EQ(uint8_t(info.ioc_str[10]), 0xAB);  // past the short reply: untouched

    // Every text field of the three records comes back full, with no NUL in it.
    for (uint32_t code :
         {ARK_REQ_GET_DRIVER_INFO, ARK_REQ_GET_CONTROLLER_INFO, ARK_REQ_GET_VD_INFO})
        e->InjectFault({code, Fault::Kind::Unterminated, 0, 0, 0});
    ARK_DRIVER_INFO driver{};
    ASSERT_EQ(Get(*e, ARK_REQ_GET_DRIVER_INFO, driver), 0);
    ASSERT_EQ(Call(*e, ARK_REQ_GET_CONTROLLER_INFO, uint32_t(0), info, &got), 0);
    EXPECT_EQ(got, sizeof info);
    EXPECT_EQ(info.product_str[0], 'P');
    const ARK_VD_INFO d = Info(*e, 256);
    uint32_t array = 0;
    ASSERT_EQ(Call(*e, ARK_REQ_CREATE_ARRAY, Params(ARK_JBOD, {256}), array), 0);
    const ARK_VD_INFO a = Info(*e, array);
    const struct {
        const char* name;
        const char* field;
        size_t size;
    } fields[] = {
        {"driver_name", driver.driver_name, sizeof driver.driver_name},
        {"ioc_str", info.ioc_str, sizeof info.ioc_str},
        {"vendor_str", info.vendor_str, sizeof info.vendor_str},
        {"fw_rev", info.fw_rev, sizeof info.fw_rev},
        {"product_str", info.product_str, sizeof info.product_str},
        {"sn_str", info.sn_str, sizeof info.sn_str},
        {"model", d.disk.model, sizeof d.disk.model},
        {"serial", d.disk.serial, sizeof d.disk.serial},
        {"fwrev", d.disk.fwrev, sizeof d.disk.fwrev},
        {"aname", a.array.aname, sizeof a.array.aname},
    };
    for (const auto& f : fields) {
        SCOPED_TRACE(f.name);
        EXPECT_EQ(std::memchr(f.field, 0, f.size), nullptr);
    }
}

TEST(EmulatorLog, RecordsEveryRequest) {
    auto e = EmulatorFrom(Domain());
    uint32_t count = 0;
    ASSERT_EQ(Get(*e, ARK_REQ_GET_CONTROLLER_COUNT, count), 0);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(Send(*e, ARK_REQ_INIT_DISK, uint32_t(999)), -1);
    const std::vector<LoggedRequest> log = e->RequestLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].code, ARK_REQ_GET_CONTROLLER_COUNT);
    EXPECT_TRUE(log[0].input.empty());
    EXPECT_EQ(log[0].outLen, 4u);
    EXPECT_EQ(log[0].returned, 4u);
    EXPECT_EQ(log[0].result, 0);
    EXPECT_EQ(log[1].code, ARK_REQ_INIT_DISK);
    EXPECT_EQ(log[1].input, (std::vector<uint8_t>{0xE7, 0x03, 0, 0}));
    EXPECT_EQ(log[1].result, -1);
    e->ClearRequestLog();
    EXPECT_TRUE(e->RequestLog().empty());
}

// The demo runs for days: the log keeps only the latest requests, by count and by input bytes.
TEST(EmulatorLog, KeepsOnlyTheLatestRequests) {
    auto e = EmulatorFrom(Domain());
    const size_t total = Emulator::kLogRequests + 100;
    for (uint32_t i = 0; i < total; ++i) Send(*e, ARK_REQ_INIT_DISK, i);
    std::vector<LoggedRequest> log = e->RequestLog();
    ASSERT_EQ(log.size(), Emulator::kLogRequests);
    EXPECT_EQ(log.front().input, (std::vector<uint8_t>{100, 0, 0, 0})) << "the oldest went first";
    const uint32_t last = total - 1;
    EXPECT_EQ(log.back().input, (std::vector<uint8_t>{uint8_t(last), uint8_t(last >> 8), 0, 0}));

    // Large inputs (refused for their length, logged all the same): the byte bound takes over
    // long before the count.
    e->ClearRequestLog();
    std::vector<uint8_t> chunk(1u << 20, 0xA5);
    for (int i = 0; i < 40; ++i) {
        uint32_t returned = 0;
        e->Handle(ARK_REQ_FLASH, chunk.data(), static_cast<uint32_t>(chunk.size()), nullptr, 0,
                  &returned);
    }
    log = e->RequestLog();
    size_t bytes = 0;
    for (const auto& r : log) bytes += r.input.size();
    EXPECT_LE(bytes, Emulator::kLogInputBytes);
    EXPECT_GE(log.size(), 8u);
    EXPECT_EQ(log.back().code, ARK_REQ_FLASH);
}

// Requests, ticks and test reads from several threads at once (run under ThreadSanitizer).
TEST(EmulatorThreads, RequestsAndTicksRunConcurrently) {
    auto e = EmulatorFrom(Domain(R"("arrays": [{"level": "RAID1", "members": [256, 257]}])"));
    std::vector<std::thread> threads;
    threads.reserve(4);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&e, t] {
            for (int i = 0; i < 200; ++i) {
                if (t == 0) {
                    e->Tick();
                } else if (t == 1) {
                    Task(*e, 261, i % 2 ? ARK_TASK_STOP_VERIFY : ARK_TASK_START_VERIFY);
                } else {
                    ARK_VD_INFO vd{};
                    Call(*e, ARK_REQ_GET_VD_INFO, uint32_t(261), vd);
                    e->Snapshot();
                }
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(e->RequestLog().size(), 600u);
}

}  // namespace
}  // namespace emu
