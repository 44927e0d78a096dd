#pragma once

#include <cstddef>
#include <cstdint>

// Looks through the inquiry data a storage port returned for the controller's processor
// device: the first unit of type 3 whose vendor text starts with "ARK". `bufferSize` is the
// size of `data`, `returned` the byte count the driver reported; nothing outside the smaller
// of the two is read, however the chains are linked. On success stores
// PathId << 16 | TargetId << 8 | Lun through `address`.
bool FindProcessorDevice(const uint8_t* data, size_t bufferSize, size_t returned,
                         uint32_t* address);
