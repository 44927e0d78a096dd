#include "rpc_handlers.h"
#include "session_table.h"
#include "user_action.h"

namespace {

// Text of the console's title bar; an empty one is not sent.
struct ServerInfo {
    const char* version;
    const char* title;
    const char* logo;
    const char* copyright;
    const char* os;
};
constexpr ServerInfo kServerInfo = {"2.0.264", "RAID Management Console", "morvi.svg", "", "Linux"};

void putIfSet(value& object, const char* key, const char* text) {
    if (text != nullptr && text[0] != '\0') object[key] = text;
}

}  // namespace

int fnGetServerInfo(const value& /*params*/, value& result, std::string& /*errmsg*/,
                    RpcContext& /*ctx*/) {
    result = value::object();
    result["version"] = kServerInfo.version;
    putIfSet(result, "title", kServerInfo.title);
    putIfSet(result, "logo", kServerInfo.logo);
    putIfSet(result, "copyright", kServerInfo.copyright);
    result["os"] = kServerInfo.os;
    return kRpcOk;
}

int fnLogin(const value& params, value& /*result*/, std::string& /*errmsg*/, RpcContext& ctx) {
    const value& user = json::member(params, "username");
    const value& password = json::member(params, "password");
    if (!user.is_string() || !password.is_string()) return kRpcUnauthorized;
    const std::string& name = user.get_ref<const std::string&>();
    std::string sid = loginSession(ctx.Services(), name, password.get_ref<const std::string&>());
    if (sid.empty()) return kRpcUnauthorized;
    ctx.SetSessionCookie("uid", name.c_str());
    ctx.SetSessionCookie("sid", sid.c_str());
    useraction::record(ctx, kEventLogin, name);
    return kRpcOk;
}

int fnLogout(const value& /*params*/, value& /*result*/, std::string& /*errmsg*/, RpcContext& ctx) {
    if (const char* sid = ctx.Cookie("sid")) {
        ctx.Services().sessions.Remove(sid);
        ctx.SetSessionCookie("sid", "invalid");
    }
    const char* uid = ctx.Cookie("uid");
    useraction::record(ctx, kEventLogout, uid != nullptr ? uid : "");
    return kRpcOk;
}
