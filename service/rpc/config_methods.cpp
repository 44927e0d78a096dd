#include <string>

#include "ark.h"
#include "config_checks.h"
#include "config_store.h"
#include "rpc_handlers.h"
#include "rpc_params.h"
#include "user_action.h"

namespace {

// The controller settings of a domain, as GetDomainConfig reports and SetDomainConfig takes them.
const char* const kDomainConfigKeys[] = {
    "HBAMode",       "RebuildPriority", "AutoRebuild", "IgnoreRebuildErrors",
    "DiskIdleTimer", "SpinupCount",     "SpinupDelay", "BBUTempThreshold",
};

// The configuration sections SetConfig stores, in the order it stores them.
const char* const kConfigSections[] = {"settings", "tasks", "email_notification"};

}  // namespace

int fnSetPassword(const value& params, value& /*result*/, std::string& errmsg, RpcContext& ctx) {
    const value& next = json::member(params, "new");
    if (!next.is_string()) return kRpcBadParams;
    std::string stored;
    switch (ctx.Services().config.FindString(stored, "password")) {
        case ConfigRead::kFound:
            break;
        case ConfigRead::kMissing:  // as at login: no password configured is the empty one
            stored.clear();
            break;
        case ConfigRead::kUnreadable:
            return kRpcFailed;
    }
    const value& old = json::member(params, "old");
    if (!old.is_string() || old.get_ref<const std::string&>() != stored) {
        errmsg = "wrong password";
        return kRpcBadParams;
    }
    if (!ctx.Services().config.SetString(next.get_ref<const std::string&>(), "password")) {
        return kRpcFailed;
    }
    useraction::record(ctx, kEventPasswordChanged, "");
    return kRpcOk;
}

int fnGetConfig(const value& params, value& result, std::string& /*errmsg*/, RpcContext& ctx) {
    const std::string key = json::toText(json::member(params, "key"));
    value section;
    if (!ctx.Services().config.GetValue(section, key.c_str())) return kRpcFailed;
    if (section.is_null()) section = value::object();
    if (key == "settings" && section.is_object() &&
        json::toInt64(json::member(section, "ServerPort")) == 0) {
        section["ServerPort"] = ctx.Services().port;
    }
    result = std::move(section);
    return kRpcOk;
}

int fnSetConfig(const value& params, value& /*result*/, std::string& errmsg, RpcContext& ctx) {
    if (!params.is_object()) return kRpcBadParams;
    // Every section is checked before any is stored: a refused call writes nothing.
    for (const char* key : kConfigSections) {
        auto it = params.find(key);
        if (it == params.end()) continue;
        errmsg = checkConfigSection(key, *it);
        if (!errmsg.empty()) return kRpcBadParams;
    }
    for (const char* key : kConfigSections) {
        auto it = params.find(key);
        if (it == params.end()) continue;
        if (!ctx.Services().config.SetValue(*it, key)) return kRpcFailed;
        if (std::string_view(key) == "settings") {
            int interval = 0;
            if (ctx.Services().config.GetInt(interval, "settings", "SMARTInterval")) {
                ctx.Services().smartInterval.store(interval);
            }
        }
    }
    return kRpcOk;
}

int fnGetDomainConfig(const value& params, value& result, std::string& /*errmsg*/,
                      RpcContext& /*ctx*/) {
    const int domain = rpc::domainParam(params);
    result = value::object();
    for (const char* key : kDomainConfigKeys) {
        int32_t setting = 0;
        if (arkGetConfigInt(domain, key, &setting) == 0) result[key] = setting;
    }
    return kRpcOk;
}

int fnSetDomainConfig(const value& params, value& /*result*/, std::string& errmsg,
                      RpcContext& ctx) {
    // The params are stored whole as the domain's section, which the start-up reads as an
    // object; anything else would replace it with junk.
    if (!params.is_object()) return kRpcBadParams;
    const int domain = rpc::domainParam(params);
    if (domain < 0 || domain >= arkGetDomainCount()) {
        errmsg = "no such domain";
        return kRpcBadParams;
    }
    errmsg = checkDomainSettings(params);
    if (!errmsg.empty()) return kRpcBadParams;
    for (const char* key : kDomainConfigKeys) {
        auto it = params.find(key);
        if (it == params.end()) continue;
        if (arkSetConfigInt(domain, key, json::toUInt(*it)) != 0) return kRpcFailed;
    }
    const std::string section = "domain" + std::to_string(domain);
    return ctx.Services().config.SetValue(params, section.c_str()) ? kRpcOk : kRpcFailed;
}
