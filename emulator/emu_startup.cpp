#include "emu_startup.h"

#include <cstdio>
#include <cstdlib>

namespace emu {

std::unique_ptr<Machine> LoadMachine(std::string& error) {
    Scenario scenario;
    const char* file = std::getenv(kScenarioVariable);
    if (file && *file) {
        if (!LoadScenarioFile(file, scenario, error)) return nullptr;
    } else if (!ParseScenario(DefaultScenarioText(), scenario, error)) {
        error = "built-in scenario: " + error;
        return nullptr;
    }
    return BuildMachine(scenario);
}

std::unique_ptr<Machine> LoadMachineOrExit() {
    std::string error;
    auto machine = LoadMachine(error);
    if (!machine) {
        std::fprintf(stderr, "scenario error: %s\n", error.c_str());
        std::exit(1);
    }
    return machine;
}

TickThread::TickThread(std::vector<Emulator*> emulators, std::chrono::milliseconds period)
    : m_emulators(std::move(emulators)), m_period(period), m_thread([this]() noexcept { Run(); }) {}

TickThread::~TickThread() {
    Stop();
}

void TickThread::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void TickThread::Run() noexcept {
    std::unique_lock lock(m_mutex);
    while (!m_wake.wait_for(lock, m_period, [this] { return m_stop; })) {
        lock.unlock();
        for (Emulator* e : m_emulators) e->Tick();
        lock.lock();
    }
}

std::unique_ptr<TickThread> StartTicking(Machine& machine) {
    std::vector<Emulator*> emulators;
    for (auto& e : machine.emulators) emulators.push_back(e.get());
    return std::make_unique<TickThread>(std::move(emulators));
}

}  // namespace emu
