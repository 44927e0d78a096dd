#include <climits>

#include "event_logger.h"
#include "rpc_handlers.h"

namespace {

// The most events one GetEventLog call may ask for.
constexpr int64_t kMaxEventsPerCall = 100;

value eventObject(const EventLogEntry& e) {
    value entry = value::object();
    entry["time"] = e.time;
    entry["type"] = e.type;
    entry["code"] = e.code;
    entry["devname"] = e.devname;
    entry["data"] = e.data;
    return entry;
}

}  // namespace

int fnGetEventLogCount(const value& /*params*/, value& result, std::string& /*errmsg*/,
                       RpcContext& ctx) {
    const int count = ctx.Services().eventLogger.Count();
    if (count < 0) return kRpcFailed;
    result = count;
    return kRpcOk;
}

int fnGetEventLog(const value& params, value& result, std::string& /*errmsg*/, RpcContext& ctx) {
    // Read wide, so a huge number cannot wrap into an acceptable one.
    const int64_t start = json::toInt64(json::member(params, "start"));
    const int64_t length = json::toInt64(json::member(params, "length"));
    if (start < 0 || start > INT_MAX || length < 0 || length > kMaxEventsPerCall) {
        return kRpcBadParams;
    }
    value list = value::array();
    const int rows = ctx.Services().eventLogger.Get(
        static_cast<int>(start), static_cast<int>(length),
        [&list](const EventLogEntry& e) { list.push_back(eventObject(e)); });
    if (rows < 0) return kRpcFailed;
    result = std::move(list);
    return kRpcOk;
}

int fnClearEventLog(const value& /*params*/, value& /*result*/, std::string& /*errmsg*/,
                    RpcContext& ctx) {
    return ctx.Services().eventLogger.Clear() ? kRpcOk : kRpcFailed;
}
