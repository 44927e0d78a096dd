#include "fw_image.h"
#include "rpc_handlers.h"
#include "rpc_params.h"

int fnFlashUpdate(const value& params, value& /*result*/, std::string& errmsg, RpcContext& ctx) {
    // Only the upload route hands over an image; a JSON body naming this method has none, and
    // no address or size it could send is ever trusted.
    const RpcUpload* upload = ctx.Upload();
    if (upload == nullptr || upload->data == nullptr) {
        errmsg = "no firmware image uploaded";
        return kRpcBadParams;
    }
    const int domain = rpc::domainParam(params);
    const uint32_t controller = rpc::u32Param(params, "id");
    const FwUpdateStatus status = updateFirmware(domain, controller, upload->data, upload->size);
    if (status != FwUpdateStatus::Ok) {
        errmsg = fwUpdateStatusText(status);
        return kRpcFailed;
    }
    return kRpcOk;
}
