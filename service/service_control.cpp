#include "service_control.h"

#include <signal.h>

#include <atomic>

namespace {

std::atomic<bool (*)(uint32_t)> g_stopCallback{nullptr};

void installHandler(int signo, void (*handler)(int)) {
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    // Restarted waits: a stop signal must not make waitpid fail and cost a restart delay.
    sa.sa_flags = SA_RESTART;
    sigaction(signo, &sa, nullptr);
}

}  // namespace

void signalHandler(int signo) {
    auto callback = g_stopCallback.load();
    if (callback == nullptr) return;
    if (signo == SIGINT) callback(0);
    if (signo == SIGTERM) callback(3);
}

bool installSignalHandlers(bool (*callback)(uint32_t code), bool enable) {
    if (enable) {
        g_stopCallback = callback;
        installHandler(SIGINT, signalHandler);
        installHandler(SIGTERM, signalHandler);
    } else {
        resetSignal(SIGINT);
        resetSignal(SIGTERM);
    }
    return true;
}

void reinstallSignalHandlers() {
    installSignalHandlers(g_stopCallback.load(), true);
}

void installChildSignalHandler() {
    installHandler(SIGCHLD, signalHandler);
}

void resetSignal(int signo) {
    installHandler(signo, SIG_DFL);
}

ServiceStatusHandle registerServiceCtrlHandler(const char* /*name*/,
                                               ServiceCtrlHandler /*handler*/) {
    return 1;
}

bool setServiceStatus(ServiceStatusHandle /*handle*/, const SERVICE_STATUS& /*status*/) {
    return true;
}
