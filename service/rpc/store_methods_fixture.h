#pragma once

// Test fixture of the event-log, configuration, mail, firmware and SMART methods: the handler
// fixture's emulated machine and event log, the test services' configuration in the same folder,
// and whole JSON-RPC calls run as the dispatcher runs them, with a live session.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "dispatcher.h"
#include "methods_test_fixture.h"
#include "test_services.h"

namespace rpctest {

class StoreMethods : public Methods {
protected:
    void SetUp() override {
        Methods::SetUp();
        if (HasFatalFailure()) return;
        loadConfig(nullptr);
        testServices().smartInterval = 0;
        m_sid = testServices().sessions.Create();
    }
    void TearDown() override {
        testServices().sessions.Remove(m_sid);
        Methods::TearDown();
    }

    // Writes config.json (none when text is null) and loads the store from it.
    void loadConfig(const char* text) {
        std::filesystem::remove(dir() + "/config.json");
        if (text != nullptr) std::ofstream(dir() + "/config.json") << text;
        testServices().config.Load(dir());
    }
    std::string configFile() const {
        std::ifstream in(dir() + "/config.json");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // A stored node, parsed back from the file as the next start-up would read it.
    value storedNode(const char* key) const {
        value doc;
        if (!json::parse(configFile(), doc)) return value("unparsable");
        return json::member(doc, key);
    }

    // The reply text of one JSON-RPC call (id 7) as the dispatcher builds it.
    std::string rpc(const char* method, const value& params = nullptr,
                    const RpcUpload* upload = nullptr) {
        value request = {{"jsonrpc", "2.0"}, {"id", 7}, {"method", method}};
        if (!params.is_null()) request["params"] = params;
        value reply = value::object();
        reply["jsonrpc"] = "2.0";
        FakeRpcContext ctx;
        ctx.cookies["sid"] = m_sid;
        ctx.upload = upload;
        runRpcCall(request, ctx, reply);
        return json::dump(reply);
    }
    static std::string ok(const std::string& result) {
        return R"({"jsonrpc":"2.0","id":7,"result":)" + result + "}";
    }
    static std::string error(int code, const std::string& message) {
        return R"({"jsonrpc":"2.0","id":7,"error":{"code":)" + std::to_string(code) +
               R"(,"message":")" + message + "\"}}";
    }

    std::string m_sid;
};

}  // namespace rpctest
