#include "port_win.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "frames_win.h"

std::atomic<HANDLE> g_arkMutex{nullptr};

namespace {

constexpr int kMiniportRetries = 3;
constexpr DWORD kMiniportRetryDelayMs = 500;

// A zeroed request buffer, or null with last error 8 when the size does not fit a DWORD or
// cannot be allocated. Zeroing keeps stale bytes out of short replies and unread sense.
std::unique_ptr<uint8_t[]> AllocateFrame(uint64_t size) {
    if (size > UINT32_MAX) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::unique_ptr<uint8_t[]> frame(new (std::nothrow) uint8_t[size]());
    if (!frame) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return frame;
}

}  // namespace

CDriverPortWin::~CDriverPortWin() {
    if (m_handle != INVALID_HANDLE_VALUE) CloseHandle(m_handle);
}

HANDLE CDriverPortWin::DetachHandle() {
    HANDLE handle = m_handle;
    m_handle = INVALID_HANDLE_VALUE;
    return handle;
}

int CDriverPortWin::Ioctl(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
                          uint32_t* bytesReturned) {
    using namespace arkwin;
    if (in == nullptr && inLen != 0) return -1;
    const uint64_t size = uint64_t{kMiniportData} + inLen + outLen;
    std::unique_ptr<uint8_t[]> frame = AllocateFrame(size);
    if (!frame) return -1;
    uint8_t* f = frame.get();
    PutLe32(f, kSrbHeaderLength);
    std::memcpy(f + kSrbSignature, kMiniportSignature, sizeof(kMiniportSignature));
    PutLe32(f + kSrbTimeout, kMiniportTimeoutSeconds);
    PutLe32(f + kSrbControlCode, code);
    PutLe32(f + kSrbReturnCode, 0);
    PutLe32(f + kSrbLength, static_cast<uint32_t>(size - kSrbHeaderLength));
    PutLe32(f + kMiniportInLen, inLen);
    PutLe32(f + kMiniportOutLen, outLen);
    if (inLen != 0) std::memcpy(f + kMiniportData, in, inLen);

    HANDLE mutex = g_arkMutex.load();
    if (mutex == nullptr) return -1;
    const DWORD wait = WaitForSingleObject(mutex, INFINITE);
    if (wait != WAIT_OBJECT_0) {
        // An abandoned mutex is ours now; give it back so the next caller is not locked out,
        // and fail this request since whatever the last owner guarded may be half done.
        if (wait == WAIT_ABANDONED) ReleaseMutex(mutex);
        return -1;
    }

    const DWORD frameSize = static_cast<DWORD>(size);
    DWORD returned = 0;
    BOOL ok = FALSE;
    for (int attempt = 0;; ++attempt) {
        ok = DeviceIoControl(Handle(), IOCTL_SCSI_MINIPORT, f, frameSize, f, frameSize, &returned,
                             nullptr);
        if (ok || GetLastError() != ERROR_GEN_FAILURE || attempt == kMiniportRetries) break;
        Sleep(kMiniportRetryDelayMs);
    }
    if (!ok) {
        ReleaseMutex(mutex);
        return -1;
    }

    if (out != nullptr && outLen != 0) std::memcpy(out, f + kMiniportData + inLen, outLen);
    if (bytesReturned != nullptr) {
        const uint64_t header = uint64_t{kMiniportData} + inLen;
        *bytesReturned = returned > header ? static_cast<uint32_t>(returned - header) : 0;
    }
    ReleaseMutex(mutex);
    return 0;
}

bool PassThroughSucceeded(uint8_t scsiStatus, const uint8_t* sense) {
    return arkVendorCommandCompleted(scsiStatus, sense, arkwin::kSptSenseSize);
}

int CProcessorPort::Ioctl(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
                          uint32_t* bytesReturned) {
    using namespace arkwin;
    if (in == nullptr && inLen != 0) return -1;
    const uint32_t dataLen = std::max(inLen, outLen);
    const uint64_t size = uint64_t{kSptData} + dataLen;
    std::unique_ptr<uint8_t[]> frame = AllocateFrame(size);
    if (!frame) return -1;
    uint8_t* f = frame.get();
    PutLe16(f + kSptLength, kSptHeaderSize);
    f[kSptPathId] = static_cast<uint8_t>(m_address >> 16);
    f[kSptTargetId] = static_cast<uint8_t>(m_address >> 8);
    f[kSptLun] = static_cast<uint8_t>(m_address);
    f[kSptCdbLength] = kVendorCdbLength;
    f[kSptSenseInfoLength] = kSptSenseSize;
    f[kSptDataIn] = kSptDataBothWays;
    PutLe32(f + kSptDataTransferLength, dataLen);
    PutLe32(f + kSptTimeOutValue, kSptTimeoutSeconds);
    PutLe64(f + kSptDataBufferOffset, kSptData);
    PutLe32(f + kSptSenseInfoOffset, kSptSense);
    arkBuildVendorCdb(f + kSptCdb, code, inLen, outLen);
    if (inLen != 0) std::memcpy(f + kSptData, in, inLen);

    const DWORD frameSize = static_cast<DWORD>(size);
    DWORD returned = 0;
    if (!DeviceIoControl(Handle(), IOCTL_SCSI_PASS_THROUGH, f, frameSize, f, frameSize, &returned,
                         nullptr)) {
        return -1;
    }
    if (!PassThroughSucceeded(f[kSptScsiStatus], f + kSptSense)) return -1;

    const uint32_t n = std::min(GetLe32(f + kSptDataTransferLength), outLen);
    if (bytesReturned != nullptr) *bytesReturned = n;
    if (out != nullptr && n != 0) std::memcpy(out, f + kSptData, n);
    return 0;
}
