#pragma once

// Test fixture of the event-log, configuration, mail, firmware and SMART methods: the default
// scenario's emulated machine as the domain list, g_server's event log and configuration in a
// folder of the test's own, and whole JSON-RPC calls run as the dispatcher runs them, with a live
// session.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ark.h"
#include "brs_server.h"
#include "dispatcher.h"
#include "domain.h"
#include "emu_port.h"
#include "rpc_handlers.h"
#include "scenario.h"

namespace rpctest {

// A request context holding a session cookie and, for the upload route, the uploaded image.
class SessionContext : public RpcContext {
public:
    SessionContext(std::string sid, const RpcUpload* upload)
        : m_sid(std::move(sid)), m_upload(upload) {}
    const char* Cookie(const char* name) override {
        return std::string_view(name) == "sid" ? m_sid.c_str() : nullptr;
    }
    void SetSessionCookie(const char*, const char*) override {}
    const RpcUpload* Upload() const override { return m_upload; }

private:
    std::string m_sid;
    const RpcUpload* m_upload;
};

// One handler call as the dispatcher makes it.
struct Reply {
    int code = 0;
    value result;
    std::string errmsg;
};

class StoreMethods : public testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/rpc_store_test.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        ASSERT_TRUE(g_server.eventLogger.Open(m_dir + "/eventlog.db"));
        loadConfig(nullptr);
        g_server.smartInterval = 0;
        m_sid = g_server.sessions.Create();

        emu::Scenario scenario;
        std::string error;
        ASSERT_TRUE(emu::ParseScenario(emu::DefaultScenarioText(), scenario, error)) << error;
        arkResetDomainsForTest();
        m_machine = emu::BuildMachine(scenario);
        ASSERT_EQ(emu::AttachMachinePorts(*m_machine), 2);
        for (auto& e : m_machine->emulators) e->ClearRequestLog();
    }
    void TearDown() override {
        arkResetDomainsForTest();  // the ports go before their emulators
        m_machine.reset();
        g_server.removeSession(m_sid);
        g_server.eventLogger.Close();
        std::filesystem::remove_all(m_dir);
    }

    emu::Emulator& emulator(size_t domain) { return *m_machine->emulators.at(domain); }

    // The requests domain `d` received with this code since the fixture started.
    std::vector<emu::LoggedRequest> requests(size_t domain, uint32_t code) {
        std::vector<emu::LoggedRequest> out;
        for (const auto& r : emulator(domain).RequestLog()) {
            if (r.code == code) out.push_back(r);
        }
        return out;
    }

    // The event log, oldest first.
    std::vector<EventLogEntry> events() {
        std::vector<EventLogEntry> out;
        g_server.eventLogger.Get(0, 1000, [&](const EventLogEntry& e) { out.push_back(e); });
        return {out.rbegin(), out.rend()};
    }

    // The handler alone, without a session or an upload.
    Reply call(RpcHandler handler, const value& params) {
        Reply r;
        SessionContext ctx("", nullptr);
        r.code = handler(params, r.result, r.errmsg, ctx);
        return r;
    }

    // Writes config.json (none when text is null) and loads the store from it.
    void loadConfig(const char* text) {
        std::filesystem::remove(m_dir + "/config.json");
        if (text != nullptr) std::ofstream(m_dir + "/config.json") << text;
        g_server.config.Load(m_dir);
    }
    std::string configFile() const {
        std::ifstream in(m_dir + "/config.json");
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
        SessionContext ctx(m_sid, upload);
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

    std::string m_dir;
    std::string m_sid;
    std::unique_ptr<emu::Machine> m_machine;
};

}  // namespace rpctest
