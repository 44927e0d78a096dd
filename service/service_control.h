#pragma once

#include <cstdint>

#include "cservice.h"

// Linux counterparts of the service-control calls and the stop signals.

// When enable, stores callback and routes SIGINT (code 0) and SIGTERM (code 3) to it;
// otherwise both get the default action. Handlers are installed with SA_RESTART. True.
bool installSignalHandlers(bool (*callback)(uint32_t code), bool enable);
// Installs the handlers again with the callback stored by the last installSignalHandlers
// (a restarted child must get them back after the watchdog reset SIGTERM).
void reinstallSignalHandlers();
void signalHandler(int signo);
// SIGCHLD goes to signalHandler (which ignores it) so waitpid is not disturbed.
void installChildSignalHandler();
void resetSignal(int signo);

// Returns 1 and keeps nothing: control codes arrive only through the signal path.
ServiceStatusHandle registerServiceCtrlHandler(const char* name, ServiceCtrlHandler handler);
bool setServiceStatus(ServiceStatusHandle handle, const SERVICE_STATUS& status);
