#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "json_util.h"
#include "rpc_services.h"

// Result codes of a method handler (and of the dispatcher's own refusals).
constexpr int kRpcOk = 0;
constexpr int kRpcParseError = -32700;
constexpr int kRpcMethodNotFound = -32601;
constexpr int kRpcBadParams = -32602;
constexpr int kRpcFailed = -32603;
constexpr int kRpcUnauthorized = 401;

// A file uploaded with the request, handed to the method in-process.
struct RpcUpload {
    const char* data;
    size_t size;
};

// What a handler may know of the HTTP request it serves besides its params.
class RpcContext {
public:
    virtual ~RpcContext() = default;

    // The request's cookie `name`, or null when it sent none.
    virtual const char* Cookie(const char* name) = 0;
    // The client's address as text ("192.0.2.7", "2001:db8::1"; an IPv4 client on an IPv6
    // socket in its IPv4 form), or "" when it cannot be told.
    virtual std::string PeerAddress() = 0;
    // Sets a session cookie (path "/", no expiry) on the reply.
    virtual void SetSessionCookie(const char* name, const char* value) = 0;
    // The uploaded image of a "/fwupdate/<d>/<i>" request; null for every JSON-RPC body, so a
    // body that names an upload method itself carries no image.
    virtual const RpcUpload* Upload() const = 0;
    // The service's store, event log, sessions and settings.
    virtual RpcServices& Services() = 0;
};

// Every method handler has this shape. params is the request's "params" (null when absent);
// result starts null (left null, the reply's result is true); errmsg starts empty (left empty
// on failure, the reply says "internal server error"). Returns kRpcOk or an error code.
// Handlers run on every worker at once.
using RpcHandler = int (*)(const value& params, value& result, std::string& errmsg,
                           RpcContext& ctx);

struct RpcMethod {
    const char* name;
    RpcHandler handler;
};

// The method table, in its fixed order (method_table.cpp).
extern const RpcMethod rpcMethods[];
extern const size_t rpcMethodCount;

// Exact, case-sensitive lookup of the whole name from the first row; null when unknown. A name
// with a zero byte inside matches no row.
const RpcMethod* findRpcMethod(std::string_view name);
