#include <string_view>

#include "rpc_handlers.h"

// The methods in their fixed order. Lookup is linear from the first row.
const RpcMethod rpcMethods[] = {
    {"GetServerInfo", fnGetServerInfo},
    {"Login", fnLogin},
    {"Logout", fnLogout},
    {"GetDomainCount", fnGetDomainCount},
    {"GetDriverInfo", fnGetDriverInfo},
    {"GetControllerCount", fnGetControllerCount},
    {"GetControllerInfo", fnGetControllerInfo},
    {"GetBBUInfo", fnGetBBUInfo},
    {"SetBBUStatus", fnSetBBUStatus},
    {"GetPCacheSize", fnGetPCacheSize},
    {"ClearPCache", fnClearPCache},
    {"GetLDList", fnGetLDList},
    {"GetPDList", fnGetPDList},
    {"GetVDInfo", fnGetVDInfo},
    {"GetEvent", fnGetEvent},
    {"InitDisk", fnInitDisk},
    {"GetRAIDCapacity", fnGetRAIDCapacity},
    {"CreateArray", fnCreateArray},
    {"CheckDelete", fnCheckDelete},
    {"DeleteArray", fnDeleteArray},
    {"SetArrayName", fnSetArrayName},
    {"SetCachePolicy", fnSetCachePolicy},
    {"SetDiskRA", fnSetDiskRA},
    {"SetDiskWC", fnSetDiskWC},
    {"SetDiskQD", fnSetDiskQD},
    {"SetDiskSmart", fnSetDiskSmart},
    {"IdentifyDisk", fnIdentifyDisk},
    {"ArrayTaskCtl", fnArrayTaskCtl},
    {"AddDiskToArray", fnAddDiskToArray},
    {"CheckUnload", fnCheckUnload},
    {"UnloadDevice", fnUnloadDevice},
    {"AssignSpareDisk", fnAssignSpareDisk},
    {"UnassignSpareDisk", fnUnassignSpareDisk},
    {"RescanDevices", fnRescanDevices},
    {"AtaPassthrough", fnAtaPassthrough},
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

const RpcMethod* findRpcMethod(std::string_view name) {
    for (size_t i = 0; i < rpcMethodCount; ++i) {
        if (name == rpcMethods[i].name) return &rpcMethods[i];
    }
    return nullptr;
}
