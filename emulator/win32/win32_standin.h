#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "request_handler.h"
#include "win32_api.h"

namespace emu::win32 {

// One logical unit in a storage port's inquiry data.
struct InquiryUnit {
    uint8_t pathId = 0;
    uint8_t targetId = 0;
    uint8_t lun = 0;
    bool claimed = false;
    std::vector<uint8_t> inquiry;  // standard inquiry bytes
};

// 36 inquiry bytes of a processor device (type 3) whose vendor text is `vendor`.
InquiryUnit ProcessorUnit(uint8_t pathId, uint8_t targetId, uint8_t lun,
                          const std::string& vendor = "ARK");
// 36 inquiry bytes of a disk (type 0).
InquiryUnit DiskUnit(uint8_t pathId, uint8_t targetId, uint8_t lun);

// A storage-port device interface of the pretend machine and how its driver behaves.
struct StoragePort {
    std::string path;
    RequestHandler* handler = nullptr;  // answers both request paths
    bool answersMiniport = true;
    bool openFails = false;
    // The processor device that answers SCSI pass-through, if any; address as the ports
    // build it (PathId << 16 | TargetId << 8 | Lun).
    std::optional<uint32_t> processorAddress;
    // Inquiry data: built from these buses, or `rawInquiry` verbatim when set.
    std::vector<std::vector<InquiryUnit>> buses;
    std::optional<std::vector<uint8_t>> rawInquiry;
    std::optional<DWORD> inquiryReturned;  // overrides the reported byte count
    bool inquiryFails = false;
};

// A port that only the miniport path reaches.
StoragePort MiniportPort(std::string path, RequestHandler* handler);
// A port that answers only pass-through, through a processor unit at the given address, with
// a disk in front of it on the same bus.
StoragePort ProcessorOnlyPort(std::string path, RequestHandler* handler, uint8_t pathId,
                              uint8_t targetId, uint8_t lun);

// Lays out inquiry data for these buses as the driver would (bus count, bus entries, chained
// unit records).
std::vector<uint8_t> BuildInquiryData(const std::vector<std::vector<InquiryUnit>>& buses);

// A scripted pass-through outcome; the handler still runs and its data is kept unless
// `transferred` overrides the reported length.
struct PassThroughReply {
    uint8_t scsiStatus = 0;
    std::vector<uint8_t> sense;
    std::optional<uint32_t> transferred;
};

enum class Kind { File, Mutex, DeviceInfo };

// The calling thread's last error, shared with the free Win32 functions.
extern thread_local DWORD t_lastError;

// The pretend Windows machine behind the Win32 calls. Constructing one installs it for the
// whole process until it is destroyed, when the one it covered comes back (so machines nest,
// innermost wins); the calls fail with ERROR_INVALID_FUNCTION when none is installed. Thread-safe;
// handlers are called without the machine's lock held.
class Machine {
public:
    Machine();
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    static Machine* Current();

    void AddPort(StoragePort port);

    // Scripting, consumed in order: each miniport attempt takes one error (0 = no error), each
    // mutex wait one result, each pass-through one reply.
    void ScriptMiniportErrors(std::vector<DWORD> errors);
    void ScriptWaitResults(std::vector<DWORD> results);
    void ScriptPassThrough(std::vector<PassThroughReply> replies);
    void SetMiniportReturned(std::optional<DWORD> returned);
    void FailSecurityDescriptor(bool fail);
    void FailCreateMutex(bool fail);
    void FailClassDevs(bool fail);

    // Observations.
    size_t OpenHandles(Kind kind) const;
    size_t Opened(Kind kind) const;
    size_t BadCloses() const;  // closes of a closed or unknown handle
    std::vector<DWORD> Sleeps() const;
    size_t DeviceCalls(DWORD ioctl) const;
    size_t FrameErrors() const;  // requests whose frame or command was malformed
    size_t MutexWaits() const;
    size_t MutexReleases() const;
    size_t BadReleases() const;            // releases by a thread that did not own the mutex
    size_t HeldMutexes() const;            // ownership counts still held by anyone
    size_t UnlockedMiniportCalls() const;  // miniport requests made without the named mutex
    std::string LastMutexName() const;
    bool LastMutexOpenedWithNullDacl() const;  // and not inheritable
    DWORD LastOpenAccess() const;
    DWORD LastOpenShare() const;

    // The Win32 calls, routed here by the free functions.
    HANDLE CreateFile(LPCSTR name, DWORD access, DWORD share, DWORD disposition);
    BOOL Close(HANDLE handle, bool deviceInfo);  // device-info sets close only as such
    BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                         DWORD outSize, LPDWORD returned);
    HANDLE CreateMutex(LPSECURITY_ATTRIBUTES sa, BOOL initialOwner, LPCSTR name);
    DWORD Wait(HANDLE handle);
    BOOL Release(HANDLE handle);
    void Sleep(DWORD ms);
    BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR sd, DWORD revision);
    HDEVINFO GetClassDevs(const GUID* guid, DWORD flags);
    BOOL EnumInterfaces(HDEVINFO set, const GUID* guid, DWORD index,
                        PSP_DEVICE_INTERFACE_DATA data);
    BOOL GetInterfaceDetail(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                            PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD size, PDWORD required);

private:
    struct Object {
        explicit Object(Kind k) : kind(k) {}
        Kind kind;
        bool open = true;
        size_t port = 0;                 // File
        std::string name;                // Mutex
        std::vector<std::string> paths;  // DeviceInfo
    };
    struct NamedMutex {
        std::thread::id owner;
        unsigned count = 0;
    };

    Object* Find(HANDLE handle, Kind kind);
    HANDLE NewHandle(Object object);
    BOOL Miniport(size_t port, uint8_t* frame, DWORD inSize, DWORD outSize, LPDWORD returned);
    BOOL PassThrough(size_t port, uint8_t* frame, DWORD inSize, DWORD outSize, LPDWORD returned);
    BOOL Inquiry(size_t port, uint8_t* out, DWORD outSize, LPDWORD returned);

    Machine* m_previous;
    mutable std::mutex m_lock;
    std::condition_variable m_released;
    std::deque<StoragePort> m_ports;
    std::map<uintptr_t, Object> m_handles;
    uintptr_t m_nextHandle = 0x1000;
    std::map<std::string, NamedMutex> m_mutexes;

    std::deque<DWORD> m_miniportErrors;
    std::deque<DWORD> m_waitResults;
    std::deque<PassThroughReply> m_passThrough;
    std::optional<DWORD> m_miniportReturned;
    bool m_failSecurityDescriptor = false;
    bool m_failCreateMutex = false;
    bool m_failClassDevs = false;

    std::map<Kind, size_t> m_opened;
    std::map<Kind, size_t> m_closed;
    size_t m_badCloses = 0;
    std::vector<DWORD> m_sleeps;
    std::map<DWORD, size_t> m_deviceCalls;
    size_t m_frameErrors = 0;
    size_t m_waits = 0;
    size_t m_releases = 0;
    size_t m_badReleases = 0;
    size_t m_unlockedMiniport = 0;
    std::string m_lastMutexName;
    bool m_lastMutexNullDacl = false;
    DWORD m_lastOpenAccess = 0;
    DWORD m_lastOpenShare = 0;
};

}  // namespace emu::win32
