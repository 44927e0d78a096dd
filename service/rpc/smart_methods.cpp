#include "rpc_handlers.h"
#include "rpc_params.h"
#include "smart_info.h"

namespace {

value attributeObject(const SmartAttributeReport& a) {
    value attr = value::object();
    attr["id"] = a.id;
    attr["name"] = a.name;
    attr["flags"] = a.flags;
    attr["current"] = a.current;
    attr["worst"] = a.worst;
    attr["raw"] = a.rawText;
    attr["threshold"] = a.threshold;
    attr["type"] = a.type;
    attr["update"] = a.update;
    return attr;
}

}  // namespace

int fnGetSmartInfo(const value& params, value& result, std::string& errmsg, RpcContext& /*ctx*/) {
    const int domain = rpc::domainParam(params);
    const uint32_t disk = rpc::u32Param(params, "id");
    if (disk == 0) return kRpcBadParams;
    SmartInfo info{};
    const int status = readSmartInfo(domain, disk, &info);
    if (status != kSmartInfoOk) {
        errmsg = smartInfoErrorText(status);
        return kRpcFailed;
    }
    value attrs = value::array();
    for (size_t i = 0; i < info.count; ++i) attrs.push_back(attributeObject(info.attrs[i]));
    result = value::object();
    result["status"] = info.healthy;
    result["attrs"] = std::move(attrs);
    return kRpcOk;
}
