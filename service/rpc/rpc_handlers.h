#pragma once

#include "rpc_method.h"

// Method handlers, one file per area; each row of method_table.cpp names one of these.

// server_methods.cpp
int fnGetServerInfo(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnLogin(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnLogout(const value& params, value& result, std::string& errmsg, RpcContext& ctx);

// controller_methods.cpp
int fnGetDomainCount(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnGetDriverInfo(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnGetControllerCount(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnGetControllerInfo(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnGetBBUInfo(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnSetBBUStatus(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnGetPCacheSize(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnClearPCache(const value& params, value& result, std::string& errmsg, RpcContext& ctx);

// device_methods.cpp
int fnGetLDList(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnGetPDList(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnGetVDInfo(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnGetEvent(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnCheckUnload(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnUnloadDevice(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnRescanDevices(const value& params, value& result, std::string& errmsg, RpcContext& ctx);

// array_methods.cpp
int fnGetRAIDCapacity(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnCreateArray(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnCheckDelete(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnDeleteArray(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnSetArrayName(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnSetCachePolicy(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnArrayTaskCtl(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnAddDiskToArray(const value& params, value& result, std::string& errmsg, RpcContext& ctx);

// disk_methods.cpp
int fnInitDisk(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnSetDiskRA(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnSetDiskWC(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnSetDiskQD(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnSetDiskSmart(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnIdentifyDisk(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnAssignSpareDisk(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnUnassignSpareDisk(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnAtaPassthrough(const value& params, value& result, std::string& errmsg, RpcContext& ctx);

// eventlog_methods.cpp
int fnGetEventLogCount(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnGetEventLog(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnClearEventLog(const value& params, value& result, std::string& errmsg, RpcContext& ctx);

// config_methods.cpp
int fnSetPassword(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnGetConfig(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnSetConfig(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnGetDomainConfig(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnSetDomainConfig(const value& params, value& result, std::string& errmsg, RpcContext& ctx);

// mail_methods.cpp
int fnSendMail(const value& params, value& result, std::string& errmsg, RpcContext& ctx);

// firmware_methods.cpp: reached only through the upload route, which hands over the image.
int fnFlashUpdate(const value& params, value& result, std::string& errmsg, RpcContext& ctx);

// smart_methods.cpp
int fnGetSmartInfo(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
