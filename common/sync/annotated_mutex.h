#pragma once

#include <mutex>

#include "thread_annotations.h"

// std::mutex as a capability the thread-safety analysis knows: members declared
// GUARDED_BY(m_lock) may only be touched while it is held.
class CAPABILITY("mutex") Mutex {
public:
    void lock() ACQUIRE() { m_mutex.lock(); }
    void unlock() RELEASE() { m_mutex.unlock(); }

private:
    std::mutex m_mutex;
};

// Holds a Mutex for its scope, like std::lock_guard.
class SCOPED_CAPABILITY MutexLock {
public:
    explicit MutexLock(Mutex& m) ACQUIRE(m) : m_mutex(m) { m_mutex.lock(); }
    ~MutexLock() RELEASE() { m_mutex.unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    Mutex& m_mutex;
};
