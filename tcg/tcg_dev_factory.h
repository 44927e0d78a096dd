#pragma once

#include <memory>

#include "tcg_dev.h"

// The device object for what a probe discovered, first match winning: Ruby 1.0, Opal 2.0,
// Opalite, Pyrite 1.0, Pyrite 2.0, Opal 1.0, then Enterprise. Null when the drive offers none
// of them. The object is not opened.
std::unique_ptr<TcgDev> tcgNewDeviceFor(const TcgDiskInfo& probe);
