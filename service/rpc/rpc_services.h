#pragma once

#include <atomic>
#include <string>

class ConfigStore;
class EventLogger;
class SessionTable;

// What the dispatcher and the method handlers use of the running service. The service's
// start-up wires its own objects in; tests wire objects of their own. Everything here may be
// used from every worker at once.
struct RpcServices {
    ConfigStore& config;
    EventLogger& eventLogger;
    SessionTable& sessions;
    const int& port;                   // the HTTP port in use
    std::atomic<int>& smartInterval;   // minutes; the scheduler reads it
    const std::atomic<int>& stopFlag;  // non-zero once the service is stopping
};

// A new session id, or "" when the user is not "admin", the password differs from the
// configured one (none configured: empty) or the configuration cannot be read.
std::string loginSession(RpcServices& services, const std::string& user,
                         const std::string& password);
