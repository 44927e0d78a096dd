// Disk methods: initialisation, the per-disk switches, the locate light, spares and ATA
// pass-through.

#include <cstring>

#include "rpc_handlers.h"
#include "rpc_params.h"
#include "user_action.h"

namespace {

// The methods carry one sector at most.
constexpr int64_t kMaxAtaSectors = 1;
constexpr size_t kAtaHeader = sizeof(ARK_ATA_PASSTHROUGH);

using SwitchFn = int (*)(int, uint32_t, uint8_t);

// A switch on disk "id" set to "value". `zeroAllowed` false refuses value 0.
int diskSwitch(SwitchFn set, const value& params, bool zeroAllowed = true) {
    const uint32_t id = rpc::u32Param(params, "id");
    uint8_t on = 0;
    if (id == 0 || !rpc::u8Param(params, "value", on)) return kRpcBadParams;
    if (!zeroAllowed && on == 0) return kRpcBadParams;
    return set(rpc::domainParam(params), id, on) == 0 ? kRpcOk : kRpcFailed;
}

using SpareFn = int (*)(int, uint32_t);

int spareChange(SpareFn change, int eventCode, const value& params, RpcContext& ctx) {
    const int domain = rpc::domainParam(params);
    const uint32_t disk = rpc::u32Param(params, "disk");
    if (change(domain, disk) != 0) return kRpcFailed;
    useraction::recordOnDevice(ctx, domain, eventCode, disk);
    return kRpcOk;
}

}  // namespace

int fnInitDisk(const value& params, value& /*result*/, std::string& /*errmsg*/, RpcContext& ctx) {
    const int domain = rpc::domainParam(params);
    const uint32_t id = rpc::u32Param(params, "id");
    if (id == 0) return kRpcBadParams;
    if (arkInitDisk(domain, id) != 0) return kRpcFailed;
    useraction::recordOnDevice(ctx, domain, kEventDiskInitialized, id);
    return kRpcOk;
}

int fnSetDiskRA(const value& params, value& /*result*/, std::string& /*errmsg*/,
                RpcContext& /*ctx*/) {
    return diskSwitch(arkSetDiskRA, params);
}

int fnSetDiskWC(const value& params, value& /*result*/, std::string& /*errmsg*/,
                RpcContext& /*ctx*/) {
    return diskSwitch(arkSetDiskWC, params);
}

int fnSetDiskQD(const value& params, value& /*result*/, std::string& /*errmsg*/,
                RpcContext& /*ctx*/) {
    return diskSwitch(arkSetDiskQD, params, false);
}

int fnSetDiskSmart(const value& params, value& /*result*/, std::string& /*errmsg*/,
                   RpcContext& /*ctx*/) {
    return diskSwitch(arkSetDiskSmart, params);
}

int fnIdentifyDisk(const value& params, value& /*result*/, std::string& /*errmsg*/,
                   RpcContext& /*ctx*/) {
    return diskSwitch(arkIdentifyDisk, params);
}

int fnAssignSpareDisk(const value& params, value& /*result*/, std::string& /*errmsg*/,
                      RpcContext& ctx) {
    return spareChange(arkAssignSpareDisk, kEventSpareAssigned, params, ctx);
}

int fnUnassignSpareDisk(const value& params, value& /*result*/, std::string& /*errmsg*/,
                        RpcContext& ctx) {
    return spareChange(arkUnassignSpareDisk, kEventSpareUnassigned, params, ctx);
}

int fnAtaPassthrough(const value& params, value& result, std::string& /*errmsg*/,
                     RpcContext& /*ctx*/) {
    // Checked before any narrowing: -1 or 65537 must not reach the 16-bit field as a small count.
    const int64_t sectors = json::toInt64(json::member(params, "sectors"));
    if (sectors < 0 || sectors > kMaxAtaSectors) return kRpcBadParams;

    ARK_ATA_PASSTHROUGH request{};
    request.disk = rpc::u32Param(params, "disk");
    request.sectors = static_cast<uint16_t>(sectors);
    if (!rpc::u16Param(params, "features", request.features) ||
        !rpc::u16Param(params, "sector_count", request.sector_count) ||
        !rpc::u16Param(params, "lba_low", request.lba_low) ||
        !rpc::u16Param(params, "lba_mid", request.lba_mid) ||
        !rpc::u16Param(params, "lba_high", request.lba_high) ||
        !rpc::u8Param(params, "device", request.device) ||
        !rpc::u8Param(params, "command", request.command) ||
        !rpc::u8Param(params, "protocol", request.protocol)) {
        return kRpcBadParams;
    }

    // Header, data to the disk, reply header, data from the disk; zeroed, so a command that
    // sends data sends zeros and never stack leftovers.
    const size_t dataBytes = static_cast<size_t>(sectors) * ARK_SECTOR_SIZE;
    const bool dataIn = request.protocol == ARK_ATA_DATA_IN;
    uint8_t buffer[2 * kAtaHeader + kMaxAtaSectors * ARK_SECTOR_SIZE] = {};
    std::memcpy(buffer, &request, kAtaHeader);
    if (arkAtaPassthrough(rpc::domainParam(params), buffer) != 0) return kRpcFailed;

    const size_t inLen = kAtaHeader + (dataIn ? 0 : dataBytes);
    ARK_ATA_PASSTHROUGH reply;
    std::memcpy(&reply, buffer + inLen, kAtaHeader);
    result = value::object();
    result["features"] = int{reply.features};
    result["sector_count"] = int{reply.sector_count};
    result["lba_low"] = int{reply.lba_low};
    result["lba_mid"] = int{reply.lba_mid};
    result["lba_high"] = int{reply.lba_high};
    result["device"] = int{reply.device};
    result["status"] = int{reply.command};
    if (dataIn) result["data"] = rpc::hexBytes(buffer + inLen + kAtaHeader, dataBytes);
    return kRpcOk;
}
