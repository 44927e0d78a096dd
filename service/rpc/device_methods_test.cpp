#include <gtest/gtest.h>

#include "methods_test_fixture.h"

namespace rpctest {
namespace {

using DeviceMethods = Methods;

constexpr uint32_t kDataVault = 266;
constexpr uint32_t kFastBoot = 267;
constexpr uint32_t kFreeSsd = 263;

TEST_F(DeviceMethods, IdListsOfTheDefaultMachine) {
    Reply ld = call(fnGetLDList, {{"domain", 0}});
    ASSERT_EQ(ld.code, kRpcOk);
    EXPECT_EQ(ld.result.dump(), "[266,267]");
    Reply pd = call(fnGetPDList, {{"domain", 0}});
    ASSERT_EQ(pd.code, kRpcOk);
    EXPECT_EQ(pd.result.dump(), "[256,257,258,259,260,261,262,263,264,265]");
    EXPECT_EQ(call(fnGetPDList, {{"domain", 1}}).result.dump(), "[512,513,514]");

    ASSERT_EQ(requests(0, ARK_REQ_GET_PD_LIST).size(), 1u);
    EXPECT_EQ(requests(0, ARK_REQ_GET_PD_LIST)[0].outLen, 256u * 4) << "room for 256 ids";

    EXPECT_EQ(call(fnGetLDList, {{"domain", 2}}).code, kRpcFailed);
    EXPECT_EQ(call(fnGetPDList, {{"domain", -1}}).code, kRpcFailed);
}

TEST_F(DeviceMethods, AnEmptyListIsAListAndALongOneStopsAt256) {
    emulator(0).Modify([](emu::State& s) {
        s.arrays.clear();
        for (uint32_t id = 1000; id < 1300; ++id) s.disks[id].id = id;
    });
    Reply ld = call(fnGetLDList, {{"domain", 0}});
    ASSERT_EQ(ld.code, kRpcOk);
    EXPECT_EQ(ld.result.dump(), "[]");

    Reply pd = call(fnGetPDList, {{"domain", 0}});
    ASSERT_EQ(pd.code, kRpcOk);
    ASSERT_EQ(pd.result.size(), 256u);
    EXPECT_EQ(pd.result[0], 256);
    EXPECT_EQ(pd.result[255], 1000 + 255 - 10);
}

TEST_F(DeviceMethods, ArrayRecordWithWideAndNoneFields) {
    emulator(0).Modify([](emu::State& s) {
        emu::Array& a = s.arrays.at(kFastBoot);
        a.targetId = 1;
        a.capacity = 0x123456789ull;  // 64-bit fields past 2^32
        a.signature = 0xCAFEF00Du;    // above 2^31
        a.flags = ARK_ARRAY_VERIFYING;
        a.rebuiltPercent = 2500;
        a.rebuiltSectors = 0x200000001ull;
        a.outdatedMask = 0x8000000000000001ull;
        a.transformSrc = emu::kNoId;
        a.transformTgt = emu::kNoId;
        a.members = {260, emu::kNoId, 261};
    });
    Reply r = call(fnGetVDInfo, {{"domain", 0}, {"id", kFastBoot}});
    ASSERT_EQ(r.code, kRpcOk);
    EXPECT_EQ(r.result.dump(),
              R"({"id":267,"type":1,"cache_policy":1,"vcore_id":0,"target_id":1,)"
              R"("capacity":4886718345,"parent":0,"array":{"aname":"FastBoot","raidlevel":2,)"
              R"("bs_shift":7,"ndisks":3,"sub_raidlevel":0,"flags":256,"rebuilt_percent":2500,)"
              R"("rebuilt_sectors":8589934593,"transform_src":0,"transform_tgt":0,)"
              R"("transform_percent":0,"signature":3405705229,"ss_shift":0,)"
              R"("outdated_mmask":9223372036854775809,"members":[260,0,261]}})");
}

TEST_F(DeviceMethods, MemberCountAbove64IsCapped) {
    emulator(0).Modify([](emu::State& s) {
        auto& members = s.arrays.at(kDataVault).members;
        members.clear();
        for (uint32_t i = 0; i < 70; ++i) members.push_back(1000 + i);
    });
    Reply r = call(fnGetVDInfo, {{"domain", 0}, {"id", kDataVault}});
    ASSERT_EQ(r.code, kRpcOk);
    const value& array = r.result["array"];
    EXPECT_EQ(array["ndisks"], 64);
    ASSERT_EQ(array["members"].size(), 64u);
    EXPECT_EQ(array["members"][63], 1063);
}

TEST_F(DeviceMethods, DiskRecords) {
    emulator(0).Modify([](emu::State& s) {
        emu::Disk& d = s.disks.at(kFreeSsd);
        d.flags = ARK_DISK_ENCLOSURE | ARK_DISK_SSD | ARK_DISK_SPARE;  // bit 31 set
        d.linkrate = {4, 3, 2, 1};
        d.pdType = 5;
        d.spinupMode = 1;
        d.ssShift = 3;
    });
    Reply free = call(fnGetVDInfo, {{"domain", 0}, {"id", kFreeSsd}});
    ASSERT_EQ(free.code, kRpcOk);
    EXPECT_EQ(free.result.dump(),
              R"({"id":263,"type":2,"cache_policy":0,"vcore_id":0,"target_id":255,)"
              R"("capacity":937703088,"parent":0,"disk":{"controller":0,"port":0,"target":2,)"
              R"("linkrate_actual":2,"linkrate_avail":3,"linkrate_max":4,"linkrate_set":1,)"
              R"("pd_type":5,"spinup_mode":1,"ss_shift":3,"flags":2147485824,)"
              R"("total_free":937703088,"max_free":937703088,"model":"SSD 480GB KB8",)"
              R"("serial":"SSDN81230123480BG","fwrev":"XCV10110","parents":[]}})");

    Reply member = call(fnGetVDInfo, {{"domain", 0}, {"id", 256}});
    ASSERT_EQ(member.code, kRpcOk);
    EXPECT_EQ(member.result["parent"], kDataVault);
    EXPECT_EQ(member.result["disk"]["parents"].dump(), "[266]");
    EXPECT_EQ(member.result["disk"]["total_free"], 7814037168 - 3906250000);

    EXPECT_EQ(call(fnGetVDInfo, {{"domain", 0}, {"id", 999}}).code, kRpcFailed);
    EXPECT_EQ(call(fnGetVDInfo, {{"domain", 3}, {"id", 256}}).code, kRpcFailed);
}

TEST_F(DeviceMethods, GetEventIsNotServed) {
    Reply r = call(fnGetEvent, {{"domain", 0}});
    EXPECT_EQ(r.code, kRpcFailed);
    EXPECT_EQ(r.errmsg, "not implemented");
    EXPECT_TRUE(requests(0, ARK_REQ_GET_EVENT).empty()) << "controller events stay queued";
}

TEST_F(DeviceMethods, UnloadAndRescan) {
    const struct {
        const char* name;
        RpcHandler handler;
        value params;
        int code;
        const char* result;  // on success
    } rows[] = {
        {"check id 0", fnCheckUnload, {{"domain", 0}, {"id", 0}}, kRpcBadParams, nullptr},
        {"check id missing", fnCheckUnload, {{"domain", 0}}, kRpcBadParams, nullptr},
        {"check a free disk", fnCheckUnload, {{"domain", 0}, {"id", kFreeSsd}}, kRpcOk, "0"},
        {"check a member disk", fnCheckUnload, {{"domain", 0}, {"id", 256}}, kRpcOk, "1"},
        {"check an unknown id", fnCheckUnload, {{"domain", 0}, {"id", 999}}, kRpcFailed, nullptr},
        {"unload id 0", fnUnloadDevice, {{"domain", 0}, {"id", 0}}, kRpcBadParams, nullptr},
        {"unload a member disk", fnUnloadDevice, {{"domain", 0}, {"id", 256}}, kRpcFailed, nullptr},
        {"unload the free disk", fnUnloadDevice, {{"domain", 0}, {"id", kFreeSsd}}, kRpcOk, "null"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Reply reply = call(r.handler, r.params);
        EXPECT_EQ(reply.code, r.code);
        if (r.result) {
            EXPECT_EQ(reply.result.dump(), r.result);
        }
    }
    EXPECT_EQ(requests(0, ARK_REQ_CHECK_UNLOAD).size(), 3u) << "id 0 is refused before asking";
    EXPECT_EQ(requests(0, ARK_REQ_UNLOAD_DEVICE).size(), 2u);

    EXPECT_EQ(call(fnGetPDList, {{"domain", 0}}).result.dump(),
              "[256,257,258,259,260,261,262,264,265]");
    EXPECT_EQ(call(fnRescanDevices, {{"domain", 0}}).code, kRpcOk);
    EXPECT_EQ(call(fnGetPDList, {{"domain", 0}}).result.dump(),
              "[256,257,258,259,260,261,262,263,264,265]");
    EXPECT_EQ(call(fnRescanDevices, {{"domain", 9}}).code, kRpcOk) << "a rescan always answers 0";
}

}  // namespace
}  // namespace rpctest
