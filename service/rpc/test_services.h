#pragma once

// The services the dispatcher and handler tests wire in: a store, an event log and a session
// table of their own, one set per test program, as the service has one set per process.

#include <atomic>

#include "config_store.h"
#include "event_logger.h"
#include "rpc_services.h"
#include "session_table.h"

struct TestServices {
    ConfigStore config;
    EventLogger eventLogger;
    SessionTable sessions;
    int port = 0;
    std::atomic<int> smartInterval{0};
    std::atomic<int> stopFlag{0};
    RpcServices rpc{config, eventLogger, sessions, port, smartInterval, stopFlag};

    std::string login(const std::string& user, const std::string& password) {
        return loginSession(rpc, user, password);
    }
};

inline TestServices& testServices() {
    static TestServices services;
    return services;
}
