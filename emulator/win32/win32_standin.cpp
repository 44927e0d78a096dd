#include "win32_standin.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace emu::win32 {

thread_local DWORD t_lastError = 0;

namespace {

std::atomic<Machine*> g_machine{nullptr};

constexpr char kSignature[8] = {'A', 'R', 'K', 'C', 'N', 'T', 'L', 'R'};
constexpr size_t kMiniportHeader = 36;
constexpr size_t kSptSize = sizeof(SCSI_PASS_THROUGH);
constexpr uint8_t kCheckCondition = 0x02;
constexpr uint16_t kDaclPresent = 0x0004;
constexpr char kArkMutex[] = "libaProcessorutex";

uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void Store32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

BOOL Fail(DWORD error) {
    t_lastError = error;
    return FALSE;
}

InquiryUnit MakeUnit(uint8_t pathId, uint8_t targetId, uint8_t lun, uint8_t type,
                     const std::string& vendor, const std::string& product) {
    InquiryUnit unit{pathId, targetId, lun, false, std::vector<uint8_t>(36, ' ')};
    unit.inquiry[0] = type;
    unit.inquiry[1] = 0;
    unit.inquiry[2] = 5;
    unit.inquiry[3] = 2;
    unit.inquiry[4] = 31;
    unit.inquiry[5] = unit.inquiry[6] = unit.inquiry[7] = 0;
    std::memcpy(&unit.inquiry[8], vendor.data(), std::min<size_t>(vendor.size(), 8));
    std::memcpy(&unit.inquiry[16], product.data(), std::min<size_t>(product.size(), 16));
    return unit;
}

}  // namespace

InquiryUnit ProcessorUnit(uint8_t pathId, uint8_t targetId, uint8_t lun,
                          const std::string& vendor) {
    return MakeUnit(pathId, targetId, lun, 3, vendor, "Controller");
}

InquiryUnit DiskUnit(uint8_t pathId, uint8_t targetId, uint8_t lun) {
    return MakeUnit(pathId, targetId, lun, 0, "DISKCO", "Disk");
}

StoragePort MiniportPort(std::string path, RequestHandler* handler) {
    StoragePort port;
    port.path = std::move(path);
    port.handler = handler;
    port.buses = {{DiskUnit(0, 0, 0)}};
    return port;
}

StoragePort ProcessorOnlyPort(std::string path, RequestHandler* handler, uint8_t pathId,
                              uint8_t targetId, uint8_t lun) {
    StoragePort port;
    port.path = std::move(path);
    port.handler = handler;
    port.answersMiniport = false;
    port.processorAddress = uint32_t{pathId} << 16 | uint32_t{targetId} << 8 | lun;
    std::vector<std::vector<InquiryUnit>> buses(size_t{pathId} + 1);
    buses[pathId] = {DiskUnit(pathId, 0, 0), ProcessorUnit(pathId, targetId, lun)};
    port.buses = std::move(buses);
    return port;
}

std::vector<uint8_t> BuildInquiryData(const std::vector<std::vector<InquiryUnit>>& buses) {
    const size_t busCount = std::min<size_t>(buses.size(), 255);
    std::vector<uint8_t> data(offsetof(SCSI_ADAPTER_BUS_INFO, BusData) +
                              busCount * sizeof(SCSI_BUS_DATA));
    data[0] = static_cast<uint8_t>(busCount);
    for (size_t b = 0; b < busCount; ++b) {
        const size_t entry = offsetof(SCSI_ADAPTER_BUS_INFO, BusData) + b * sizeof(SCSI_BUS_DATA);
        const auto& units = buses[b];
        data[entry + offsetof(SCSI_BUS_DATA, NumberOfLogicalUnits)] =
            static_cast<uint8_t>(std::min<size_t>(units.size(), 255));
        size_t previous = 0;
        for (size_t u = 0; u < units.size() && u < 255; ++u) {
            data.resize((data.size() + 7) & ~size_t{7});
            const size_t at = data.size();
            const InquiryUnit& unit = units[u];
            data.resize(at + offsetof(SCSI_INQUIRY_DATA, InquiryData) + unit.inquiry.size());
            data[at + offsetof(SCSI_INQUIRY_DATA, PathId)] = unit.pathId;
            data[at + offsetof(SCSI_INQUIRY_DATA, TargetId)] = unit.targetId;
            data[at + offsetof(SCSI_INQUIRY_DATA, Lun)] = unit.lun;
            data[at + offsetof(SCSI_INQUIRY_DATA, DeviceClaimed)] = unit.claimed;
            Store32(&data[at + offsetof(SCSI_INQUIRY_DATA, InquiryDataLength)],
                    static_cast<uint32_t>(unit.inquiry.size()));
            std::copy(unit.inquiry.begin(), unit.inquiry.end(),
                      data.begin() + at + offsetof(SCSI_INQUIRY_DATA, InquiryData));
            if (u == 0) {
                Store32(&data[entry + offsetof(SCSI_BUS_DATA, InquiryDataOffset)],
                        static_cast<uint32_t>(at));
            } else {
                Store32(&data[previous + offsetof(SCSI_INQUIRY_DATA, NextInquiryDataOffset)],
                        static_cast<uint32_t>(at));
            }
            previous = at;
        }
    }
    return data;
}

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

BOOL Machine::DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                              DWORD outSize, LPDWORD returned) {
    size_t port;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        Object* file = Find(device, Kind::File);
        if (file == nullptr) return Fail(ERROR_INVALID_HANDLE);
        port = file->port;
        ++m_deviceCalls[code];
    }
    if (returned == nullptr) return Fail(ERROR_INVALID_PARAMETER);
    *returned = 0;
    if (code == IOCTL_SCSI_GET_INQUIRY_DATA) {
        return Inquiry(port, static_cast<uint8_t*>(out), outSize, returned);
    }
    // The ports send one buffer both ways.
    if (in == nullptr || in != out || inSize != outSize) {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_frameErrors;
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (code == IOCTL_SCSI_MINIPORT) {
        return Miniport(port, static_cast<uint8_t*>(out), inSize, outSize, returned);
    }
    if (code == IOCTL_SCSI_PASS_THROUGH) {
        return PassThrough(port, static_cast<uint8_t*>(out), inSize, outSize, returned);
    }
    return Fail(ERROR_INVALID_FUNCTION);
}

BOOL Machine::Miniport(size_t port, uint8_t* frame, DWORD inSize, DWORD outSize, LPDWORD returned) {
    SRB_IO_CONTROL header{};
    uint32_t inLen = 0, outLen = 0;
    if (inSize >= kMiniportHeader) {
        std::memcpy(&header, frame, sizeof(header));
        inLen = Le32(frame + sizeof(SRB_IO_CONTROL));
        outLen = Le32(frame + sizeof(SRB_IO_CONTROL) + 4);
    }
    const bool frameOk = inSize >= kMiniportHeader && header.HeaderLength == sizeof(header) &&
                         std::memcmp(header.Signature, kSignature, sizeof(kSignature)) == 0 &&
                         header.Timeout == 10 && header.Length == inSize - sizeof(header) &&
                         uint64_t{kMiniportHeader} + inLen + outLen == inSize;
    RequestHandler* handler;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        auto it = m_mutexes.find(kArkMutex);
        if (it == m_mutexes.end() || it->second.count == 0 ||
            it->second.owner != std::this_thread::get_id()) {
            ++m_unlockedMiniport;
        }
        if (!frameOk) {
            ++m_frameErrors;
            return Fail(ERROR_INVALID_PARAMETER);
        }
        if (!m_miniportErrors.empty()) {
            const DWORD error = m_miniportErrors.front();
            m_miniportErrors.pop_front();
            if (error != 0) return Fail(error);
        }
        if (!m_ports[port].answersMiniport || m_ports[port].handler == nullptr) {
            return Fail(ERROR_INVALID_FUNCTION);
        }
        handler = m_ports[port].handler;
    }
    // Never hand the controller a null buffer, even for an empty block.
    std::vector<uint8_t> input(std::max<uint32_t>(inLen, 1));
    std::copy_n(frame + kMiniportHeader, inLen, input.begin());
    std::vector<uint8_t> output(std::max<uint32_t>(outLen, 1));
    uint32_t got = 0;
    if (handler->Handle(header.ControlCode, input.data(), inLen, output.data(), outLen, &got) !=
        0) {
        return Fail(ERROR_IO_DEVICE);
    }
    got = std::min(got, outLen);
    std::copy_n(output.begin(), got, frame + kMiniportHeader + inLen);
    std::lock_guard<std::mutex> lock(m_lock);
    *returned = m_miniportReturned.value_or(static_cast<DWORD>(kMiniportHeader + inLen + got));
    (void)outSize;
    return TRUE;
}

BOOL Machine::PassThrough(size_t port, uint8_t* frame, DWORD inSize, DWORD outSize,
                          LPDWORD returned) {
    SCSI_PASS_THROUGH spt{};
    if (inSize >= kSptSize) std::memcpy(&spt, frame, kSptSize);
    const uint8_t* cdb = spt.Cdb;
    const uint32_t inLen = Le32(cdb + 8), outLen = Le32(cdb + 12);
    const bool frameOk = inSize >= kSptSize && spt.Length == kSptSize && spt.CdbLength == 16 &&
                         spt.DataIn == 3 && spt.SenseInfoLength <= 32 &&
                         uint64_t{spt.SenseInfoOffset} + spt.SenseInfoLength <= inSize &&
                         spt.SenseInfoOffset >= kSptSize && spt.DataBufferOffset >= kSptSize &&
                         uint64_t{spt.DataBufferOffset} + spt.DataTransferLength <= inSize &&
                         cdb[0] == 0x02 && std::memcmp(cdb + 1, "ARK", 3) == 0 &&
                         std::max(inLen, outLen) <= spt.DataTransferLength;
    const uint32_t address = uint32_t{spt.PathId} << 16 | uint32_t{spt.TargetId} << 8 | spt.Lun;
    RequestHandler* handler;
    std::optional<PassThroughReply> scripted;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!frameOk) {
            ++m_frameErrors;
            return Fail(ERROR_INVALID_PARAMETER);
        }
        const StoragePort& p = m_ports[port];
        if (!p.processorAddress || *p.processorAddress != address || p.handler == nullptr) {
            return Fail(ERROR_INVALID_FUNCTION);
        }
        handler = p.handler;
        if (!m_passThrough.empty()) {
            scripted = m_passThrough.front();
            m_passThrough.pop_front();
        }
    }
    uint8_t* data = frame + spt.DataBufferOffset;
    uint8_t* sense = frame + spt.SenseInfoOffset;
    std::vector<uint8_t> input(std::max<uint32_t>(inLen, 1));
    std::copy_n(data, inLen, input.begin());
    std::vector<uint8_t> output(std::max<uint32_t>(outLen, 1));
    uint32_t got = 0;
    const uint32_t code = Le32(cdb + 4);
    uint8_t status = 0;
    if (handler->Handle(code, input.data(), inLen, output.data(), outLen, &got) == 0) {
        got = std::min(got, outLen);
        std::copy_n(output.begin(), got, data);
    } else {
        // Check condition, fixed-format sense: illegal request, invalid field in CDB.
        got = 0;
        status = kCheckCondition;
        const uint8_t failure[] = {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x24, 0};
        std::memcpy(sense, failure, std::min<size_t>(sizeof(failure), spt.SenseInfoLength));
    }
    if (scripted) {
        status = scripted->scsiStatus;
        std::memset(sense, 0, spt.SenseInfoLength);
        std::copy_n(scripted->sense.begin(),
                    std::min<size_t>(scripted->sense.size(), spt.SenseInfoLength), sense);
        if (scripted->transferred) got = *scripted->transferred;
    }
    frame[offsetof(SCSI_PASS_THROUGH, ScsiStatus)] = status;
    Store32(frame + offsetof(SCSI_PASS_THROUGH, DataTransferLength), got);
    *returned = outSize;
    return TRUE;
}

BOOL Machine::Inquiry(size_t port, uint8_t* out, DWORD outSize, LPDWORD returned) {
    std::vector<uint8_t> data;
    std::optional<DWORD> reported;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        const StoragePort& p = m_ports[port];
        if (p.inquiryFails) return Fail(ERROR_INVALID_FUNCTION);
        data = p.rawInquiry ? *p.rawInquiry : BuildInquiryData(p.buses);
        reported = p.inquiryReturned;
    }
    if (out == nullptr) return Fail(ERROR_INVALID_PARAMETER);
    if (data.size() > outSize && !reported) return Fail(ERROR_INSUFFICIENT_BUFFER);
    const size_t n = std::min<size_t>(data.size(), outSize);
    std::copy_n(data.begin(), n, out);
    *returned = reported.value_or(static_cast<DWORD>(n));
    return TRUE;
}

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

HDEVINFO Machine::GetClassDevs(const GUID* guid, DWORD flags) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_failClassDevs || guid == nullptr || !(*guid == GUID_DEVINTERFACE_STORAGEPORT) ||
        (flags & DIGCF_DEVICEINTERFACE) == 0) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    Object set{Kind::DeviceInfo};
    for (const StoragePort& port : m_ports) set.paths.push_back(port.path);
    return NewHandle(std::move(set));
}

BOOL Machine::EnumInterfaces(HDEVINFO set, const GUID* guid, DWORD index,
                             PSP_DEVICE_INTERFACE_DATA data) {
    std::lock_guard<std::mutex> lock(m_lock);
    Object* object = Find(set, Kind::DeviceInfo);
    if (object == nullptr) return Fail(ERROR_INVALID_HANDLE);
    if (guid == nullptr || !(*guid == GUID_DEVINTERFACE_STORAGEPORT) || data == nullptr ||
        data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        return Fail(ERROR_INVALID_USER_BUFFER);
    }
    if (index >= object->paths.size()) return Fail(ERROR_NO_MORE_ITEMS);
    data->InterfaceClassGuid = *guid;
    data->Flags = 1;
    data->Reserved = index + 1;
    return TRUE;
}

BOOL Machine::GetInterfaceDetail(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                 PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD size,
                                 PDWORD required) {
    std::lock_guard<std::mutex> lock(m_lock);
    Object* object = Find(set, Kind::DeviceInfo);
    if (object == nullptr) return Fail(ERROR_INVALID_HANDLE);
    if (data == nullptr || data->Reserved == 0 || data->Reserved > object->paths.size()) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const std::string& path = object->paths[data->Reserved - 1];
    const DWORD need = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) +
                                          path.size() + 1);
    if (required != nullptr) *required = need;
    if (detail == nullptr)
        return Fail(size == 0 ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_USER_BUFFER);
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        return Fail(ERROR_INVALID_USER_BUFFER);
    }
    if (size < need) return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
    return TRUE;
}

}  // namespace emu::win32

// The Win32 calls themselves, routed to the installed machine.
using emu::win32::Machine;

namespace {

Machine* Installed() {
    Machine* machine = Machine::Current();
    if (machine == nullptr) emu::win32::t_lastError = ERROR_INVALID_FUNCTION;
    return machine;
}

}  // namespace

DWORD WINAPI GetLastError() {
    return emu::win32::t_lastError;
}

void WINAPI SetLastError(DWORD error) {
    emu::win32::t_lastError = error;
}

void WINAPI Sleep(DWORD milliseconds) {
    if (Machine* machine = Installed()) machine->Sleep(milliseconds);
}

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES,
                          DWORD disposition, DWORD, HANDLE) {
    Machine* machine = Installed();
    return machine ? machine->CreateFile(name, access, share, disposition) : INVALID_HANDLE_VALUE;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
    Machine* machine = Installed();
    return machine ? machine->Close(handle, false) : FALSE;
}

BOOL WINAPI DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                            DWORD outSize, LPDWORD returned, LPOVERLAPPED) {
    Machine* machine = Installed();
    return machine ? machine->DeviceIoControl(device, code, in, inSize, out, outSize, returned)
                   : FALSE;
}

BOOL WINAPI InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR sd, DWORD revision) {
    Machine* machine = Installed();
    return machine ? machine->InitializeSecurityDescriptor(sd, revision) : FALSE;
}

BOOL WINAPI SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR sd, BOOL present, PACL dacl,
                                      BOOL defaulted) {
    auto* descriptor = static_cast<SECURITY_DESCRIPTOR*>(sd);
    if (descriptor == nullptr || descriptor->Revision != SECURITY_DESCRIPTOR_REVISION) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    constexpr uint16_t kDaclPresent = 0x0004, kDaclDefaulted = 0x0008;
    descriptor->Control =
        static_cast<uint16_t>((descriptor->Control & ~(kDaclPresent | kDaclDefaulted)) |
                              (present ? kDaclPresent : 0) | (defaulted ? kDaclDefaulted : 0));
    descriptor->Dacl = present ? dacl : nullptr;
    return TRUE;
}

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES sa, BOOL initialOwner, LPCSTR name) {
    Machine* machine = Installed();
    return machine ? machine->CreateMutex(sa, initialOwner, name) : nullptr;
}

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD) {
    Machine* machine = Installed();
    return machine ? machine->Wait(handle) : WAIT_FAILED;
}

BOOL WINAPI ReleaseMutex(HANDLE mutex) {
    Machine* machine = Installed();
    return machine ? machine->Release(mutex) : FALSE;
}

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* classGuid, LPCSTR, void*, DWORD flags) {
    Machine* machine = Installed();
    return machine ? machine->GetClassDevs(classGuid, flags) : INVALID_HANDLE_VALUE;
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA, const GUID* guid,
                                        DWORD index, PSP_DEVICE_INTERFACE_DATA data) {
    Machine* machine = Installed();
    return machine ? machine->EnumInterfaces(set, guid, index, data) : FALSE;
}

BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail,
                                             DWORD detailSize, PDWORD requiredSize,
                                             PSP_DEVINFO_DATA) {
    Machine* machine = Installed();
    return machine ? machine->GetInterfaceDetail(set, data, detail, detailSize, requiredSize)
                   : FALSE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO set) {
    Machine* machine = Installed();
    return machine ? machine->Close(set, true) : FALSE;
}
