#include "loss_report.h"

#include <time.h>

int64_t monotonicSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec);
}

LossReport::LossReport(Clock clock) : m_clock(std::move(clock)) {}

uint64_t LossReport::Lost() {
    const int64_t now = m_clock();
    MutexLock guard(m_lock);
    ++m_pending;
    if (m_reported && now - m_lastReport < kIntervalSeconds) return 0;
    m_reported = true;
    m_lastReport = now;
    uint64_t count = m_pending;
    m_pending = 0;
    return count;
}

uint64_t LossReport::TakePending() {
    MutexLock guard(m_lock);
    uint64_t count = m_pending;
    m_pending = 0;
    return count;
}
