#include "discovery_win.h"

#include <cstddef>
#include <memory>
#include <new>

#include "ark.h"
#include "domain.h"
#include "frames_win.h"
#include "inquiry_win.h"
#include "port_win.h"

namespace {

// Opens (or creates) the named mutex with a NULL DACL, so processes of any account can share
// it. Null when the descriptor cannot be built or the mutex cannot be opened.
HANDLE OpenArkMutex() {
    SECURITY_DESCRIPTOR sd;
    if (!InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION)) return nullptr;
    if (!SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE)) return nullptr;
    SECURITY_ATTRIBUTES sa;
    sa.nLength = sizeof(sa);
    sa.lpSecurityDescriptor = &sd;
    sa.bInheritHandle = FALSE;
    return CreateMutexA(&sa, FALSE, kArkMutexName);
}

void ProbeInterface(HDEVINFO devs, SP_DEVICE_INTERFACE_DATA* iface) {
    DWORD required = 0;
    if (SetupDiGetDeviceInterfaceDetailA(devs, iface, nullptr, 0, &required, nullptr) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return;
    }
    if (required <= offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath)) return;
    // One spare zero byte keeps the path terminated even if the reported size left none.
    std::unique_ptr<uint8_t[]> storage(new (std::nothrow) uint8_t[size_t{required} + 1]());
    if (!storage) return;
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.get());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (SetupDiGetDeviceInterfaceDetailA(devs, iface, detail, required, nullptr, nullptr)) {
        ProbeStoragePort(detail->DevicePath);
    }
}

}  // namespace

void ProbeStoragePort(const char* path) {
    HANDLE handle =
        CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return;

    auto* miniport = new (std::nothrow) CDriverPortWin(handle, path);
    if (miniport == nullptr) {
        CloseHandle(handle);
        return;
    }
    if (AttachPort(miniport)) return;
    miniport->DetachHandle();
    delete miniport;

    std::unique_ptr<uint8_t[]> inquiry(new (std::nothrow) uint8_t[arkwin::kInquiryBufferSize]());
    DWORD returned = 0;
    uint32_t address = 0;
    const bool found =
        inquiry &&
        DeviceIoControl(handle, IOCTL_SCSI_GET_INQUIRY_DATA, nullptr, 0, inquiry.get(),
                        arkwin::kInquiryBufferSize, &returned, nullptr) &&
        FindProcessorDevice(inquiry.get(), arkwin::kInquiryBufferSize, returned, &address);
    if (!found) {
        CloseHandle(handle);
        return;
    }

    auto* processor = new (std::nothrow) CProcessorPort(handle, path, address);
    if (processor == nullptr) {
        CloseHandle(handle);
        return;
    }
    if (!AttachPort(processor)) delete processor;
}

ARK_API int arkInitialize(void) {
    // A failed open keeps the handle of an earlier call; an old handle is closed only once a
    // new one is in place.
    if (HANDLE fresh = OpenArkMutex()) {
        HANDLE old = g_arkMutex.exchange(fresh);
        if (old != nullptr) CloseHandle(old);
    }
    if (g_arkMutex.load() == nullptr) return -1;

    HDEVINFO devs = SetupDiGetClassDevsA(&GUID_DEVINTERFACE_STORAGEPORT, nullptr, nullptr,
                                         DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (devs != INVALID_HANDLE_VALUE) {
        for (DWORD index = 0;; ++index) {
            SP_DEVICE_INTERFACE_DATA iface{};
            iface.cbSize = sizeof(iface);
            if (!SetupDiEnumDeviceInterfaces(devs, nullptr, &GUID_DEVINTERFACE_STORAGEPORT, index,
                                             &iface)) {
                break;
            }
            ProbeInterface(devs, &iface);
        }
        SetupDiDestroyDeviceInfoList(devs);
    }
    return arkGetDomainCount() > 0 ? 0 : -1;
}

ARK_API void arkCleanup(void) {
    HANDLE mutex = g_arkMutex.exchange(nullptr);
    if (mutex != nullptr) CloseHandle(mutex);
}
