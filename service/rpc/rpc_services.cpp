#include "rpc_services.h"

#include "config_store.h"
#include "session_table.h"

std::string loginSession(RpcServices& services, const std::string& user,
                         const std::string& password) {
    std::string configured;
    switch (services.config.FindString(configured, "password")) {
        case ConfigRead::kFound:
            break;
        case ConfigRead::kMissing:
            configured.clear();
            break;
        case ConfigRead::kUnreadable:
            return "";
    }
    if (user != "admin" || password != configured) return "";
    return services.sessions.Create();
}
