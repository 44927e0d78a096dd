#pragma once

#include <memory>
#include <string>
#include <vector>

#include "service_harness.h"

namespace svctest {

// The emulator build of the service in a console run on a free port, with its configuration
// folder and log in a temporary folder.
class ConsoleService {
public:
    explicit ConsoleService(std::vector<std::string> extraArgs = {},
                            const std::map<std::string, std::string>& env = {},
                            const std::string& firstArg = "-debug");

    // Sends SIGINT and waits for the exit; true when it exited with status 0 and its standard
    // error holds no sanitizer report.
    bool stop();

    TempDir dir;
    int port = 0;
    std::unique_ptr<Process> process;
    bool ready = false;

    std::string configDir() const { return dir / "cfg"; }
    std::string log() const { return readFile(dir / "service.log"); }
};

// True when a sanitizer runtime reported a fault in `text`.
bool hasSanitizerReport(const std::string& text);

}  // namespace svctest
