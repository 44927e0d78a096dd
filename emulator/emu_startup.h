#pragma once

// Start-up of the -emu programs: the machine they emulate and the clock that drives it.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "scenario.h"

namespace emu {

// The environment variable naming a scenario file; unset or empty selects the built-in one.
constexpr const char* kScenarioVariable = "ARK_EMULATOR_SCENARIO";

// Loads the machine of ARK_EMULATOR_SCENARIO, else the built-in default. A file that is
// missing or invalid prints "scenario error: <file>: <field>: <problem>" to stderr and exits
// the process with status 1.
std::unique_ptr<Machine> LoadMachineOrExit();

// The same without exiting: null with the message in `error`.
std::unique_ptr<Machine> LoadMachine(std::string& error);

// Calls Tick on each emulator once per period on a thread of its own until stopped or
// destroyed.
class TickThread {
public:
    explicit TickThread(std::vector<Emulator*> emulators,
                        std::chrono::milliseconds period = std::chrono::seconds(1));
    ~TickThread();
    TickThread(const TickThread&) = delete;
    TickThread& operator=(const TickThread&) = delete;

    // Ends the thread and waits for it; safe to call more than once.
    void Stop();

private:
    void Run() noexcept;

    std::vector<Emulator*> m_emulators;
    std::chrono::milliseconds m_period;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};

// Starts ticking every emulator of the machine once a second.
std::unique_ptr<TickThread> StartTicking(Machine& machine);

}  // namespace emu
