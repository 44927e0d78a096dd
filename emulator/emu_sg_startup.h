#pragma once

// Start-up of hxraidsvc-emu: the scenario's emulated machine behind the SCSI generic seam.

#include "scenario.h"
#include "sg_front.h"

namespace emu {

// Adds one node per port of `machine` that shows a processor device, named after the port's
// path under /dev ("/dev/sg3" is node "sg3"; a path elsewhere becomes "sg<port index>", or the
// next number no /dev path of the machine uses), each
// answered by its domain's emulator, then a few ordinary /dev entries.
void AddMachineNodes(Machine& machine, SgFront& front);

}  // namespace emu

// Loads the scenario named by ARK_EMULATOR_SCENARIO (else the built-in one), installs its
// machine under the SG seam and starts ticking its emulators once a second. Call once, before
// arkInitialize. A missing or invalid scenario prints the error and exits with status 1. The
// machine, the front and the tick thread live until the process ends.
void emuInstallSgFromEnvironment();
