#include "login_throttle.h"

#include <algorithm>

LoginThrottle::LoginThrottle(Clock clock, size_t capacity)
    : m_clock(std::move(clock)), m_capacity(std::max<size_t>(capacity, 1)) {}

void LoginThrottle::SetFirstDelay(uint64_t firstDelayMs) {
    MutexLock guard(m_lock);
    m_firstDelay = std::max<uint64_t>(firstDelayMs, 1);
    m_longestDelay = m_firstDelay * (kLongestDelayMs / kFirstDelayMs);
}

LoginThrottle::Entry& LoginThrottle::touch(const std::string& address, uint64_t now) {
    auto found = m_index.find(address);
    if (found != m_index.end()) {
        m_order.splice(m_order.begin(), m_order, found->second);
        return m_order.front();
    }
    if (m_order.size() >= m_capacity) {
        m_index.erase(m_order.back().address);
        m_order.pop_back();
    }
    m_order.push_front(Entry{});
    Entry& entry = m_order.front();
    entry.address = address;
    entry.lastReport = now;
    m_index.emplace(address, m_order.begin());
    return entry;
}

LoginThrottle::Report LoginThrottle::report(Entry& entry, uint64_t now) {
    Report out;
    if (entry.reported && now - entry.lastReport < kReportIntervalMs) {
        ++entry.folded;
        return out;
    }
    out.due = true;
    out.folded = entry.folded;
    entry.folded = 0;
    entry.reported = true;
    entry.lastReport = now;
    return out;
}

bool LoginThrottle::Locked(const std::string& address) {
    const uint64_t now = m_clock();
    MutexLock guard(m_lock);
    auto found = m_index.find(address);
    return found != m_index.end() && now < found->second->lockedUntil;
}

bool LoginThrottle::Admit(const std::string& address) {
    const uint64_t now = m_clock();
    MutexLock guard(m_lock);
    auto found = m_index.find(address);
    if (found == m_index.end()) return true;
    Entry& entry = *found->second;
    if (now < entry.lockedUntil) return false;
    if (entry.failures + 1 < kFreeFailures) return true;
    if (entry.checking) return false;
    entry.checking = true;
    return true;
}

LoginThrottle::Report LoginThrottle::Failed(const std::string& address) {
    const uint64_t now = m_clock();
    MutexLock guard(m_lock);
    Entry& entry = touch(address, now);
    entry.checking = false;
    if (entry.failures < UINT32_MAX) ++entry.failures;
    if (entry.failures >= kFreeFailures) {
        uint64_t delay = m_firstDelay;
        for (uint32_t n = kFreeFailures; n < entry.failures && delay < m_longestDelay; ++n) {
            delay *= 2;
        }
        entry.lockedUntil = now + std::min(delay, m_longestDelay);
    }
    return report(entry, now);
}

LoginThrottle::Report LoginThrottle::Refused(const std::string& address) {
    const uint64_t now = m_clock();
    MutexLock guard(m_lock);
    return report(touch(address, now), now);
}

uint32_t LoginThrottle::Succeeded(const std::string& address) {
    MutexLock guard(m_lock);
    auto found = m_index.find(address);
    if (found == m_index.end()) return 0;
    uint32_t folded = found->second->folded;
    m_order.erase(found->second);
    m_index.erase(found);
    return folded;
}

size_t LoginThrottle::Count() const {
    MutexLock guard(m_lock);
    return m_order.size();
}
