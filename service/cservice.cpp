#include "cservice.h"

#include <errno.h>
#include <signal.h>
#include <sys/wait.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdio>

#include "service_control.h"

namespace {

// Counts every pending-state report of the process.
uint32_t g_checkPoint = 0;

constexpr unsigned kRestartDelaySeconds = 2;

}  // namespace

CService::CService(const char* name, const char* displayName) {
    std::snprintf(m_name, sizeof(m_name), "%s", name);
    std::snprintf(m_displayName, sizeof(m_displayName), "%s", displayName);
    m_status.currentState = SERVICE_STOPPED;
}

bool CService::Init(int /*argc*/, char** /*argv*/) {
    return true;
}

bool CService::OnConsoleControl(uint32_t code) {
    if (code <= SERVICE_CONTROL_INTERROGATE && m_status.currentState == SERVICE_RUNNING) Stop();
    return true;
}

void CService::RunInConsole(int argc, char** argv) {
    m_consoleMode = 1;
    if (Init(argc, argv)) {
        ReportStatus(SERVICE_RUNNING, 0, 0);
        Run(argc, argv);
    } else {
        std::fprintf(stderr, "Init failed. dwServiceSpecificExitCode=%d\n",
                     static_cast<int>(m_status.dwServiceSpecificExitCode));
    }
}

void CService::runChild(int argc, char** argv) {
    resetSignal(SIGCHLD);
    // The watchdog reset SIGTERM before forking again; the child must stay stoppable.
    reinstallSignalHandlers();
    if (ReportStatus(SERVICE_RUNNING, 0, 0)) Run(argc, argv);
}

bool CService::superviseChildren(int argc, char** argv) {
    pid_t pid = fork();
    for (;;) {
        if (pid < 1) {
            runChild(argc, argv);
            return true;
        }
        int status = 0;
        for (;;) {
            syslog(LOG_INFO, "self-monitoring on pid %d\n", static_cast<int>(pid));
            resetSignal(SIGTERM);
            if (waitpid(pid, &status, 0) == pid) break;
            if (errno == ECHILD) return false;  // nothing left to watch
            sleep(kRestartDelaySeconds);
        }
        if (!WIFSIGNALED(status)) {
            syslog(LOG_INFO, "child terminated normally with status %d, exit\n",
                   WIFEXITED(status) ? WEXITSTATUS(status) : 0);
            return false;
        }
        syslog(LOG_INFO, "child terminated abnormally with signal %d, restarting\n",
               WTERMSIG(status));
        sleep(kRestartDelaySeconds);
        ++m_restarts;
        pid = fork();
    }
}

void CService::ServiceMain(ServiceCtrlHandler handler, int argc, char** argv) {
    m_statusHandle = registerServiceCtrlHandler(m_name, handler);
    if (m_statusHandle == 0) return;
    if (ReportStatus(SERVICE_START_PENDING, 0, 3000)) {
        if (!Init(argc, argv)) {
            if (m_status.dwServiceSpecificExitCode == 0) m_status.dwServiceSpecificExitCode = 255;
        } else if (daemon(0, 0) == 0) {
            installChildSignalHandler();
            superviseChildren(argc, argv);
        }
    }
    ReportStatus(SERVICE_STOPPED, m_status.dwServiceSpecificExitCode != 0 ? 1 : 0, 0);
}

void CService::OnControl(uint32_t code) {
    switch (code) {
        case SERVICE_CONTROL_STOP:
            ReportStatus(SERVICE_STOP_PENDING, 0, m_waitHint);
            Stop();
            break;
        case SERVICE_CONTROL_PAUSE:
            ReportStatus(SERVICE_PAUSE_PENDING, 0, m_waitHint);
            Pause();
            break;
        case SERVICE_CONTROL_CONTINUE:
            ReportStatus(SERVICE_CONTINUE_PENDING, 0, m_waitHint);
            Continue();
            break;
        case SERVICE_CONTROL_INTERROGATE:
            ReportStatus(m_status.currentState, 0, 0);
            break;
        default:
            OnCustomControl(code);
            break;
    }
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the service-control status order
bool CService::ReportStatus(uint32_t state, uint32_t win32ExitCode, uint32_t waitHint) {
    if (state == SERVICE_RUNNING || state == SERVICE_STOPPED || state == SERVICE_PAUSED) {
        m_status.controlsAccepted = m_controlsAccepted;
        m_status.checkPoint = 0;
    } else {
        m_status.controlsAccepted = 0;
        m_status.checkPoint = g_checkPoint++;
    }
    m_status.currentState = state;
    m_status.win32ExitCode = win32ExitCode;
    m_status.waitHint = waitHint;
    if (m_consoleMode) return true;
    return setServiceStatus(m_statusHandle, m_status);
}
