#pragma once

#include <cstdint>
#include <string>

#include "ark.h"

// Names of devices as the event log and the console show them.

// The device name of a device that cannot be read.
inline constexpr const char* kUnknownDevice = "(unknown)";

// A disk's label: "[c/Ee/t] ", "[c/p/t] " or "[c/p] " (numbers from 1), then at most 40 bytes of
// the model, '_', at most 20 bytes of the serial.
std::string deviceDisplayName(const ARK_DISK_INFO& disk);

// The name of device `id` of `domain`: a disk's label, an array's name followed by " [n]" with
// its 1-based position among its parent's members when it has a parent, or kUnknownDevice when
// the device cannot be read. Asks the controller for the device (and for an array's parent).
std::string deviceName(int domain, uint32_t id);
