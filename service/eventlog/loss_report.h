#pragma once

#include <cstdint>
#include <functional>

#include "annotated_mutex.h"

// Paces the log lines about events that could not be stored: the first loss is reported at
// once, later ones at most once per interval, each report carrying the number lost since the
// previous one. Safe from any thread.
class LossReport {
public:
    using Clock = std::function<int64_t()>;  // seconds of a monotonic clock

    static constexpr int64_t kIntervalSeconds = 60;

    explicit LossReport(Clock clock);

    // One more event lost. Gives the number to report now (this one included), or 0 when the
    // line is folded into a later one.
    uint64_t Lost();
    // The losses not reported yet, now counted as reported.
    uint64_t TakePending();

private:
    Clock m_clock;
    Mutex m_lock;
    bool m_reported GUARDED_BY(m_lock) = false;
    int64_t m_lastReport GUARDED_BY(m_lock) = 0;
    uint64_t m_pending GUARDED_BY(m_lock) = 0;
};

// Seconds of CLOCK_MONOTONIC.
int64_t monotonicSeconds();
