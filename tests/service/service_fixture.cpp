#include "service_fixture.h"

#include <signal.h>
#include <sys/wait.h>

namespace svctest {

bool hasSanitizerReport(const std::string& text) {
    for (const char* mark :
         {"ThreadSanitizer", "AddressSanitizer", "LeakSanitizer", "runtime error:"}) {
        if (text.find(mark) != std::string::npos) return true;
    }
    return false;
}

ConsoleService::ConsoleService(std::vector<std::string> extraArgs,
                               const std::map<std::string, std::string>& env,
                               const std::string& firstArg) {
    port = freePort();
    std::vector<std::string> args{firstArg,    "-port", std::to_string(port), "-config",
                                  dir / "cfg", "-log",  dir / "service.log"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    process = std::make_unique<Process>(HXRAIDSVC_EMU, args, dir.path(), env);
    ready = waitForHttp(port, 60);
}

bool ConsoleService::stop() {
    process->signal(SIGINT);
    int status = 0;
    if (!process->wait(30, status)) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && !hasSanitizerReport(process->err());
}

}  // namespace svctest
