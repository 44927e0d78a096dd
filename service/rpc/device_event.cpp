#include "device_event.h"

#include <utility>

EventLogEntry makeDeviceEvent(int domain, int type, int code, uint32_t devid, std::string data) {
    return EventLogEntry(type, code, deviceName(domain, devid), std::move(data));
}
