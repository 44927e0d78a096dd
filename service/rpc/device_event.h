#pragma once

#include <cstdint>
#include <string>

#include "device_name.h"
#include "event_logger.h"

// An event about device `devid` of `domain`, named by deviceName.
EventLogEntry makeDeviceEvent(int domain, int type, int code, uint32_t devid,
                              std::string data = std::string());
