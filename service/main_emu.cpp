// hxraidsvc-emu: the service with the controller emulator under its SCSI generic port.
#include <cstdlib>

#include "brs_server.h"
#include "emu_sg_startup.h"
#include "service_main.h"

namespace {

// Tests of the failed-login throttle set its first delay in milliseconds, so a lock can be
// made to outlast a test or to pass within one. Only this build reads it.
constexpr const char* kLoginDelayVariable = "ARK_EMULATOR_LOGIN_DELAY_MS";

void applyLoginDelayFromEnvironment() {
    const char* text = std::getenv(kLoginDelayVariable);
    if (text == nullptr || *text == '\0') return;
    char* end = nullptr;
    unsigned long long ms = std::strtoull(text, &end, 10);
    if (*end == '\0' && ms > 0) g_server.sessions.Throttle().SetFirstDelay(ms);
}

}  // namespace

int main(int argc, char** argv) {
    emuInstallSgFromEnvironment();
    applyLoginDelayFromEnvironment();
    return hxraidsvcMain(argc, argv);
}
