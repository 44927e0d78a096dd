#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// The stop request of the event log's threads. It is a latch, not a count: once requested it
// stays set until Reset, so every thread sees it however often it looks, and a stop that comes
// before a thread first waits is not lost. Safe from any thread.
class StopSignal {
public:
    void Request() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopped = true;
        }
        m_changed.notify_all();
    }

    void Reset() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopped = false;
    }

    bool Requested() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_stopped;
    }

    // Waits until the real-time clock reaches `deadline` or a stop is requested; true when
    // stopped. The wait is measured on the real-time clock itself, the one "now" is read from.
    bool WaitUntil(std::chrono::system_clock::time_point deadline) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_until(lock, deadline, [this] { return m_stopped; });
    }

    void Wait() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_stopped; });
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stopped = false;
};

// "Now" and the timed waits of the event log's threads, in whole seconds since 1970. Tests put
// a simulated clock here; the service uses RealClock.
class EventClock {
public:
    virtual ~EventClock() = default;

    virtual int64_t Now() = 0;

    // Waits until Now() has reached `deadline` or `stop` is requested; true when stopped.
    virtual bool WaitUntil(StopSignal& stop, int64_t deadline) = 0;
};

// The system's real-time clock. Now and every deadline come from the same clock, so a wait
// that has ended never reads a time before its deadline (as time(), a coarser clock, can).
class RealClock : public EventClock {
public:
    int64_t Now() override {
        using namespace std::chrono;
        return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
    }

    bool WaitUntil(StopSignal& stop, int64_t deadline) override {
        using namespace std::chrono;
        return stop.WaitUntil(system_clock::time_point(seconds(deadline)));
    }
};
