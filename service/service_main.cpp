#include "service_main.h"

#include <libintl.h>
#include <strings.h>

#include <clocale>

#include "brs_server.h"
#include "service_control.h"

namespace {

bool consoleCtrlHandler(uint32_t code) {
    return g_server.OnConsoleControl(code);
}

void serviceCtrlHandler(uint32_t code) {
    g_server.OnControl(code);
}

void serviceMain(int argc, char** argv) {
    g_server.ServiceMain(serviceCtrlHandler, argc, argv);
}

struct ServiceTableEntry {
    const char* name;
    void (*main)(int argc, char** argv);
};

// One service in the table; the dispatcher runs it in this process with main's arguments.
bool startServiceDispatcher(const ServiceTableEntry* table) {
    table[0].main(g_mainArgc, g_mainArgv);
    return true;
}

bool isConsoleRun(int argc, char** argv) {
    if (argc <= 1) return false;
    const char* a = argv[1];
    return (a[0] == '-' || a[0] == '/') && strcasecmp(a + 1, "debug") == 0;
}

}  // namespace

int hxraidsvcMain(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    bindtextdomain("hxraidsvc", "/usr/share/locale/");
    textdomain("hxraidsvc");

    if (isConsoleRun(argc, argv)) {
        installSignalHandlers(consoleCtrlHandler, true);
        g_server.RunInConsole(argc, argv);
        return 0;
    }
    g_mainArgc = argc;
    g_mainArgv = argv;
    installSignalHandlers(consoleCtrlHandler, true);
    const ServiceTableEntry table[] = {{g_server.name(), serviceMain}};
    startServiceDispatcher(table);
    return g_server.exitCode();
}
