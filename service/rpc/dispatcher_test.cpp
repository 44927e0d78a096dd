#include "dispatcher.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "fake_rpc_context.h"
#include "test_services.h"

namespace {

// The test services with its configuration and event log in a folder of the test's own.
class Dispatcher : public testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/dispatcher_test.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        ASSERT_TRUE(testServices().eventLogger.Open(dir + "/eventlog.db"));
        loadConfig(nullptr);
    }
    void TearDown() override {
        testServices().eventLogger.Close();
        std::filesystem::remove_all(dir);
    }
    void loadConfig(const char* text) {
        if (text != nullptr) std::ofstream(dir + "/config.json") << text;
        testServices().config.Load(dir);
    }
    value call(const value& request) {
        value reply = value::object();
        reply["jsonrpc"] = "2.0";
        runRpcCall(request, ctx, reply);
        return reply;
    }
    std::string login(const char* user, const char* password) {
        ctx.set.clear();
        value reply = call({{"jsonrpc", "2.0"},
                            {"id", 1},
                            {"method", "Login"},
                            {"params", {{"username", user}, {"password", password}}}});
        if (!reply.contains("result")) return "";
        return ctx.set["sid"];
    }
    std::vector<EventLogEntry> events() {
        std::vector<EventLogEntry> out;
        testServices().eventLogger.Get(0, 100, [&](const EventLogEntry& e) { out.push_back(e); });
        return out;
    }

    std::string dir;
    FakeRpcContext ctx;
};

TEST_F(Dispatcher, RefusalsBeforeAnyHandlerRuns) {
    struct Row {
        const char* name;
        value request;
        int code;
        const char* message;
    };
    const Row rows[] = {
        {"no method", {{"id", 3}}, -32601, "no method specified"},
        {"not an object", value::array({1, 2}), -32601, "no method specified"},
        {"method number", {{"id", 3}, {"method", 5}}, -32601, "method value is not string"},
        {"method null", {{"id", 3}, {"method", nullptr}}, -32601, "method value is not string"},
        {"method list", {{"method", {"Login"}}}, -32601, "method value is not string"},
        {"no session", {{"id", 3}, {"method", "Logout"}}, 401, "Unauthorized"},
        {"unknown without session", {{"method", "NoSuchThing"}}, 401, "Unauthorized"},
        {"case matters", {{"method", "login"}}, 401, "Unauthorized"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        value reply = call(r.request);
        EXPECT_EQ(reply["jsonrpc"], "2.0");
        ASSERT_TRUE(reply.contains("error")) << reply.dump();
        EXPECT_FALSE(reply.contains("result"));
        EXPECT_EQ(reply["error"]["code"], r.code);
        EXPECT_EQ(reply["error"]["message"], r.message);
        EXPECT_EQ(reply.contains("id"), r.request.is_object() && r.request.contains("id"));
    }
}

TEST_F(Dispatcher, ServerInfoNeedsNoSessionAndKeepsTheId) {
    value reply = call({{"jsonrpc", "2.0"}, {"id", "abc"}, {"method", "GetServerInfo"}});
    EXPECT_EQ(reply.dump(),
              R"({"jsonrpc":"2.0","id":"abc","result":{"version":"2.0.264",)"
              R"("title":"RAID Management Console","logo":"morvi.svg","os":"Linux"}})");
}

TEST_F(Dispatcher, LoginLogoutRoundTrip) {
    std::string sid = login("admin", "");
    ASSERT_EQ(sid.size(), 32u) << "no password configured: the empty one";
    EXPECT_EQ(ctx.set["uid"], "admin");

    ctx.cookies = {{"sid", sid}, {"uid", "admin"}};
    value unknown = call({{"method", "NoSuchThing"}, {"id", 7}});
    EXPECT_EQ(unknown["error"]["code"], -32601);
    EXPECT_EQ(unknown["error"]["message"], "method unknown");

    ctx.set.clear();
    value out = call({{"method", "Logout"}, {"id", 8}});
    EXPECT_EQ(out.dump(), R"({"jsonrpc":"2.0","id":8,"result":true})");
    EXPECT_EQ(ctx.set["sid"], "invalid");
    EXPECT_FALSE(testServices().sessions.Check(sid));

    value again = call({{"method", "Logout"}});
    EXPECT_EQ(again["error"]["code"], 401) << "the session is gone";

    auto log = events();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].code, 102);
    EXPECT_EQ(log[0].devname, "admin");
    EXPECT_EQ(log[1].code, 101);
    EXPECT_EQ(log[1].type, 1);
    EXPECT_EQ(log[1].devname, "admin");
}

TEST_F(Dispatcher, MethodNamesCompareWhole) {
    using namespace std::string_literals;
    const std::string sid = login("admin", "");
    ASSERT_EQ(sid.size(), 32u);
    const std::string names[] = {"GetServerInfo\0x"s, "GetDomainCount\0"s, "Logout\0Logout"s,
                                 "GetServerInf"s, "GetServerInfoX"s};
    for (const auto& name : names) {
        SCOPED_TRACE(testing::PrintToString(name));
        ctx.cookies.clear();
        value refused = call({{"method", name}});
        EXPECT_EQ(refused["error"]["code"], 401) << "no session: only the exact names pass";
        ctx.cookies = {{"sid", sid}};
        value reply = call({{"method", name}});
        EXPECT_FALSE(reply.contains("result")) << reply.dump();
        EXPECT_EQ(reply["error"]["code"], -32601);
        EXPECT_EQ(reply["error"]["message"], "method unknown");
    }
    EXPECT_TRUE(testServices().sessions.Check(sid)) << "no Logout ran";
}

TEST_F(Dispatcher, LoginFailures) {
    loadConfig(R"({"password":"s3cret"})");
    struct Row {
        const char* name;
        value params;
    };
    const Row rows[] = {
        {"wrong password", {{"username", "admin"}, {"password", "S3cret"}}},
        {"user case", {{"username", "Admin"}, {"password", "s3cret"}}},
        {"empty password", {{"username", "admin"}, {"password", ""}}},
        {"password not text", {{"username", "admin"}, {"password", 5}}},
        {"no password", {{"username", "admin"}}},
        {"no params", nullptr},
    };
    int client = 10;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        ctx.set.clear();
        // Each from its own address: none of them reaches the failed-login lock.
        ctx.peer = "192.0.2." + std::to_string(++client);
        value reply = call({{"method", "Login"}, {"params", r.params}});
        EXPECT_EQ(reply["error"]["code"], 401);
        EXPECT_EQ(reply["error"]["message"], "internal server error");
        EXPECT_TRUE(ctx.set.empty());
    }
    EXPECT_EQ(login("admin", "s3cret").size(), 32u);
    EXPECT_EQ(events().size(), 1u) << "only the good login is recorded";
}

TEST_F(Dispatcher, LoginLockedPerAddressAfterFiveFailures) {
    loadConfig(R"({"password":"s3cret"})");
    // Long enough that the lock cannot pass during the test.
    testServices().sessions.Throttle().SetFirstDelay(10 * 60 * 1000);
    auto attempt = [&](const char* peer, const char* password) {
        ctx.peer = peer;
        ctx.set.clear();
        return call({{"method", "Login"},
                     {"id", 4},
                     {"params", {{"username", "admin"}, {"password", password}}}});
    };
    for (int i = 0; i < 5; ++i) {
        value reply = attempt("198.51.100.7", "guess");
        EXPECT_EQ(reply["error"]["message"], "internal server error") << "failure " << i + 1;
    }
    for (const char* password : {"guess", "s3cret"}) {
        value reply = attempt("198.51.100.7", password);
        EXPECT_EQ(reply.dump(), R"({"jsonrpc":"2.0","id":4,"error":{"code":401,)"
                                R"("message":"too many failed logins, try again later"}})");
        EXPECT_TRUE(ctx.set.empty());
    }
    EXPECT_TRUE(events().empty());

    value other = attempt("198.51.100.8", "s3cret");
    EXPECT_TRUE(other.contains("result")) << other.dump();
    EXPECT_EQ(ctx.set["sid"].size(), 32u);
    EXPECT_EQ(events().size(), 1u);
    testServices().sessions.Throttle().SetFirstDelay(LoginThrottle::kFirstDelayMs);
}

TEST_F(Dispatcher, LoginFailsWhenTheConfigurationCannotBeRead) {
    loadConfig("{\"password\": ");
    EXPECT_EQ(login("admin", ""), "");
    loadConfig(R"({"settings":{}})");
    EXPECT_EQ(login("admin", "").size(), 32u) << "a missing key is the empty password";
}

}  // namespace
