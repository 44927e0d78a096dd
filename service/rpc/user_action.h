#pragma once

// The user actions the methods record in the event log (codes kEventLogin ... in event_codes.h),
// as information events. A method records its action only after the action succeeded.

#include <cstdint>
#include <string>
#include <utility>

#include "device_event.h"
#include "event_codes.h"
#include "event_logger.h"
#include "rpc_method.h"

namespace useraction {

// An action about a user or a device already named by the caller (devname may be empty).
inline void record(RpcContext& ctx, int code, std::string devname,
                   std::string data = std::string()) {
    ctx.Services().eventLogger.Add(
        EventLogEntry(kEventInformation, code, std::move(devname), std::move(data)));
}

// An action on device `devid` of `domain`, named as deviceName names it.
inline void recordOnDevice(RpcContext& ctx, int domain, int code, uint32_t devid,
                           std::string data = std::string()) {
    ctx.Services().eventLogger.Add(
        makeDeviceEvent(domain, kEventInformation, code, devid, std::move(data)));
}

}  // namespace useraction
