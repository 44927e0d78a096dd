#pragma once

// Test fixture of the method handlers: the default scenario's emulated machine attached as the
// domain list, and the test services' event log in a folder of the test's own.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ark.h"
#include "domain.h"
#include "emu_port.h"
#include "fake_rpc_context.h"
#include "rpc_handlers.h"
#include "scenario.h"
#include "test_services.h"

namespace rpctest {

// One handler call as the dispatcher makes it.
struct Reply {
    int code = 0;
    value result;
    std::string errmsg;
};

class Methods : public testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/rpc_methods_test.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        ASSERT_TRUE(testServices().eventLogger.Open(m_dir + "/eventlog.db"));

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
        testServices().eventLogger.Close();
        std::filesystem::remove_all(m_dir);
    }

    emu::Emulator& emulator(size_t domain) { return *m_machine->emulators.at(domain); }

    Reply call(RpcHandler handler, const value& params) {
        Reply r;
        FakeRpcContext ctx;
        r.code = handler(params, r.result, r.errmsg, ctx);
        return r;
    }

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
        testServices().eventLogger.Get(0, 1000, [&](const EventLogEntry& e) { out.push_back(e); });
        return {out.rbegin(), out.rend()};
    }

    // The test's own folder; the event log (and a store fixture's config.json) live in it.
    const std::string& dir() const { return m_dir; }

private:
    std::string m_dir;
    std::unique_ptr<emu::Machine> m_machine;
};

}  // namespace rpctest
