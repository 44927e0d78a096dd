#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <string>
#include <unordered_map>

#include "annotated_mutex.h"

// Failed logins per client address. After kFreeFailures failures in a row an address is locked:
// its logins are refused unchecked until the delay has passed. The delay starts at the first
// delay and doubles with every further failure, up to the longest delay. A refused login is not
// a failure and does not lengthen the lock. A successful login clears the address. The table
// keeps at most `capacity` addresses; the one used least recently is dropped for a new one.
//
// It also paces the log lines about failures: at most one per address per report interval,
// each telling how many failures were folded into it.
// All operations may be called from several threads at once.
class LoginThrottle {
public:
    using Clock = std::function<uint64_t()>;  // milliseconds of a monotonic clock

    static constexpr uint32_t kFreeFailures = 5;
    static constexpr uint64_t kFirstDelayMs = 1000;
    static constexpr uint64_t kLongestDelayMs = 5 * 60 * 1000;
    static constexpr uint64_t kReportIntervalMs = 1000;
    static constexpr size_t kCapacity = 4096;

    // What the caller should log about a failed or refused login.
    struct Report {
        bool due = false;     // log a line now
        uint32_t folded = 0;  // failures of this address not logged since its last line
    };

    explicit LoginThrottle(Clock clock, size_t capacity = kCapacity);

    // Sets the first delay; the longest is the same multiple of it as by default. Called before
    // any login (the test build shortens or lengthens the delays).
    void SetFirstDelay(uint64_t firstDelayMs);

    // True when a login from `address` is to be refused unchecked now.
    bool Locked(const std::string& address);
    // Before a login is checked: false when it is to be refused unchecked, because the address
    // is locked or because a check that could lock it is still running (the workers would
    // otherwise check a burst of guesses side by side). A true answer is followed by Failed or
    // Succeeded for the address.
    bool Admit(const std::string& address);
    // A wrong user or password from `address`.
    Report Failed(const std::string& address);
    // A login refused because the address is locked.
    Report Refused(const std::string& address);
    // A good login: the address starts afresh. Gives the failures never logged.
    uint32_t Succeeded(const std::string& address);

    size_t Count() const;

private:
    struct Entry {
        std::string address;
        uint32_t failures = 0;
        uint64_t lockedUntil = 0;
        uint64_t lastReport = 0;
        bool reported = false;
        uint32_t folded = 0;
        bool checking = false;  // admitted with one free failure left, not yet answered
    };
    using Order = std::list<Entry>;  // most recently used first

    Entry& touch(const std::string& address, uint64_t now) REQUIRES(m_lock);
    Report report(Entry& entry, uint64_t now) REQUIRES(m_lock);

    Clock m_clock;
    size_t m_capacity;
    mutable Mutex m_lock;
    uint64_t m_firstDelay GUARDED_BY(m_lock) = kFirstDelayMs;
    uint64_t m_longestDelay GUARDED_BY(m_lock) = kLongestDelayMs;
    Order m_order GUARDED_BY(m_lock);
    std::unordered_map<std::string, Order::iterator> m_index GUARDED_BY(m_lock);
};
