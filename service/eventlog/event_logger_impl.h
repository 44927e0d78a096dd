#pragma once

#include <sqlite3.h>

#include <functional>
#include <string>
#include <system_error>
#include <thread>

#include "annotated_mutex.h"
#include "event_clock.h"
#include "event_logger.h"
#include "loss_report.h"

// One background thread of the event log: runs its body once; the body loops until the stop
// signal.
class WorkerThread {
public:
    // False when the thread could not be created.
    bool Start(std::function<void()> body) {
        try {
            m_thread = std::thread(std::move(body));
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }
    bool Started() const { return m_thread.joinable(); }
    void Join() {
        if (m_thread.joinable()) m_thread.join();
    }

private:
    std::thread m_thread;
};

// The state behind EventLogger, shared with the background threads' code.
struct EventLogger::Impl {
    static constexpr int kPoller = 0;
    static constexpr int kScheduler = 1;
    static constexpr int kMailer = 2;

    sqlite3* db = nullptr;  // serialized connection; null while closed
    std::string dbPath;
    Mutex backupLock;                     // one backup at a time, so copies never interleave
    LossReport losses{monotonicSeconds};  // events Add could not store

    StopSignal stop;                               // the one stop signal of the three threads
    Mutex lifecycle;                               // Start and Stop one at a time
    WorkerThread thread[3] GUARDED_BY(lifecycle);  // poller, scheduler, mailer
};
