#include <gtest/gtest.h>

#include <cstdio>

#include "smart_info.h"
#include "store_methods_fixture.h"

namespace rpctest {
namespace {

// Disks of the default scenario's domain 0.
constexpr uint32_t kHealthy = 259;
constexpr uint32_t kFailing = 264;

class SmartMethods : public StoreMethods {
protected:
    uint32_t arrayId(const char* name) {
        for (const auto& [id, array] : emulator(0).Snapshot().arrays) {
            if (array.name == name) return id;
        }
        ADD_FAILURE() << "no array " << name;
        return 0;
    }
};

TEST_F(SmartMethods, ReportsEveryAttributeOfTheDiskWithItsThreshold) {
    Reply r = call(fnGetSmartInfo, {{"domain", 0}, {"id", kHealthy}});
    ASSERT_EQ(r.code, kRpcOk) << r.errmsg;
    ASSERT_TRUE(r.result.is_object());
    EXPECT_EQ(r.result.begin().key(), "status");
    EXPECT_EQ(r.result["status"], true);

    SmartInfo named{};
    ASSERT_EQ(readSmartInfo(0, kHealthy, &named), kSmartInfoOk);
    const std::vector<emu::SmartAttribute> model = emulator(0).Snapshot().disks.at(kHealthy).smart;
    const value& attrs = r.result["attrs"];
    ASSERT_TRUE(attrs.is_array());
    ASSERT_EQ(attrs.size(), model.size());
    ASSERT_GT(model.size(), 5u);
    for (size_t i = 0; i < model.size(); ++i) {
        const emu::SmartAttribute& a = model[i];
        SCOPED_TRACE(testing::Message() << "attribute " << int(a.id));
        char raw[18];
        std::snprintf(raw, sizeof raw, "%02X %02X %02X %02X %02X %02X", a.raw[0], a.raw[1],
                      a.raw[2], a.raw[3], a.raw[4], a.raw[5]);
        value want = value::object();
        want["id"] = a.id;
        want["name"] = named.attrs[i].name;
        want["flags"] = a.flags;
        want["current"] = a.current;
        want["worst"] = a.worst;
        want["raw"] = raw;
        want["threshold"] = a.threshold;
        want["type"] = (a.flags & 1) ? "Pre-fail" : "Old_age";
        want["update"] = (a.flags & 2) ? "Always" : "Offline";
        EXPECT_EQ(json::dump(attrs[i]), json::dump(want));
    }
}

TEST_F(SmartMethods, AThresholdExceededIsAnUnhealthyStatus) {
    Reply r = call(fnGetSmartInfo, {{"domain", 0}, {"id", kFailing}});
    ASSERT_EQ(r.code, kRpcOk) << r.errmsg;
    EXPECT_EQ(r.result["status"], false);
    EXPECT_FALSE(r.result["attrs"].empty());
}

TEST_F(SmartMethods, ADiskWithoutAttributesSendsAnEmptyList) {
    emulator(0).Modify([](emu::State& s) { s.disks.at(kHealthy).smart.clear(); });
    EXPECT_EQ(rpc("GetSmartInfo", {{"domain", 0}, {"id", kHealthy}}),
              ok(R"({"status":true,"attrs":[]})"));
}

TEST_F(SmartMethods, FailuresAnswerWithTheirTexts) {
    const uint32_t array = arrayId("DataVault");
    emulator(0).Modify([](emu::State& s) { s.disks.at(263).flags &= ~ARK_DISK_SMART_ON; });
    const struct {
        const char* name;
        value params;
        int code;
        const char* message;
    } rows[] = {
        {"id 0", {{"domain", 0}, {"id", 0}}, kRpcBadParams, "internal server error"},
        {"no id", {{"domain", 0}}, kRpcBadParams, "internal server error"},
        {"no such device", {{"domain", 0}, {"id", 0x999}}, kRpcFailed, "get device info failed"},
        {"no such domain", {{"domain", 5}, {"id", kHealthy}}, kRpcFailed, "get device info failed"},
        {"an array", {{"domain", 0}, {"id", array}}, kRpcFailed, "SMART feature not enabled"},
        {"SMART off", {{"domain", 0}, {"id", 263}}, kRpcFailed, "SMART feature not enabled"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(rpc("GetSmartInfo", row.params), error(row.code, row.message));
    }
}

TEST_F(SmartMethods, AFailedPageReadNamesThePage) {
    // The pass-through requests go in order: RETURN STATUS, READ DATA, READ THRESHOLDS.
    const struct {
        uint32_t onCall;
        const char* message;
    } rows[] = {{2, "smart_read_values failed"}, {3, "smart_read_thresholds failed"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.message);
        emulator(0).ClearFaults();
        emulator(0).InjectFault({ARK_REQ_ATA_PASSTHROUGH, emu::Fault::Kind::Fail, row.onCall, 1});
        EXPECT_EQ(rpc("GetSmartInfo", {{"domain", 0}, {"id", kHealthy}}),
                  error(kRpcFailed, row.message));
    }
    // A failed RETURN STATUS alone reads as unhealthy, not as a failure.
    emulator(0).ClearFaults();
    emulator(0).InjectFault({ARK_REQ_ATA_PASSTHROUGH, emu::Fault::Kind::Fail, 1, 1});
    Reply r = call(fnGetSmartInfo, {{"domain", 0}, {"id", kHealthy}});
    ASSERT_EQ(r.code, kRpcOk);
    EXPECT_EQ(r.result["status"], false);
}

}  // namespace
}  // namespace rpctest
