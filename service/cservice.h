#pragma once

#include <cstdint>

// Status record in the layout of a service-control status.
struct SERVICE_STATUS {
    uint32_t serviceType;
    uint32_t currentState;
    uint32_t controlsAccepted;
    uint32_t win32ExitCode;
    uint32_t dwServiceSpecificExitCode;
    uint32_t checkPoint;
    uint32_t waitHint;
};

enum ServiceState : uint32_t {
    SERVICE_STOPPED = 1,
    SERVICE_START_PENDING = 2,
    SERVICE_STOP_PENDING = 3,
    SERVICE_RUNNING = 4,
    SERVICE_CONTINUE_PENDING = 5,
    SERVICE_PAUSE_PENDING = 6,
    SERVICE_PAUSED = 7,
};

// Control codes of OnControl; console controls 0-3 all mean "stop" to OnConsoleControl.
enum ServiceControl : uint32_t {
    SERVICE_CONTROL_STOP = 0,
    SERVICE_CONTROL_PAUSE = 1,
    SERVICE_CONTROL_CONTINUE = 2,
    SERVICE_CONTROL_INTERROGATE = 3,
};

using ServiceStatusHandle = uintptr_t;
using ServiceCtrlHandler = void (*)(uint32_t code);

// The daemon shell: a console run in the foreground, or a detached run in which the process
// splits into a watchdog parent and a working child that the parent restarts when it dies by a
// signal. Derived classes supply Init, Run and Stop. Not thread-safe: one object per process,
// driven from the main thread and the signal path.
class CService {
public:
    CService(const char* name, const char* displayName);
    virtual ~CService() = default;

    virtual bool Init(int argc, char** argv);
    virtual void Run(int argc, char** argv) = 0;
    // Stops on codes 0-3 when running; always true.
    virtual bool OnConsoleControl(uint32_t code);
    virtual void RunInConsole(int argc, char** argv);
    virtual void Stop() = 0;
    virtual void Pause() {}
    virtual void Continue() {}
    virtual void OnCustomControl(uint32_t /*code*/) {}

    void ServiceMain(ServiceCtrlHandler handler, int argc, char** argv);
    void OnControl(uint32_t code);
    bool ReportStatus(uint32_t state, uint32_t win32ExitCode, uint32_t waitHint);
    int exitCode() const { return static_cast<int>(m_status.dwServiceSpecificExitCode); }

    const char* name() const { return m_name; }
    bool consoleMode() const { return m_consoleMode != 0; }
    uint32_t currentState() const { return m_status.currentState; }
    // How often the watchdog has started the service again; 0 in the first child and in a
    // console run.
    unsigned restartCount() const { return m_restarts; }

protected:
    void setServiceSpecificExitCode(uint32_t code) { m_status.dwServiceSpecificExitCode = code; }

private:
    // The watchdog: restarts the child whenever it dies by a signal; returns in the child (to
    // run the service) with true, in the watchdog with false when it is done.
    bool superviseChildren(int argc, char** argv);
    void runChild(int argc, char** argv);

    char m_name[20];
    char m_displayName[32];
    int m_consoleMode = 0;
    uint32_t m_waitHint = 10000;
    uint32_t m_controlsAccepted = 0;
    ServiceStatusHandle m_statusHandle = 0;
    SERVICE_STATUS m_status{};
    unsigned m_restarts = 0;
};
