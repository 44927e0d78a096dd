#pragma once

// Test helper: a simulated clock for the event log's threads, so hours pass in milliseconds.
//
// The clock knows how many threads use it. Time moves only when all of them wait: it jumps to
// the earliest deadline and releases that one thread, so the threads take turns in deadline
// order, one at a time, as if on one real timeline. A deadline past `end` parks its thread
// until the stop signal; WaitParked tells the test when every thread got there.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <utility>

#include "event_clock.h"

class FakeClock : public EventClock {
public:
    FakeClock(int64_t start, int64_t end, int threads = 1)
        : m_now(start), m_end(end), m_threads(threads) {}

    // After time has moved, reads give `seconds` less until the thread waits again, as a coarse
    // clock that lags the timed wait would.
    void SetReadLag(int64_t seconds) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lag = seconds;
    }

    int64_t Now() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lagging ? m_now - m_lag : m_now;
    }

    bool WaitUntil(StopSignal& stop, int64_t deadline) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_lagging = false;
        const uint64_t ticket = m_nextTicket++;
        m_waiting.emplace(deadline, ticket);
        m_changed.notify_all();
        bool parked = false;
        for (;;) {
            if (stop.Requested()) {
                m_waiting.erase({deadline, ticket});
                return true;
            }
            const bool allWaiting = static_cast<int>(m_waiting.size()) == m_threads;
            const bool first = *m_waiting.begin() == std::make_pair(deadline, ticket);
            if (allWaiting && first && deadline <= m_end) {
                m_waiting.erase(m_waiting.begin());
                if (deadline > m_now) {
                    m_now = deadline;
                    m_lagging = m_lag != 0;
                }
                ++m_waits;
                return false;
            }
            if (allWaiting && m_waiting.begin()->first > m_end && !parked) {
                parked = true;
                m_parked = true;
                m_changed.notify_all();
            }
            // The stop signal has its own condition; look at it now and then.
            m_changed.wait_for(lock, std::chrono::milliseconds(5));
        }
    }

    // Blocks until every thread waits for a time past the end.
    void WaitParked() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] { return m_parked; });
    }

    int64_t Waits() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_waits;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int64_t m_now;
    const int64_t m_end;
    const int m_threads;
    int64_t m_lag = 0;
    bool m_lagging = false;
    bool m_parked = false;
    int64_t m_waits = 0;
    uint64_t m_nextTicket = 0;
    std::set<std::pair<int64_t, uint64_t>> m_waiting;  // (deadline, arrival) of waiters
};
