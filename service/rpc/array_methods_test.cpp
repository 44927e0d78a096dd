#include <gtest/gtest.h>

#include <cstring>

#include "methods_test_fixture.h"

namespace rpctest {
namespace {

using ArrayMethods = Methods;

constexpr uint32_t kDataVault = 266;
constexpr uint32_t kFastBoot = 267;
const char kSsdName[] = "[1/E1/3] SSD 480GB KB8_SSDN81230123480BG";
const char kHddName[] = "[1/6] HD7200 2T0DM08_ZFL0ABCD";

value memberList(uint32_t first, size_t n) {
    value list = value::array();
    for (size_t i = 0; i < n; ++i) list.push_back(first + i);
    return list;
}

TEST_F(ArrayMethods, CapacityOfAMirrorOfTwoFreeDisks) {
    Reply r =
        call(fnGetRAIDCapacity, {{"domain", 0}, {"raidlevel", ARK_RAID1}, {"members", {263, 264}}});
    ASSERT_EQ(r.code, kRpcOk);
    EXPECT_EQ(r.result, 937703088) << "the smaller disk";

    Reply big =
        call(fnGetRAIDCapacity, {{"domain", 0}, {"raidlevel", ARK_RAID0}, {"members", {259, 264}}});
    ASSERT_EQ(big.code, kRpcOk);
    EXPECT_EQ(big.result, uint64_t{3907029168} * 2) << "past 2^32";

    EXPECT_EQ(
        call(fnGetRAIDCapacity, {{"domain", 0}, {"raidlevel", ARK_RAID5}, {"members", {263, 264}}})
            .code,
        kRpcFailed);
    EXPECT_TRUE(events().empty());
}

TEST_F(ArrayMethods, BadParametersSendNothing) {
    const struct {
        const char* name;
        const char* key;
        value v;
    } rows[] = {
        {"65 members", "members", memberList(256, 65)},
        {"members not a list", "members", 263},
        {"raid level 257", "raidlevel", 257},
        {"cache policy 256", "cache_policy", 256},
        {"name not a text", "aname", value::array({"x"})},
    };
    for (RpcHandler handler : {fnGetRAIDCapacity, fnCreateArray}) {
        for (const auto& r : rows) {
            SCOPED_TRACE(r.name);
            value params = {{"domain", 0}, {"raidlevel", ARK_RAID1}, {"members", {263, 264}}};
            params[r.key] = r.v;
            EXPECT_EQ(call(handler, params).code, kRpcBadParams);
        }
    }
    EXPECT_TRUE(requests(0, ARK_REQ_GET_RAID_CAPACITY).empty());
    EXPECT_TRUE(requests(0, ARK_REQ_CREATE_ARRAY).empty());
    EXPECT_TRUE(events().empty());
}

TEST_F(ArrayMethods, SixtyFourMembersAreSentWhole) {
    Reply r = call(fnCreateArray,
                   {{"domain", 0}, {"raidlevel", ARK_RAID0}, {"members", memberList(5000, 64)}});
    EXPECT_EQ(r.code, kRpcFailed) << "no such disks";
    auto sent = requests(0, ARK_REQ_CREATE_ARRAY);
    ASSERT_EQ(sent.size(), 1u);
    ASSERT_EQ(sent[0].input.size(), sizeof(ARK_ARRAY_PARAMS));
    ARK_ARRAY_PARAMS p;
    std::memcpy(&p, sent[0].input.data(), sizeof p);
    EXPECT_EQ(p.ndisks, 64);
    EXPECT_EQ(p.members[63], 5063u);
    EXPECT_TRUE(events().empty()) << "nothing was created";
}

TEST_F(ArrayMethods, CreationAndTransformAreRecorded) {
    Reply made = call(fnCreateArray, {{"domain", 0},
                                      {"raidlevel", ARK_RAID1},
                                      {"aname", "Mirror2"},
                                      {"cache_policy", 1},
                                      {"members", {263, 264}}});
    ASSERT_EQ(made.code, kRpcOk);
    ASSERT_TRUE(made.result.is_number_integer());
    const value ld = call(fnGetLDList, {{"domain", 0}}).result;
    ASSERT_EQ(ld.size(), 3u);
    EXPECT_EQ(made.result, ld[2]);
    EXPECT_EQ(call(fnGetVDInfo, {{"domain", 0}, {"id", made.result}}).result["array"]["aname"],
              "Mirror2");

    Reply moved = call(fnCreateArray, {{"domain", 0},
                                       {"source_id", kDataVault},
                                       {"raidlevel", ARK_RAID5},
                                       {"aname", "Vault4"},
                                       {"members", {256, 257, 258, 264}}});
    ASSERT_EQ(moved.code, kRpcOk) << "264 still has room after the mirror";

    auto log = events();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].type, 1);
    EXPECT_EQ(log[0].code, 104);
    EXPECT_EQ(log[0].devname, "Mirror2");
    EXPECT_EQ(log[0].data, std::string(kSsdName) + ", " + kHddName);
    EXPECT_EQ(log[1].code, 111);
    EXPECT_EQ(log[1].devname, "Vault4");
    EXPECT_EQ(log[1].data,
              "[1/1] HD7200 4T0A610_K4K1ZB7B, [1/2] HD7200 4T0A610_K4K1ZC3D, "
              "[1/3] HD7200 4T0A610_K4K1ZD9F, " +
                  std::string(kHddName));

    Reply refused =
        call(fnCreateArray, {{"domain", 0}, {"raidlevel", ARK_RAID5}, {"members", {259, 265}}});
    EXPECT_EQ(refused.code, kRpcFailed);
    EXPECT_EQ(refused.errmsg, "");
    EXPECT_EQ(events().size(), 2u) << "a failed creation records nothing";
}

TEST_F(ArrayMethods, CheckDelete) {
    EXPECT_EQ(call(fnCheckDelete, {{"domain", 0}, {"id", 0}}).code, kRpcBadParams);
    EXPECT_TRUE(requests(0, ARK_REQ_CHECK_DELETE).empty());
    Reply ok = call(fnCheckDelete, {{"domain", 0}, {"id", kDataVault}});
    EXPECT_EQ(ok.code, kRpcOk);
    EXPECT_EQ(ok.result.dump(), "0");
    EXPECT_EQ(call(fnCheckDelete, {{"domain", 0}, {"id", 256}}).code, kRpcFailed);
}

TEST_F(ArrayMethods, DeleteChecksTheDeviceFirst) {
    emulator(0).Modify([](emu::State& s) {
        emu::Array sub;
        sub.id = 300;
        sub.name = "Part";
        sub.parent = kDataVault;
        s.arrays[300] = sub;
        s.arrays.at(kFastBoot).flags = ARK_ARRAY_VERIFYING;
    });
    const struct {
        const char* name;
        uint32_t id;
        int code;
    } rows[] = {
        {"a disk", 256, kRpcBadParams},
        {"an array with a parent", 300, kRpcBadParams},
        {"an unknown id", 999, kRpcFailed},
        {"a verifying array", kFastBoot, kRpcFailed},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(call(fnDeleteArray, {{"domain", 0}, {"id", r.id}, {"options", 1}}).code, r.code);
    }
    EXPECT_EQ(requests(0, ARK_REQ_DELETE_ARRAY).size(), 1u) << "only the verifying one is sent";
    EXPECT_TRUE(events().empty());

    emulator(0).Modify([](emu::State& s) { s.arrays.at(kFastBoot).flags = 0; });
    EXPECT_EQ(call(fnDeleteArray, {{"domain", 0}, {"id", kFastBoot}, {"options", 1}}).code, kRpcOk);
    auto sent = requests(0, ARK_REQ_DELETE_ARRAY);
    ASSERT_EQ(sent.size(), 2u);
    ARK_ID_VALUE body;
    ASSERT_EQ(sent[1].input.size(), sizeof body);
    std::memcpy(&body, sent[1].input.data(), sizeof body);
    EXPECT_EQ(body.id, kFastBoot);
    EXPECT_EQ(body.value, 1u);

    auto log = events();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].code, 105);
    EXPECT_EQ(log[0].devname, "FastBoot");
    EXPECT_EQ(call(fnGetLDList, {{"domain", 0}}).result.dump(), "[266]");
}

TEST_F(ArrayMethods, RenameNeedsAnIdAndAText) {
    const struct {
        const char* name;
        value params;
    } refused[] = {
        {"id 0", {{"domain", 0}, {"id", 0}, {"name", "X"}}},
        {"name missing", {{"domain", 0}, {"id", kDataVault}}},
        {"name null", {{"domain", 0}, {"id", kDataVault}, {"name", nullptr}}},
        {"name a number", {{"domain", 0}, {"id", kDataVault}, {"name", 5}}},
        {"name a list", {{"domain", 0}, {"id", kDataVault}, {"name", {"a"}}}},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(call(fnSetArrayName, r.params).code, kRpcBadParams);
    }
    EXPECT_TRUE(requests(0, ARK_REQ_SET_ARRAY_NAME).empty());

    EXPECT_EQ(call(fnSetArrayName, {{"domain", 0}, {"id", kDataVault}, {"name", "Renamed"}}).code,
              kRpcOk);
    EXPECT_EQ(call(fnGetVDInfo, {{"domain", 0}, {"id", kDataVault}}).result["array"]["aname"],
              "Renamed");
    EXPECT_EQ(
        call(fnSetArrayName, {{"domain", 0}, {"id", kDataVault}, {"name", "ABCDEFGHIJKLMNOPQRST"}})
            .code,
        kRpcOk);
    EXPECT_EQ(call(fnGetVDInfo, {{"domain", 0}, {"id", kDataVault}}).result["array"]["aname"],
              "ABCDEFGHIJKLMNO");
    EXPECT_EQ(call(fnSetArrayName, {{"domain", 0}, {"id", 999}, {"name", "X"}}).code, kRpcFailed);
}

TEST_F(ArrayMethods, CachePolicyAndTasks) {
    EXPECT_EQ(call(fnSetCachePolicy, {{"domain", 0}, {"id", kDataVault}, {"value", 256}}).code,
              kRpcBadParams)
        << "256 must not become policy 0";
    EXPECT_EQ(call(fnSetCachePolicy, {{"domain", 0}, {"id", 0}, {"value", 2}}).code, kRpcBadParams);
    EXPECT_TRUE(requests(0, ARK_REQ_SET_CACHE_POLICY).empty());
    EXPECT_EQ(call(fnSetCachePolicy, {{"domain", 0}, {"id", kDataVault}, {"value", 2}}).code,
              kRpcOk);
    EXPECT_EQ(call(fnGetVDInfo, {{"domain", 0}, {"id", kDataVault}}).result["cache_policy"], 2);
    EXPECT_EQ(call(fnSetCachePolicy, {{"domain", 0}, {"id", kDataVault}, {"value", 9}}).code,
              kRpcFailed);

    EXPECT_EQ(call(fnArrayTaskCtl, {{"domain", 0}, {"id", kDataVault}, {"state", 4}}).code, kRpcOk);
    const value flags =
        call(fnGetVDInfo, {{"domain", 0}, {"id", kDataVault}}).result["array"]["flags"];
    EXPECT_EQ(flags.get<uint32_t>() & ARK_ARRAY_VERIFYING, ARK_ARRAY_VERIFYING);
    EXPECT_EQ(call(fnArrayTaskCtl, {{"domain", 0}, {"id", kDataVault}, {"state", 99}}).code,
              kRpcFailed);
    EXPECT_EQ(call(fnArrayTaskCtl, {{"domain", 0}, {"state", 4}}).code, kRpcFailed);
}

TEST_F(ArrayMethods, AddDiskToACriticalArray) {
    EXPECT_EQ(call(fnAddDiskToArray, {{"domain", 0}, {"idArray", 256}, {"idDisk", 264}}).code,
              kRpcBadParams);
    EXPECT_EQ(call(fnAddDiskToArray, {{"domain", 0}, {"idArray", 999}, {"idDisk", 264}}).code,
              kRpcFailed);
    EXPECT_EQ(
        call(fnAddDiskToArray, {{"domain", 0}, {"idArray", kDataVault}, {"idDisk", 264}}).code,
        kRpcFailed)
        << "nothing to rebuild";
    EXPECT_EQ(requests(0, ARK_REQ_ADD_DISK_TO_ARRAY).size(), 1u);
    EXPECT_TRUE(events().empty());

    emulator(0).Modify([](emu::State& s) {
        s.disks.at(257).present = false;
        s.arrays.at(kDataVault).flags |= ARK_ARRAY_CRITICAL;
    });
    EXPECT_EQ(
        call(fnAddDiskToArray, {{"domain", 0}, {"idArray", kDataVault}, {"idDisk", 264}}).code,
        kRpcOk);
    auto log = events();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].code, 106);
    EXPECT_EQ(log[0].devname, kHddName);
    EXPECT_EQ(log[0].data, "DataVault");
}

}  // namespace
}  // namespace rpctest
