// hxraidsvc-emu: the service with the controller emulator under its SCSI generic port.
#include "emu_sg_startup.h"
#include "service_main.h"

int main(int argc, char** argv) {
    emuInstallSgFromEnvironment();
    return hxraidsvcMain(argc, argv);
}
