#pragma once

#include "scenario.h"
#include "win32_standin.h"

namespace emu::win32 {

// Registers every port of a loaded scenario as a storage port of `machine`, answered by its
// domain's emulator: through the miniport path when the port's description says so, and
// through a processor unit at its address (behind a disk on the same bus) when it says so.
void AddScenarioPorts(Machine& machine, const emu::Machine& scenario);

}  // namespace emu::win32
