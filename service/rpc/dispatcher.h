#pragma once

#include <string>

#include "rpc_method.h"

// The JSON-RPC steps after the body is parsed: method checks, the "sid" session check for all
// but Login and GetServerInfo, the table lookup and the handler call. Fills reply with the
// JSON-RPC 2.0 reply object.
void runRpcCall(const value& request, RpcContext& ctx, value& reply);

// A reply object with only "jsonrpc": "2.0", and the error a refused call gets in it.
value newRpcReply();
void setRpcError(value& reply, int code, const std::string& message);

// True when the request's "sid" cookie names a live session.
bool hasLiveSession(RpcContext& ctx);
