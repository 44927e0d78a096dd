#include <gtest/gtest.h>

#include <thread>

#include "store_methods_fixture.h"

namespace rpctest {
namespace {

class ConfigMethods : public StoreMethods {};

const char kUnparsable[] = R"({"password": "x",)";

TEST_F(ConfigMethods, SetPasswordChecksTheOldOneAndRecordsOnlyAChange) {
    loadConfig(R"({"password":"old-secret"})");
    const struct {
        const char* name;
        value params;
        std::string reply;
    } refused[] = {
        {"new missing", {{"old", "old-secret"}}, error(kRpcBadParams, "internal server error")},
        {"new not a text",
         {{"old", "old-secret"}, {"new", 1234}},
         error(kRpcBadParams, "internal server error")},
        {"old differs",
         {{"old", "old-secreT"}, {"new", "n"}},
         error(kRpcBadParams, "wrong password")},
        {"old missing", {{"new", "n"}}, error(kRpcBadParams, "wrong password")},
        {"old not a text",
         {{"old", nullptr}, {"new", "n"}},
         error(kRpcBadParams, "wrong password")},
    };
    for (const auto& row : refused) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(rpc("SetPassword", row.params), row.reply);
    }
    EXPECT_TRUE(events().empty()) << "a refused change is no user action";
    EXPECT_EQ(storedNode("password"), "old-secret");

    EXPECT_EQ(rpc("SetPassword", {{"old", "old-secret"}, {"new", "n\xc3\xa9w"}}), ok("true"));
    EXPECT_EQ(storedNode("password"), "n\xc3\xa9w");
    EXPECT_TRUE(testServices().login("admin", "old-secret").empty());
    EXPECT_FALSE(testServices().login("admin", "n\xc3\xa9w").empty());
    auto log = events();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].type, 1);
    EXPECT_EQ(log[0].code, 109);
    EXPECT_EQ(log[0].devname, "");
    EXPECT_EQ(log[0].data, "");
}

TEST_F(ConfigMethods, SetPasswordWithoutAConfigFileStartsFromTheEmptyOne) {
    EXPECT_EQ(rpc("SetPassword", {{"old", "x"}, {"new", "first"}}),
              error(kRpcBadParams, "wrong password"));
    EXPECT_EQ(rpc("SetPassword", {{"old", ""}, {"new", "first"}}), ok("true"));
    EXPECT_EQ(storedNode("password"), "first");
}

TEST_F(ConfigMethods, APasswordThatCannotBeWrittenIsAFailureAndNoChange) {
    // config.json links into a folder that does not exist: it reads as missing (the empty
    // password), and no new file can be made there.
    std::filesystem::remove(dir() + "/config.json");
    std::filesystem::create_symlink(dir() + "/gone/config.json", dir() + "/config.json");
    testServices().config.Load(dir());
    EXPECT_EQ(rpc("SetPassword", {{"old", ""}, {"new", "n"}}),
              error(kRpcFailed, "internal server error"));
    EXPECT_TRUE(events().empty()) << "the password did not change";
    EXPECT_FALSE(testServices().login("admin", "").empty());
}

TEST_F(ConfigMethods, AnUnreadableStoreFailsEveryStoreMethodAndRecordsNothing) {
    loadConfig(kUnparsable);
    const std::string failed = error(kRpcFailed, "internal server error");
    EXPECT_EQ(rpc("SetPassword", {{"old", "x"}, {"new", "y"}}), failed);
    EXPECT_EQ(rpc("GetConfig", {{"key", "settings"}}), failed);
    EXPECT_EQ(rpc("SetConfig", {{"settings", {{"SMARTInterval", 5}}}}), failed);
    EXPECT_EQ(testServices().smartInterval.load(), 0);
    EXPECT_EQ(rpc("SetDomainConfig", {{"domain", 0}}), failed);
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(configFile(), kUnparsable) << "the broken file is never replaced";
}

TEST_F(ConfigMethods, GetConfigGivesTheSectionAndThePortInUse) {
    testServices().port = 61234;
    EXPECT_EQ(rpc("GetConfig", {{"key", "settings"}}), ok(R"({"ServerPort":61234})"));
    EXPECT_EQ(rpc("GetConfig", {{"key", "tasks"}}), ok("{}")) << "absent: an empty object";
    EXPECT_EQ(rpc("GetConfig"), ok("{}"));

    loadConfig(R"({"settings":{"ServerPort":0,"SMARTInterval":30},"tasks":[],)"
               R"("email_notification":{},"domain0":{"HBAMode":1}})");
    EXPECT_EQ(rpc("GetConfig", {{"key", "settings"}}),
              ok(R"({"ServerPort":61234,"SMARTInterval":30})"));
    EXPECT_EQ(rpc("GetConfig", {{"key", "tasks"}}), ok("[]"));
    EXPECT_EQ(rpc("GetConfig", {{"key", "email_notification"}}), ok("{}"));
    EXPECT_EQ(rpc("GetConfig", {{"key", "domain0"}}), ok(R"({"HBAMode":1})"));

    loadConfig(R"({"settings":{"RestrictLocal":1,"ServerPort":8080}})");
    EXPECT_EQ(rpc("GetConfig", {{"key", "settings"}}),
              ok(R"({"RestrictLocal":1,"ServerPort":8080})"));
}

TEST_F(ConfigMethods, SetConfigStoresEachSectionWholeAndTakesOverTheSmartInterval) {
    loadConfig(R"({"password":"p","settings":{"ServerPort":8080,"RestrictLocal":1}})");
    EXPECT_EQ(rpc("SetConfig", value::array()), error(kRpcBadParams, "internal server error"));
    EXPECT_EQ(rpc("SetConfig", "settings"), error(kRpcBadParams, "internal server error"));

    const value settings = {{"SMARTInterval", 60}, {"ServerPort", 9000}};
    const value tasks = value::array({{{"domain", 0}, {"type", 1}, {"date", 1760000000}}});
    const value mail = {{"SMTP_Server", "mail.example"}, {"Receipients", value::array()}};
    EXPECT_EQ(
        rpc("SetConfig",
            {{"settings", settings}, {"tasks", tasks}, {"email_notification", mail}, {"other", 1}}),
        ok("true"));
    EXPECT_EQ(storedNode("settings"), settings) << "replaced whole: RestrictLocal is gone";
    EXPECT_EQ(storedNode("tasks"), tasks);
    EXPECT_EQ(storedNode("email_notification"), mail);
    EXPECT_EQ(storedNode("other"), nullptr);
    EXPECT_EQ(storedNode("password"), "p");
    EXPECT_EQ(testServices().smartInterval.load(), 60);

    // Without "settings" the running interval stays.
    EXPECT_EQ(rpc("SetConfig", {{"tasks", value::array()}}), ok("true"));
    EXPECT_EQ(testServices().smartInterval.load(), 60);
    EXPECT_EQ(storedNode("tasks"), value::array());

    EXPECT_EQ(rpc("SetConfig", {{"settings", {{"SMARTInterval", "0x1E"}}}}), ok("true"));
    EXPECT_EQ(testServices().smartInterval.load(), 30);
    EXPECT_EQ(rpc("SetConfig", {{"settings", value::object()}}), ok("true"));
    EXPECT_EQ(testServices().smartInterval.load(), 0);
}

TEST_F(ConfigMethods, SmartIntervalChangesWhileTheSchedulerReadsIt) {
    std::atomic<bool> done{false};
    int seen = 0;
    std::thread scheduler([&] {
        while (!done.load()) {
            const int v = testServices().smartInterval.load();
            if (v != 0 && v != 5 && v != 10) seen = v;
        }
    });
    for (int i = 0; i < 20; ++i) {
        const int interval = (i % 2) ? 5 : 10;
        ASSERT_EQ(rpc("SetConfig", {{"settings", {{"SMARTInterval", interval}}}}), ok("true"));
    }
    done = true;
    scheduler.join();
    EXPECT_EQ(seen, 0);
    EXPECT_EQ(testServices().smartInterval.load(), 5);
}

TEST_F(ConfigMethods, GetDomainConfigReportsTheKeysTheControllerAnswers) {
    EXPECT_EQ(rpc("GetDomainConfig", {{"domain", 0}}),
              ok(R"({"HBAMode":0,"RebuildPriority":50,"AutoRebuild":1,"IgnoreRebuildErrors":0,)"
                 R"("DiskIdleTimer":0,"SpinupCount":2,"SpinupDelay":3,"BBUTempThreshold":60})"));
    emulator(1).Modify([](emu::State& s) {
        s.config.erase("HBAMode");
        s.config.erase("SpinupDelay");
        s.config["BBUTempThreshold"] = 0xFFFFFFFFu;
    });
    EXPECT_EQ(rpc("GetDomainConfig", {{"domain", 1}}),
              ok(R"({"RebuildPriority":50,"AutoRebuild":1,"IgnoreRebuildErrors":0,)"
                 R"("DiskIdleTimer":0,"SpinupCount":2,"BBUTempThreshold":-1})"));
    EXPECT_EQ(rpc("GetDomainConfig", {{"domain", 9}}), ok("{}")) << "no such domain";
    emulator(0).InjectFault({ARK_REQ_GET_CONFIG_INT});
    EXPECT_EQ(rpc("GetDomainConfig", {{"domain", 0}}), ok("{}"));
}

TEST_F(ConfigMethods, SetDomainConfigSetsThePresentKeysThenStoresTheParams) {
    const value params = {{"domain", 1},
                          {"RebuildPriority", 80},
                          {"AutoRebuild", "0"},
                          {"SpinupCount", true},
                          {"comment", "kept"}};
    EXPECT_EQ(rpc("SetDomainConfig", params), ok("true"));
    const auto config = emulator(1).Snapshot().config;
    EXPECT_EQ(config.at("RebuildPriority"), 80u);
    EXPECT_EQ(config.at("AutoRebuild"), 0u);
    EXPECT_EQ(config.at("SpinupCount"), 1u);
    EXPECT_EQ(config.at("HBAMode"), 0u) << "absent keys are not sent";
    EXPECT_EQ(requests(1, ARK_REQ_SET_CONFIG_INT).size(), 3u);
    EXPECT_TRUE(requests(0, ARK_REQ_SET_CONFIG_INT).empty());
    EXPECT_EQ(storedNode("domain1"), params);

    // The next call replaces the section whole.
    EXPECT_EQ(rpc("SetDomainConfig", {{"domain", 1}, {"HBAMode", 1}}), ok("true"));
    EXPECT_EQ(storedNode("domain1"), value({{"domain", 1}, {"HBAMode", 1}}));
    EXPECT_EQ(emulator(1).Snapshot().config.at("HBAMode"), 1u);
}

TEST_F(ConfigMethods, SetDomainConfigStoresNothingWhenTheControllerRefuses) {
    loadConfig(R"({"domain0":{"RebuildPriority":50}})");
    // The second key sent fails: the first has reached the controller, nothing is stored.
    emulator(0).InjectFault({ARK_REQ_SET_CONFIG_INT, emu::Fault::Kind::Fail, 2, 1});
    EXPECT_EQ(
        rpc("SetDomainConfig",
            {{"domain", 0}, {"RebuildPriority", 10}, {"AutoRebuild", 0}, {"DiskIdleTimer", 5}}),
        error(kRpcFailed, "internal server error"));
    EXPECT_EQ(requests(0, ARK_REQ_SET_CONFIG_INT).size(), 2u) << "stops at the first failure";
    EXPECT_EQ(storedNode("domain0"), value({{"RebuildPriority", 50}}));

    EXPECT_EQ(rpc("SetDomainConfig", {{"domain", 7}, {"HBAMode", 1}}),
              error(kRpcBadParams, "no such domain"));
    EXPECT_EQ(storedNode("domain7"), nullptr);

    for (const value& params : {value(nullptr), value(5), value::array({1, 2})}) {
        SCOPED_TRACE(json::dump(params));
        Reply r = call(fnSetDomainConfig, params);
        EXPECT_EQ(r.code, kRpcBadParams);
    }
    EXPECT_EQ(storedNode("domain0"), value({{"RebuildPriority", 50}}));
}

TEST_F(ConfigMethods, WhatCannotBeReadBackIsRefusedAndNothingIsWritten) {
    const std::string before =
        R"({"password":"p","settings":{"ServerPort":8080},"tasks":[],"domain0":{"HBAMode":0}})";
    loadConfig(before.c_str());
    struct Case {
        const char* method;
        value params;
        const char* message;
    };
    const Case cases[] = {
        {"SetConfig", {{"settings", 1e+30}}, "settings must be an object"},
        {"SetConfig",
         {{"settings", {{"ServerPort", 70000}}}},
         "settings.ServerPort must be an integer from 1 to 65535"},
        {"SetConfig",
         {{"settings", {{"ServerPort", 0}}}},
         "settings.ServerPort must be an integer from 1 to 65535"},
        {"SetConfig",
         {{"settings", {{"ServerPort", "80x"}}}},
         "settings.ServerPort must be an integer from 1 to 65535"},
        {"SetConfig",
         {{"settings", {{"RestrictLocal", 2}}}},
         "settings.RestrictLocal must be an integer from 0 to 1"},
        {"SetConfig",
         {{"settings", {{"SMARTInterval", 1.5}}}},
         "settings.SMARTInterval must be an integer from 0 to 525600"},
        {"SetConfig",
         {{"settings", {{"SMARTInterval", -1}}}},
         "settings.SMARTInterval must be an integer from 0 to 525600"},
        // A bad later section stops the earlier good one too.
        {"SetConfig",
         {{"settings", {{"ServerPort", 9000}}}, {"tasks", {{"type", 1}}}},
         "tasks must be a list"},
        {"SetConfig", {{"tasks", value::array({1})}}, "tasks[0] must be an object"},
        {"SetConfig",
         {{"tasks", value::array({{{"type", 9}}})}},
         "tasks[0].type must be an integer from 1 to 4"},
        {"SetConfig",
         {{"tasks", value::array({{{"id", -1}}})}},
         "tasks[0].id must be an integer from 0 to 4294967295"},
        {"SetConfig",
         {{"email_notification", value::array()}},
         "email_notification must be an object"},
        {"SetConfig",
         {{"email_notification", {{"SMTP_Port", 65536}}}},
         "email_notification.SMTP_Port must be an integer from 0 to 65535"},
        {"SetConfig",
         {{"email_notification", {{"Protocol", 3}}}},
         "email_notification.Protocol must be an integer from 0 to 2"},
        {"SetConfig",
         {{"email_notification", {{"Sender", 5}}}},
         "email_notification.Sender must be a text"},
        {"SetConfig",
         {{"email_notification", {{"Receipients", {{"email", "a@b"}}}}}},
         "email_notification.Receipients must be a list"},
        {"SetConfig",
         {{"email_notification", {{"Receipients", value::array({{{"enable", 1}}})}}}},
         "email_notification.Receipients[0].enable must be true or false"},
        {"SetDomainConfig", {{"domain", 2147483647}}, "no such domain"},
        {"SetDomainConfig", {{"domain", -1}, {"HBAMode", 1}}, "no such domain"},
        {"SetDomainConfig",
         {{"domain", 0}, {"RebuildPriority", -5}},
         "RebuildPriority must be an integer from 0 to 4294967295"},
        {"SetDomainConfig",
         {{"domain", 0}, {"DiskIdleTimer", "ten"}},
         "DiskIdleTimer must be an integer from 0 to 4294967295"},
        {"SetDomainConfig",
         {{"domain", 0}, {"HBAMode", value::object()}},
         "HBAMode must be an integer from 0 to 4294967295"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.method) + " " + json::dump(c.params));
        EXPECT_EQ(rpc(c.method, c.params), error(kRpcBadParams, c.message));
        EXPECT_EQ(configFile(), before);
    }
    EXPECT_TRUE(requests(0, ARK_REQ_SET_CONFIG_INT).empty()) << "no controller was changed";
}

}  // namespace
}  // namespace rpctest
