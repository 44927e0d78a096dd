#include "session_table.h"

#include <time.h>
#include <uuid/uuid.h>

#include <cstdio>
#include <cstring>

uint64_t nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
}

std::string newUuidHex() {
    uuid_t id;
    uuid_generate(id);
    uint32_t words[4];
    static_assert(sizeof(words) == sizeof(uuid_t));
    std::memcpy(words, id, sizeof(words));
    char text[33];
    std::snprintf(text, sizeof(text), "%08x%08x%08x%08x", words[0], words[1], words[2], words[3]);
    return text;
}

SessionTable::SessionTable(SessionClock clock, uint32_t timeoutSeconds)
    : m_clock(std::move(clock)), m_timeoutSeconds(timeoutSeconds), m_throttle(m_clock) {}

std::string SessionTable::Create() {
    MutexLock guard(m_lock);
    if (m_sessions.size() >= kMaxSessions) {
        // Key order decides a tie: only a strictly older session replaces the candidate.
        auto oldest = m_sessions.begin();
        for (auto it = m_sessions.begin(); it != m_sessions.end(); ++it) {
            if (it->second < oldest->second) oldest = it;
        }
        m_sessions.erase(oldest);
    }
    std::string sid;
    do {
        sid = newUuidHex();
    } while (m_sessions.count(sid) != 0);
    m_sessions[sid] = m_clock();
    return sid;
}

bool SessionTable::Check(const std::string& sid) {
    MutexLock guard(m_lock);
    auto it = m_sessions.find(sid);
    if (it == m_sessions.end()) return false;
    uint64_t now = m_clock();
    if (it->second + uint64_t{m_timeoutSeconds} * 1000 >= now) {
        it->second = now;
        return true;
    }
    m_sessions.erase(it);
    return false;
}

bool SessionTable::Remove(const std::string& sid) {
    MutexLock guard(m_lock);
    return m_sessions.erase(sid) != 0;
}

size_t SessionTable::Count() const {
    MutexLock guard(m_lock);
    return m_sessions.size();
}
