#pragma once

#include "rpc_method.h"

// Method handlers, one file per area; each row of method_table.cpp names one of these.

// server_methods.cpp
int fnGetServerInfo(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnLogin(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnLogout(const value& params, value& result, std::string& errmsg, RpcContext& ctx);

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
