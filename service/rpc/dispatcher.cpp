#include "dispatcher.h"

#include <string>

#include "session_table.h"

void setRpcError(value& reply, int code, const std::string& message) {
    reply.erase("result");
    reply["error"] = {{"code", code}, {"message", message}};
}

value newRpcReply() {
    value reply = value::object();
    reply["jsonrpc"] = "2.0";
    return reply;
}

bool hasLiveSession(RpcContext& ctx) {
    const char* sid = ctx.Cookie("sid");
    return sid != nullptr && ctx.Services().sessions.Check(sid);
}

void runRpcCall(const value& request, RpcContext& ctx, value& reply) {
    if (request.is_object() && request.contains("id")) reply["id"] = request["id"];
    // A "method" that is present but null is a method that is not a string.
    if (!request.is_object() || !request.contains("method")) {
        return setRpcError(reply, kRpcMethodNotFound, "no method specified");
    }
    const value& method = json::member(request, "method");
    if (!method.is_string()) {
        return setRpcError(reply, kRpcMethodNotFound, "method value is not string");
    }
    const std::string& name = method.get_ref<const std::string&>();
    if (name != "Login" && name != "GetServerInfo" && !hasLiveSession(ctx)) {
        return setRpcError(reply, kRpcUnauthorized, "Unauthorized");
    }
    const RpcMethod* row = findRpcMethod(name);
    if (row == nullptr) return setRpcError(reply, kRpcMethodNotFound, "method unknown");

    value result;
    std::string errmsg;
    int code = row->handler(json::member(request, "params"), result, errmsg, ctx);
    if (code != kRpcOk) {
        return setRpcError(reply, code, errmsg.empty() ? "internal server error" : errmsg);
    }
    reply["result"] = result.is_null() ? value(true) : std::move(result);
}
