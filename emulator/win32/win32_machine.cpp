// The pretend machine: installation, scripting, observations and the handle table.

#include <atomic>

#include "standin_util.h"
#include "win32_standin.h"

namespace emu::win32 {

thread_local DWORD t_lastError = 0;

namespace {

std::atomic<Machine*> g_machine{nullptr};

}  // namespace

Machine::Machine() : m_previous(g_machine.exchange(this)) {}

Machine::~Machine() {
    g_machine.store(m_previous);
}

Machine* Machine::Current() {
    return g_machine.load();
}

void Machine::AddPort(StoragePort port) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_ports.push_back(std::move(port));
}

void Machine::ScriptMiniportErrors(std::vector<DWORD> errors) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_miniportErrors.assign(errors.begin(), errors.end());
}

void Machine::ScriptWaitResults(std::vector<DWORD> results) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_waitResults.assign(results.begin(), results.end());
}

void Machine::ScriptPassThrough(std::vector<PassThroughReply> replies) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_passThrough.assign(replies.begin(), replies.end());
}

void Machine::SetMiniportReturned(std::optional<DWORD> returned) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_miniportReturned = returned;
}

void Machine::FailSecurityDescriptor(bool fail) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_failSecurityDescriptor = fail;
}

void Machine::FailCreateMutex(bool fail) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_failCreateMutex = fail;
}

void Machine::FailClassDevs(bool fail) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_failClassDevs = fail;
}

size_t Machine::OpenHandles(Kind kind) const {
    std::lock_guard<std::mutex> lock(m_lock);
    size_t n = 0;
    for (const auto& [value, object] : m_handles) n += object.open && object.kind == kind;
    return n;
}

size_t Machine::Opened(Kind kind) const {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_opened.find(kind);
    return it == m_opened.end() ? 0 : it->second;
}

size_t Machine::BadCloses() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_badCloses;
}

std::vector<DWORD> Machine::Sleeps() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_sleeps;
}

size_t Machine::DeviceCalls(DWORD ioctl) const {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_deviceCalls.find(ioctl);
    return it == m_deviceCalls.end() ? 0 : it->second;
}

size_t Machine::FrameErrors() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_frameErrors;
}

size_t Machine::MutexWaits() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_waits;
}

size_t Machine::MutexReleases() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_releases;
}

size_t Machine::BadReleases() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_badReleases;
}

size_t Machine::HeldMutexes() const {
    std::lock_guard<std::mutex> lock(m_lock);
    size_t n = 0;
    for (const auto& [name, mutex] : m_mutexes) n += mutex.count;
    return n;
}

size_t Machine::UnlockedMiniportCalls() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_unlockedMiniport;
}

std::string Machine::LastMutexName() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_lastMutexName;
}

bool Machine::LastMutexOpenedWithNullDacl() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_lastMutexNullDacl;
}

DWORD Machine::LastOpenAccess() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_lastOpenAccess;
}

DWORD Machine::LastOpenShare() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_lastOpenShare;
}

Machine::Object* Machine::Find(HANDLE handle, Kind kind) {
    auto it = m_handles.find(reinterpret_cast<uintptr_t>(handle));
    if (it == m_handles.end() || !it->second.open || it->second.kind != kind) return nullptr;
    return &it->second;
}

HANDLE Machine::NewHandle(Object object) {
    const uintptr_t value = m_nextHandle;
    m_nextHandle += 4;
    ++m_opened[object.kind];
    m_handles.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the order of Win32's CreateFileA
HANDLE Machine::CreateFile(LPCSTR name, DWORD access, DWORD share, DWORD disposition) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_lastOpenAccess = access;
    m_lastOpenShare = share;
    if (name == nullptr || disposition != OPEN_EXISTING) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    for (size_t i = 0; i < m_ports.size(); ++i) {
        if (m_ports[i].path != name) continue;
        if (m_ports[i].openFails) break;
        Object file{Kind::File};
        file.port = i;
        return NewHandle(std::move(file));
    }
    Fail(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}

BOOL Machine::Close(HANDLE handle, bool deviceInfo) {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_handles.find(reinterpret_cast<uintptr_t>(handle));
    if (it == m_handles.end() || !it->second.open ||
        (it->second.kind == Kind::DeviceInfo) != deviceInfo) {
        ++m_badCloses;
        return Fail(ERROR_INVALID_HANDLE);
    }
    it->second.open = false;
    ++m_closed[it->second.kind];
    return TRUE;
}

}  // namespace emu::win32
