// Synchronisation objects: named mutexes, waits, sleeps and the security descriptor they take.

#include "standin_util.h"
#include "win32_standin.h"

namespace emu::win32 {
namespace {

constexpr uint16_t kDaclPresent = 0x0004;

}  // namespace

HANDLE Machine::CreateMutex(LPSECURITY_ATTRIBUTES sa, BOOL initialOwner, LPCSTR name) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_failCreateMutex || name == nullptr) {
        Fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    m_lastMutexName = name;
    m_lastMutexNullDacl = false;
    if (sa != nullptr && sa->nLength == sizeof(SECURITY_ATTRIBUTES) && !sa->bInheritHandle &&
        sa->lpSecurityDescriptor != nullptr) {
        const auto* sd = static_cast<const SECURITY_DESCRIPTOR*>(sa->lpSecurityDescriptor);
        m_lastMutexNullDacl = sd->Revision == SECURITY_DESCRIPTOR_REVISION &&
                              (sd->Control & kDaclPresent) != 0 && sd->Dacl == nullptr;
    }
    NamedMutex& mutex = m_mutexes[name];
    if (initialOwner && mutex.count == 0) {
        mutex.owner = std::this_thread::get_id();
        mutex.count = 1;
    }
    Object object{Kind::Mutex};
    object.name = name;
    t_lastError = 0;
    return NewHandle(std::move(object));
}

DWORD Machine::Wait(HANDLE handle) {
    std::unique_lock<std::mutex> lock(m_lock);
    ++m_waits;
    Object* object = Find(handle, Kind::Mutex);
    if (object == nullptr) {
        t_lastError = ERROR_INVALID_HANDLE;
        return WAIT_FAILED;
    }
    NamedMutex& mutex = m_mutexes[object->name];
    const auto self = std::this_thread::get_id();
    DWORD result = WAIT_OBJECT_0;
    if (!m_waitResults.empty()) {
        result = m_waitResults.front();
        m_waitResults.pop_front();
        if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
            if (result == WAIT_FAILED) t_lastError = ERROR_INVALID_HANDLE;
            return result;
        }
    }
    // An abandoned mutex passes to the waiter just like a released one.
    m_released.wait(lock, [&] { return mutex.count == 0 || mutex.owner == self; });
    mutex.owner = self;
    ++mutex.count;
    return result;
}

BOOL Machine::Release(HANDLE handle) {
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_releases;
    Object* object = Find(handle, Kind::Mutex);
    if (object == nullptr) return Fail(ERROR_INVALID_HANDLE);
    NamedMutex& mutex = m_mutexes[object->name];
    if (mutex.count == 0 || mutex.owner != std::this_thread::get_id()) {
        ++m_badReleases;
        return Fail(ERROR_NOT_OWNER);
    }
    if (--mutex.count == 0) {
        mutex.owner = std::thread::id();
        m_released.notify_all();
    }
    return TRUE;
}

void Machine::Sleep(DWORD ms) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_sleeps.push_back(ms);
}

BOOL Machine::InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR sd, DWORD revision) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_failSecurityDescriptor) return Fail(ERROR_INVALID_PARAMETER);
    if (sd == nullptr || revision != SECURITY_DESCRIPTOR_REVISION) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    auto* descriptor = static_cast<SECURITY_DESCRIPTOR*>(sd);
    *descriptor = SECURITY_DESCRIPTOR{};
    descriptor->Revision = static_cast<uint8_t>(revision);
    return TRUE;
}

}  // namespace emu::win32
