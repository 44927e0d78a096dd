#include <cstdint>
#include <cstdio>

#include "log.h"
#include "login_throttle.h"
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

constexpr const char* kThrottledMessage = "too many failed logins, try again later";
constexpr size_t kLoggedNameBytes = 64;

// The user name a client sent, fit for one log line: quotes, backslashes and bytes outside
// printable ASCII escaped, cut after kLoggedNameBytes.
std::string loggedName(const value& user) {
    if (!user.is_string()) return "(none)";
    const std::string& name = user.get_ref<const std::string&>();
    std::string out = "\"";
    for (size_t i = 0; i < name.size() && i < kLoggedNameBytes; ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c > 0x7e) {
            char hex[5];
            std::snprintf(hex, sizeof(hex), "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
    if (name.size() > kLoggedNameBytes) out += "...";
    return out;
}

void logLoginFailure(const char* what, const std::string& address, const value& user,
                     const LoginThrottle::Report& report) {
    if (!report.due) return;
    const char* from = address.empty() ? "an unknown address" : address.c_str();
    const std::string name = loggedName(user);
    if (report.folded == 0) {
        logPrint(kLogWarning, "%s from %s, user %s", what, from, name.c_str());
    } else {
        logPrint(kLogWarning, "%s from %s, user %s (and %u more since the last line)", what, from,
                 name.c_str(), report.folded);
    }
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

int fnLogin(const value& params, value& /*result*/, std::string& errmsg, RpcContext& ctx) {
    const value& user = json::member(params, "username");
    const value& password = json::member(params, "password");
    const std::string address = ctx.PeerAddress();
    LoginThrottle& throttle = ctx.Services().sessions.Throttle();
    // A locked address gets its answer at once; its password is not looked at.
    if (!throttle.Admit(address)) {
        logLoginFailure("login refused (too many failed logins)", address, user,
                        throttle.Refused(address));
        errmsg = kThrottledMessage;
        return kRpcUnauthorized;
    }
    std::string sid;
    if (user.is_string() && password.is_string()) {
        sid = loginSession(ctx.Services(), user.get_ref<const std::string&>(),
                           password.get_ref<const std::string&>());
    }
    if (sid.empty()) {
        logLoginFailure("failed login", address, user, throttle.Failed(address));
        return kRpcUnauthorized;
    }
    if (uint32_t unlogged = throttle.Succeeded(address)) {
        logPrint(kLogWarning, "login from %s after %u more failed logins since the last line",
                 address.empty() ? "an unknown address" : address.c_str(), unlogged);
    }
    const std::string& name = user.get_ref<const std::string&>();
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
