#include <gtest/gtest.h>

#include "store_methods_fixture.h"

namespace rpctest {
namespace {

class EventLogMethods : public StoreMethods {
protected:
    void add(int type, int code, const char* devname, const char* data) {
        ASSERT_TRUE(testServices().eventLogger.Add(EventLogEntry(type, code, devname, data)));
    }
};

TEST_F(EventLogMethods, EmptyLogCountsZeroAndListsAnEmptyList) {
    EXPECT_EQ(rpc("GetEventLogCount"), ok("0"));
    EXPECT_EQ(rpc("GetEventLog", {{"start", 0}, {"length", 10}}), ok("[]"));
    EXPECT_EQ(rpc("GetEventLog"), ok("[]")) << "missing start and length read 0";
}

TEST_F(EventLogMethods, ListsEventsNewestFirstWithEveryField) {
    add(1, 101, "admin", "");
    add(3, 7, "[1/1] MODEL_SERIAL", "detail");
    add(2, 23, "DataVault", "x");
    EXPECT_EQ(rpc("GetEventLogCount"), ok("3"));

    Reply page = call(fnGetEventLog, {{"start", 0}, {"length", 2}});
    ASSERT_EQ(page.code, kRpcOk);
    ASSERT_TRUE(page.result.is_array());
    ASSERT_EQ(page.result.size(), 2u);
    const value& newest = page.result[0];
    const int64_t time = newest["time"].get<int64_t>();
    EXPECT_GT(time, 1700000000);
    EXPECT_EQ(json::dump(newest), R"({"time":)" + std::to_string(time) +
                                      R"(,"type":2,"code":23,"devname":"DataVault","data":"x"})");
    EXPECT_EQ(page.result[1]["code"], 7);

    Reply rest = call(fnGetEventLog, {{"start", "2"}, {"length", 100}});
    ASSERT_EQ(rest.code, kRpcOk);
    ASSERT_EQ(rest.result.size(), 1u);
    EXPECT_EQ(rest.result[0]["devname"], "admin");
    EXPECT_EQ(rest.result[0]["data"], "");

    EXPECT_EQ(rpc("GetEventLog", {{"start", 3}, {"length", 5}}), ok("[]")) << "past the end";
}

TEST_F(EventLogMethods, RefusesNegativeHugeAndOverlongRanges) {
    add(1, 101, "admin", "");
    const struct {
        const char* name;
        value params;
    } rows[] = {
        {"negative start", {{"start", -1}, {"length", 10}}},
        {"negative length", {{"start", 0}, {"length", -1}}},
        {"negative length as text", {{"start", 0}, {"length", "-5"}}},
        {"length over 100", {{"start", 0}, {"length", 101}}},
        {"length that wraps to 1 in 32 bits", {{"start", 0}, {"length", 4294967297LL}}},
        {"start that wraps to 0 in 32 bits", {{"start", 4294967296LL}, {"length", 1}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(rpc("GetEventLog", row.params), error(kRpcBadParams, "internal server error"));
    }
    Reply most = call(fnGetEventLog, {{"start", 0}, {"length", 100}});
    EXPECT_EQ(most.code, kRpcOk);
    EXPECT_EQ(most.result.size(), 1u);
}

TEST_F(EventLogMethods, ClearEmptiesTheLog) {
    add(1, 101, "admin", "");
    add(1, 102, "admin", "");
    EXPECT_EQ(rpc("ClearEventLog"), ok("true"));
    EXPECT_EQ(rpc("GetEventLogCount"), ok("0"));
    EXPECT_EQ(rpc("GetEventLog", {{"start", 0}, {"length", 10}}), ok("[]"));
}

TEST_F(EventLogMethods, AClosedLogIsAFailureNotAnEmptyOne) {
    testServices().eventLogger.Close();
    EXPECT_EQ(rpc("GetEventLogCount"), error(kRpcFailed, "internal server error"));
    EXPECT_EQ(rpc("GetEventLog", {{"start", 0}, {"length", 10}}),
              error(kRpcFailed, "internal server error"));
    EXPECT_EQ(rpc("ClearEventLog"), error(kRpcFailed, "internal server error"));
}

}  // namespace
}  // namespace rpctest
