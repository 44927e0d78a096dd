// Array methods: capacity query, creation and transform, deletion, naming, cache policy, tasks,
// adding a disk.

#include "device_event.h"
#include "rpc_handlers.h"
#include "rpc_params.h"
#include "user_action.h"
#include "values.h"

namespace {

// The array record of `id`: kRpcFailed when it cannot be read, kRpcBadParams when it is a disk.
int readArray(int domain, uint32_t id, ARK_VD_INFO& vd) {
    if (arkGetVDInfo(domain, id, &vd) != 0) return kRpcFailed;
    return vd.type == ARK_VD_TYPE_ARRAY ? kRpcOk : kRpcBadParams;
}

}  // namespace

int fnGetRAIDCapacity(const value& params, value& result, std::string& /*errmsg*/,
                      RpcContext& /*ctx*/) {
    ARK_ARRAY_PARAMS request;
    if (!rpc::arrayParamsFrom(params, request)) return kRpcBadParams;
    uint64_t capacity = 0;
    if (arkGetRAIDCapacity(rpc::domainParam(params), &request, &capacity) != 0) return kRpcFailed;
    result = capacity;
    return kRpcOk;
}

int fnCreateArray(const value& params, value& result, std::string& /*errmsg*/, RpcContext& ctx) {
    ARK_ARRAY_PARAMS request;
    if (!rpc::arrayParamsFrom(params, request)) return kRpcBadParams;
    const int domain = rpc::domainParam(params);
    const uint32_t id = static_cast<uint32_t>(arkCreateArray(domain, &request));
    if (id == 0) return kRpcFailed;
    result = int64_t{id};

    std::string members;
    for (int i = 0; i < request.ndisks; ++i) {
        if (i > 0) members += ", ";
        members += deviceName(domain, request.members[i]);
    }
    useraction::recordOnDevice(ctx, domain,
                               request.source_id != 0 ? kEventArrayTransformed : kEventArrayCreated,
                               id, std::move(members));
    return kRpcOk;
}

int fnCheckDelete(const value& params, value& result, std::string& /*errmsg*/,
                  RpcContext& /*ctx*/) {
    return rpc::checkAnswer(params, result, arkCheckDelete);
}

int fnDeleteArray(const value& params, value& /*result*/, std::string& /*errmsg*/,
                  RpcContext& ctx) {
    const int domain = rpc::domainParam(params);
    const uint32_t id = rpc::u32Param(params, "id");
    ARK_VD_INFO vd{};
    if (int code = readArray(domain, id, vd); code != kRpcOk) return code;
    // A sub-array goes only with the array it belongs to.
    if (!arkIsEmptySlot(vd.parent)) return kRpcBadParams;
    if (arkDeleteArray(domain, id, rpc::u32Param(params, "options")) != 0) return kRpcFailed;
    useraction::record(ctx, kEventArrayDeleted, arkFieldText(vd.array.aname));
    return kRpcOk;
}

int fnSetArrayName(const value& params, value& /*result*/, std::string& /*errmsg*/,
                   RpcContext& /*ctx*/) {
    const uint32_t id = rpc::u32Param(params, "id");
    const value& name = json::member(params, "name");
    if (id == 0 || !name.is_string()) return kRpcBadParams;
    const std::string& text = name.get_ref<const std::string&>();
    return arkSetArrayName(rpc::domainParam(params), id, text.c_str()) == 0 ? kRpcOk : kRpcFailed;
}

int fnSetCachePolicy(const value& params, value& /*result*/, std::string& /*errmsg*/,
                     RpcContext& /*ctx*/) {
    const uint32_t id = rpc::u32Param(params, "id");
    uint8_t policy = 0;
    if (id == 0 || !rpc::u8Param(params, "value", policy)) return kRpcBadParams;
    return arkSetCachePolicy(rpc::domainParam(params), id, policy) == 0 ? kRpcOk : kRpcFailed;
}

int fnArrayTaskCtl(const value& params, value& /*result*/, std::string& /*errmsg*/,
                   RpcContext& /*ctx*/) {
    const int status = arkArrayTaskCtl(rpc::domainParam(params), rpc::u32Param(params, "id"),
                                       rpc::u32Param(params, "state"));
    return status == 0 ? kRpcOk : kRpcFailed;
}

int fnAddDiskToArray(const value& params, value& /*result*/, std::string& /*errmsg*/,
                     RpcContext& ctx) {
    const int domain = rpc::domainParam(params);
    const uint32_t array = rpc::u32Param(params, "idArray");
    const uint32_t disk = rpc::u32Param(params, "idDisk");
    ARK_VD_INFO vd{};
    if (int code = readArray(domain, array, vd); code != kRpcOk) return code;
    if (arkAddDiskToArray(domain, array, disk) != 0) return kRpcFailed;
    useraction::recordOnDevice(ctx, domain, kEventDiskAdded, disk, arkFieldText(vd.array.aname));
    return kRpcOk;
}
