// Controller, battery unit and preserved-cache methods.

#include "rpc_handlers.h"
#include "rpc_params.h"
#include "values.h"

namespace {

constexpr size_t kDriverListSize = sizeof(ARK_DRIVER_INFO::raid_levels);

}  // namespace

int fnGetDomainCount(const value& /*params*/, value& result, std::string& /*errmsg*/,
                     RpcContext& /*ctx*/) {
    result = arkGetDomainCount();
    return kRpcOk;
}

int fnGetDriverInfo(const value& params, value& result, std::string& /*errmsg*/,
                    RpcContext& /*ctx*/) {
    ARK_DRIVER_INFO info{};
    if (arkGetDriverInfo(rpc::domainParam(params), &info) != 0) return kRpcFailed;
    value levels = value::array(), mpa = value::array(), policies = value::array();
    for (size_t i = 0; i < kDriverListSize && info.raid_levels[i] != 0; ++i) {
        levels.push_back(int{info.raid_levels[i]});
        mpa.push_back(int{info.max_mpa[i]});
        policies.push_back(int{info.cache_policies[i]});
    }
    result = value::object();
    result["driver_name"] = arkFieldText(info.driver_name);
    result["hwraid"] = int{info.hwraid};
    result["bs_shift_min"] = int{info.bs_shift_min};
    result["bs_shift_max"] = int{info.bs_shift_max};
    result["raid_levels"] = std::move(levels);
    result["max_mpa"] = std::move(mpa);
    result["cache_policies"] = std::move(policies);
    return kRpcOk;
}

int fnGetControllerCount(const value& params, value& result, std::string& /*errmsg*/,
                         RpcContext& /*ctx*/) {
    const int count = arkGetControllerCount(rpc::domainParam(params));
    if (count < 0) return kRpcFailed;
    result = count;
    return kRpcOk;
}

int fnGetControllerInfo(const value& params, value& result, std::string& /*errmsg*/,
                        RpcContext& /*ctx*/) {
    ARK_CONTROLLER_INFO info{};
    if (arkGetControllerInfo(rpc::domainParam(params), rpc::u32Param(params, "id"), &info) != 0) {
        return kRpcFailed;
    }
    result = value::object();
    result["num_ports"] = int{info.num_ports};
    result["product_str"] = arkFieldText(info.product_str);
    result["vendor_str"] = arkFieldText(info.vendor_str);
    result["fw_rev"] = arkFieldText(info.fw_rev);
    result["sn_str"] = arkFieldText(info.sn_str);
    result["ioc_str"] = arkFieldText(info.ioc_str);
    result["vhostno"] = int{info.vhostno};
    result["pcie_speed"] = int{info.pcie_speed};
    result["pcie_width"] = int{info.pcie_width};
    result["pci_tree"] = int{info.pci_tree};
    result["pci_bus"] = int{info.pci_bus};
    result["pci_device"] = int{info.pci_device};
    result["pci_function"] = int{info.pci_function};
    result["ramsize"] = int64_t{info.ramsize};
    return kRpcOk;
}

int fnGetBBUInfo(const value& params, value& result, std::string& /*errmsg*/, RpcContext& /*ctx*/) {
    ARK_BBU_INFO info{};
    if (arkGetBBUInfo(rpc::domainParam(params), rpc::u32Param(params, "id"), &info) != 0) {
        return kRpcFailed;
    }
    result = value::object();
    result["bbu_installed"] = int{info.bbu_installed};
    result["bbu_type"] = int{info.bbu_type};
    result["bbu_status"] = int{info.bbu_status};
    result["voltage_mv"] = int{info.voltage_mv};
    result["temperature"] = int{info.temperature};
    return kRpcOk;
}

int fnSetBBUStatus(const value& params, value& /*result*/, std::string& /*errmsg*/,
                   RpcContext& /*ctx*/) {
    if (arkSetBBUStatus(rpc::domainParam(params), rpc::u32Param(params, "status")) != 0) {
        return kRpcFailed;
    }
    return kRpcOk;
}

int fnGetPCacheSize(const value& params, value& result, std::string& /*errmsg*/,
                    RpcContext& /*ctx*/) {
    const int size = arkGetPCacheSize(rpc::domainParam(params));
    if (size < 0) return kRpcFailed;
    result = size;
    return kRpcOk;
}

int fnClearPCache(const value& params, value& /*result*/, std::string& /*errmsg*/,
                  RpcContext& /*ctx*/) {
    return arkClearPCache(rpc::domainParam(params)) == 0 ? kRpcOk : kRpcFailed;
}
