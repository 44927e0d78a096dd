#include <cstring>

#include "rpc_handlers.h"

// The methods in their fixed order. Lookup is linear from the first row.
const RpcMethod rpcMethods[] = {
    {"GetServerInfo", fnGetServerInfo},
    {"Login", fnLogin},
    {"Logout", fnLogout},
    {"GetEventLogCount", fnGetEventLogCount},
    {"GetEventLog", fnGetEventLog},
    {"ClearEventLog", fnClearEventLog},
    {"SetPassword", fnSetPassword},
    {"SendMail", fnSendMail},
    {"FlashUpdate", fnFlashUpdate},
    {"GetSmartInfo", fnGetSmartInfo},
    {"GetConfig", fnGetConfig},
    {"SetConfig", fnSetConfig},
    {"GetDomainConfig", fnGetDomainConfig},
    {"SetDomainConfig", fnSetDomainConfig},
};

const size_t rpcMethodCount = sizeof(rpcMethods) / sizeof(rpcMethods[0]);

const RpcMethod* findRpcMethod(const char* name) {
    for (size_t i = 0; i < rpcMethodCount; ++i) {
        if (std::strcmp(rpcMethods[i].name, name) == 0) return &rpcMethods[i];
    }
    return nullptr;
}
