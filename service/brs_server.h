#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "brs_soap.h"
#include "config_store.h"
#include "connection_gate.h"
#include "cservice.h"
#include "event_logger.h"
#include "rpc_services.h"
#include "session_table.h"
#include "thread_pool.h"

// The service object: Init reads the options, opens the log, the configuration, the
// controllers and the event log, picks the source of web files and binds the listener; Run
// accepts connections into the worker pool until Stop. One instance, g_server.
class brsServer : public CService {
public:
    static constexpr int kDefaultPort = 60000;
    static constexpr int kPathSize = 256;

    brsServer();
    ~brsServer() override;

    bool Init(int argc, char** argv) override;
    void Run(int argc, char** argv) override;
    // Async-signal-safe: sets the stop flag (and says so on stderr in a console run).
    void Stop() override;

    void applyDomainSettings(int domain);
    static void logSoapError(struct soap* engine, const char* prefix);

    // Login sessions. login gives the new session id, or "" when the user is not "admin", the
    // password differs from the configured one (none configured: empty) or the configuration
    // cannot be read.
    std::string login(const std::string& user, const std::string& password) {
        return loginSession(services, user, password);
    }
    bool checkSession(const std::string& sid) { return sessions.Check(sid); }
    bool removeSession(const std::string& sid) { return sessions.Remove(sid); }

    int port = 0;
    int restrictLocal = 0;
    char logPath[kPathSize] = "/var/log/brsraidsvc.log";
    char configDir[kPathSize] = "/etc/brsraidsvc";
    char wwwDir[kPathSize] = "";
    SessionTable sessions;
    ConfigStore config;
    EventLogger eventLogger;
    std::atomic<int> smartInterval{0};
    std::unique_ptr<brsSoap> masterSoap;
    int masterSocket = -1;
    ThreadPool pool;
    std::atomic<int> stopFlag{0};
    // The above as the dispatcher, the handlers and the file server see them.
    RpcServices services{config, eventLogger, sessions, port, smartInterval, stopFlag};

private:
    bool parseOptions(int argc, char** argv);
    bool resolvePort();
    void acceptLoop(ConnectionGate& gate);

    // Problems found while reading the options, reported once the log is open.
    std::string m_optionError;
    // Wakes the accept loop (the intake's eventfd): a worker made room in the ring or finished a
    // reply, or Stop was called.
    std::atomic<int> m_wakeFd{-1};
};

extern brsServer g_server;

// main's arguments, for an Init called with fewer than two.
extern int g_mainArgc;
extern char** g_mainArgv;
