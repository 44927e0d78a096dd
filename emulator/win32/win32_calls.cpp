// The Win32 calls themselves, routed to the installed machine.

#include "standin_util.h"
#include "win32_standin.h"

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
