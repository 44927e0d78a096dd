// Methods over devices of either kind: the id lists, one device's record, unloading, rescans.

#include <algorithm>

#include "rpc_handlers.h"
#include "rpc_params.h"
#include "values.h"

namespace {

constexpr uint32_t kMaxListIds = 256;

using ListFn = int (*)(int, uint32_t*, uint32_t);

int idList(ListFn list, const value& params, value& result) {
    uint32_t ids[kMaxListIds] = {};
    const int count = list(rpc::domainParam(params), ids, kMaxListIds);
    if (count < 0) return kRpcFailed;
    result = value::array();
    const uint32_t n = std::min(static_cast<uint32_t>(count), kMaxListIds);
    for (uint32_t i = 0; i < n; ++i) result.push_back(int64_t{rpc::idResult(ids[i])});
    return kRpcOk;
}

value arrayPart(const ARK_ARRAY_INFO& a) {
    const int ndisks = arkArrayMemberCount(a);
    value members = value::array();
    for (int i = 0; i < ndisks; ++i) members.push_back(int64_t{rpc::idResult(a.members[i])});

    value out = value::object();
    out["aname"] = arkFieldText(a.aname);
    out["raidlevel"] = int{a.raidlevel};
    out["bs_shift"] = int{a.bs_shift};
    out["ndisks"] = ndisks;
    out["sub_raidlevel"] = int{a.sub_raidlevel};
    out["flags"] = int64_t{a.flags};
    out["rebuilt_percent"] = int64_t{a.rebuilt_percent};
    out["rebuilt_sectors"] = a.rebuilt_sectors;
    out["transform_src"] = int64_t{rpc::idResult(a.transform_src)};
    out["transform_tgt"] = int64_t{rpc::idResult(a.transform_tgt)};
    out["transform_percent"] = int64_t{a.transform_percent};
    out["signature"] = int64_t{a.signature};
    out["ss_shift"] = int{a.ss_shift};
    out["outdated_mmask"] = a.outdated_mmask;
    out["members"] = std::move(members);
    return out;
}

value diskPart(const ARK_DISK_INFO& d) {
    // Position k is parent slot k; empty slots before a used one read null.
    value parents = value::array();
    for (size_t k = 0; k < ARK_MAX_PARENTS; ++k) {
        if (!arkIsEmptySlot(d.parents[k])) parents[k] = int64_t{d.parents[k]};
    }

    value out = value::object();
    out["controller"] = int{d.controller};
    out["port"] = int{d.port};
    out["target"] = int{d.target};
    out["linkrate_actual"] = int{d.linkrate_actual};
    out["linkrate_avail"] = int{d.linkrate_avail};
    out["linkrate_max"] = int{d.linkrate_max};
    out["linkrate_set"] = int{d.linkrate_set};
    out["pd_type"] = int{d.pd_type};
    out["spinup_mode"] = int{d.spinup_mode};
    out["ss_shift"] = int{d.ss_shift};
    out["flags"] = int64_t{d.flags};
    out["total_free"] = d.total_free;
    out["max_free"] = d.max_free;
    out["model"] = arkFieldText(d.model);
    out["serial"] = arkFieldText(d.serial);
    out["fwrev"] = arkFieldText(d.fwrev);
    out["parents"] = std::move(parents);
    return out;
}

}  // namespace

int fnGetLDList(const value& params, value& result, std::string& /*errmsg*/, RpcContext& /*ctx*/) {
    return idList(arkGetLDList, params, result);
}

int fnGetPDList(const value& params, value& result, std::string& /*errmsg*/, RpcContext& /*ctx*/) {
    return idList(arkGetPDList, params, result);
}

int fnGetVDInfo(const value& params, value& result, std::string& /*errmsg*/, RpcContext& /*ctx*/) {
    const uint32_t id = rpc::u32Param(params, "id");
    ARK_VD_INFO vd{};
    if (arkGetVDInfo(rpc::domainParam(params), id, &vd) != 0) return kRpcFailed;
    result = value::object();
    result["id"] = int64_t{rpc::idResult(id)};
    result["type"] = int{vd.type};
    result["cache_policy"] = int{vd.cache_policy};
    result["vcore_id"] = int{vd.vcore_id};
    result["target_id"] = int{vd.target_id};
    result["capacity"] = vd.capacity;
    result["parent"] = int64_t{rpc::idResult(vd.parent)};
    if (vd.type == ARK_VD_TYPE_ARRAY) {
        result["array"] = arrayPart(vd.array);
    } else {
        result["disk"] = diskPart(vd.disk);
    }
    return kRpcOk;
}

int fnGetEvent(const value& /*params*/, value& /*result*/, std::string& errmsg,
               RpcContext& /*ctx*/) {
    // Controller events reach the console through the event log only.
    errmsg = "not implemented";
    return kRpcFailed;
}

int fnCheckUnload(const value& params, value& result, std::string& /*errmsg*/,
                  RpcContext& /*ctx*/) {
    return rpc::checkAnswer(params, result, arkCheckUnload);
}

int fnUnloadDevice(const value& params, value& /*result*/, std::string& /*errmsg*/,
                   RpcContext& /*ctx*/) {
    const uint32_t id = rpc::u32Param(params, "id");
    if (id == 0) return kRpcBadParams;
    return arkUnloadDevice(rpc::domainParam(params), id) == 0 ? kRpcOk : kRpcFailed;
}

int fnRescanDevices(const value& params, value& /*result*/, std::string& /*errmsg*/,
                    RpcContext& /*ctx*/) {
    arkRescanDevices(rpc::domainParam(params));  // answers 0 whatever happened
    return kRpcOk;
}
