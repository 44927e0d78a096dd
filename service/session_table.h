#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "annotated_mutex.h"
#include "login_throttle.h"

// Milliseconds of a monotonic clock; the session table's only notion of time.
using SessionClock = std::function<uint64_t()>;

// CLOCK_MONOTONIC_COARSE as seconds * 1000 + nanoseconds / 1000000.
uint64_t nowMs();

// 16 random bytes from libuuid read as four 32-bit words in machine order, as 32 lower-case
// hex digits.
std::string newUuidHex();

// The login sessions: at most kMaxSessions ids, each with the time it was last used. Idle
// sessions are not swept; they are dropped when next presented or evicted by a newer login.
// All operations may be called from several threads at once.
class SessionTable {
public:
    static constexpr size_t kMaxSessions = 10;
    static constexpr uint32_t kDefaultTimeoutSeconds = 1200;

    explicit SessionTable(SessionClock clock = nowMs,
                          uint32_t timeoutSeconds = kDefaultTimeoutSeconds);

    // Makes a new session, evicting the least recently used one when the table is full.
    std::string Create();
    // True when the session exists and was used no more than the time-out ago; refreshes it.
    // An expired session is erased.
    bool Check(const std::string& sid);
    // True when the session existed.
    bool Remove(const std::string& sid);
    size_t Count() const;

    // Failed logins per client address, on the same clock.
    LoginThrottle& Throttle() { return m_throttle; }

private:
    SessionClock m_clock;
    uint32_t m_timeoutSeconds;
    mutable Mutex m_lock;
    std::map<std::string, uint64_t> m_sessions GUARDED_BY(m_lock);
    LoginThrottle m_throttle;
};
