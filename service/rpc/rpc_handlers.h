#pragma once

#include "rpc_method.h"

// Method handlers, one file per area; each row of method_table.cpp names one of these.

// server_methods.cpp
int fnGetServerInfo(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnLogin(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
int fnLogout(const value& params, value& result, std::string& errmsg, RpcContext& ctx);
