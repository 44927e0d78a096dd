#include <gtest/gtest.h>

#include "methods_test_fixture.h"

namespace rpctest {
namespace {

struct ResultRow {
    const char* name;
    RpcHandler handler;
    value params;
    const char* result;  // compact JSON
};

using ControllerMethods = Methods;

TEST_F(ControllerMethods, RecordsOfTheDefaultMachine) {
    const std::vector<ResultRow> rows = {
        {"domain count", fnGetDomainCount, nullptr, "2"},
        {"driver of domain 0",
         fnGetDriverInfo,
         {{"domain", 0}},
         R"({"driver_name":"arkraid","hwraid":0,"bs_shift_min":1,"bs_shift_max":9,)"
         R"("raid_levels":[1,2,3,4,7],"max_mpa":[64,2,32,32,64],"cache_policies":[15,15,15,15,15]})"},
        {"driver of domain 1 named by text",
         fnGetDriverInfo,
         {{"domain", "1"}},
         R"({"driver_name":"arkhwraid","hwraid":1,"bs_shift_min":1,"bs_shift_max":9,)"
         R"("raid_levels":[1,2,3,4,7],"max_mpa":[64,2,32,32,64],"cache_policies":[15,15,15,15,15]})"},
        {"controller count", fnGetControllerCount, {{"domain", 1}}, "1"},
        // ramsize is above 2^31: written as a 64-bit number, never negative.
        {"controller of domain 1",
         fnGetControllerInfo,
         {{"domain", 1}, {"id", 0}},
         R"({"num_ports":8,"product_str":"Arkmoor AX 3808 HW","vendor_str":"Arkmoor",)"
         R"("fw_rev":"3.8.0412","sn_str":"AM3808B0002291","ioc_str":"ARK3800","vhostno":0,)"
         R"("pcie_speed":3,"pcie_width":8,"pci_tree":0,"pci_bus":4,"pci_device":0,)"
         R"("pci_function":0,"ramsize":2147483648})"},
        {"battery of domain 1",
         fnGetBBUInfo,
         {{"domain", 1}, {"id", 0}},
         R"({"bbu_installed":1,"bbu_type":1,"bbu_status":1,"voltage_mv":4105,"temperature":2950})"},
        {"no battery on domain 0",
         fnGetBBUInfo,
         {{"domain", 0}, {"id", 0}},
         R"({"bbu_installed":0,"bbu_type":0,"bbu_status":0,"voltage_mv":0,"temperature":0})"},
        {"preserved cache", fnGetPCacheSize, {{"domain", 1}}, "2048"},
        {"no preserved cache", fnGetPCacheSize, {{"domain", 0}}, "0"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Reply reply = call(r.handler, r.params);
        EXPECT_EQ(reply.code, kRpcOk) << reply.errmsg;
        EXPECT_EQ(reply.result.dump(), r.result);
    }
}

TEST_F(ControllerMethods, DriverListsEndAtTheFirstZeroLevelOrAfterSixteen) {
    emulator(0).Modify([](emu::State& s) {
        s.driver.raidLevels.assign(16, 3);
        s.driver.maxMpa.assign(16, 9);
        s.driver.cachePolicies.assign(16, 2);
    });
    emulator(1).Modify([](emu::State& s) { s.driver.raidLevels.clear(); });

    Reply full = call(fnGetDriverInfo, {{"domain", 0}});
    ASSERT_EQ(full.code, kRpcOk);
    EXPECT_EQ(full.result["raid_levels"], value(std::vector<int>(16, 3)));
    EXPECT_EQ(full.result["max_mpa"], value(std::vector<int>(16, 9)));
    EXPECT_EQ(full.result["cache_policies"], value(std::vector<int>(16, 2)));

    // Empty lists stay lists.
    Reply none = call(fnGetDriverInfo, {{"domain", 1}});
    ASSERT_EQ(none.code, kRpcOk);
    EXPECT_EQ(none.result.dump(),
              R"({"driver_name":"arkhwraid","hwraid":1,"bs_shift_min":1,"bs_shift_max":9,)"
              R"("raid_levels":[],"max_mpa":[],"cache_policies":[]})");
}

TEST_F(ControllerMethods, FullTextFieldsAndANegativeTemperature) {
    emulator(1).Modify([](emu::State& s) { s.controllers[0].bbu.temperature = -1250; });
    emulator(1).InjectFault({ARK_REQ_GET_CONTROLLER_INFO, emu::Fault::Kind::Unterminated});

    Reply info = call(fnGetControllerInfo, {{"domain", 1}, {"id", 0}});
    ASSERT_EQ(info.code, kRpcOk);
    // Each text stops at its field's end, not in the next field.
    EXPECT_EQ(info.result["ioc_str"].get<std::string>().size(), 16u);
    EXPECT_EQ(info.result["vendor_str"].get<std::string>().size(), 16u);
    EXPECT_EQ(info.result["fw_rev"].get<std::string>().size(), 24u);
    EXPECT_EQ(info.result["product_str"].get<std::string>().size(), 40u);
    EXPECT_EQ(info.result["sn_str"].get<std::string>().size(), 24u);

    Reply bbu = call(fnGetBBUInfo, {{"domain", 1}, {"id", 0}});
    ASSERT_EQ(bbu.code, kRpcOk);
    EXPECT_EQ(bbu.result["temperature"], -1250);
}

TEST_F(ControllerMethods, FailedRequestsAreOperationFailures) {
    emulator(0).InjectFault({ARK_REQ_GET_CONTROLLER_COUNT, emu::Fault::Kind::Fail});
    emulator(0).InjectFault({ARK_REQ_GET_PCACHE_SIZE, emu::Fault::Kind::Fail});
    emulator(0).InjectFault({ARK_REQ_CLEAR_PCACHE, emu::Fault::Kind::Fail});
    const struct {
        const char* name;
        RpcHandler handler;
        value params;
    } rows[] = {
        {"driver, domain past the end", fnGetDriverInfo, {{"domain", 2}}},
        {"driver, negative domain", fnGetDriverInfo, {{"domain", -1}}},
        {"controller count refused", fnGetControllerCount, {{"domain", 0}}},
        {"controller count, no domain", fnGetControllerCount, {{"domain", 7}}},
        {"controller index past the end", fnGetControllerInfo, {{"domain", 0}, {"id", 1}}},
        {"battery, controller past the end", fnGetBBUInfo, {{"domain", 1}, {"id", 3}}},
        {"learn test without a battery", fnSetBBUStatus, {{"domain", 0}, {"status", 5}}},
        {"unknown battery command", fnSetBBUStatus, {{"domain", 1}, {"status", 9}}},
        {"preserved cache refused", fnGetPCacheSize, {{"domain", 0}}},
        {"clearing refused", fnClearPCache, {{"domain", 0}}},
        {"clearing, no domain", fnClearPCache, {{"domain", 5}}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Reply reply = call(r.handler, r.params);
        EXPECT_EQ(reply.code, kRpcFailed);
        EXPECT_EQ(reply.errmsg, "");
        EXPECT_TRUE(reply.result.is_null());
    }
}

TEST_F(ControllerMethods, BatteryCommandsAndCacheClearingReachTheController) {
    Reply learn = call(fnSetBBUStatus, {{"domain", 1}, {"status", 5}});
    EXPECT_EQ(learn.code, kRpcOk);
    EXPECT_TRUE(learn.result.is_null()) << "the reply says true";
    EXPECT_EQ(call(fnGetBBUInfo, {{"domain", 1}, {"id", 0}}).result["bbu_status"],
              ARK_BBU_ENABLED | ARK_BBU_DISCHARGING);
    EXPECT_EQ(call(fnSetBBUStatus, {{"domain", 1}, {"status", "3"}}).code, kRpcOk);
    EXPECT_EQ(call(fnGetBBUInfo, {{"domain", 1}, {"id", 0}}).result["bbu_status"],
              ARK_BBU_ENABLED | ARK_BBU_CHARGING);

    EXPECT_EQ(call(fnClearPCache, {{"domain", 1}}).code, kRpcOk);
    EXPECT_EQ(call(fnGetPCacheSize, {{"domain", 1}}).result, 0);
    EXPECT_EQ(requests(1, ARK_REQ_CLEAR_PCACHE).size(), 1u);
}

}  // namespace
}  // namespace rpctest
