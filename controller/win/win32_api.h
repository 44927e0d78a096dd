#pragma once

// The Win32 calls, constants and records that the Windows ports use, declared for builds that
// have no Windows SDK. Only what the ports need is here; the emulator's stand-in
// (emulator/win32/) implements the calls over the controller emulator. Sizes follow the 64-bit
// Windows ABI: DWORD and ULONG are 32-bit, HANDLE and ULONG_PTR pointer-sized.

#include <cstddef>
#include <cstdint>

#define WINAPI

using BOOL = int;
using BOOLEAN = uint8_t;
using UCHAR = uint8_t;
using USHORT = uint16_t;
using DWORD = uint32_t;
using ULONG = uint32_t;
using ULONG_PTR = uintptr_t;
using CHAR = char;
using HANDLE = void*;
using HDEVINFO = void*;
using PVOID = void*;
using LPVOID = void*;
using LPCSTR = const char*;
using LPDWORD = DWORD*;
using PDWORD = DWORD*;
using PACL = struct ACL*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_SHARE_READ = 0x1u;
constexpr DWORD FILE_SHARE_WRITE = 0x2u;
constexpr DWORD OPEN_EXISTING = 3u;

constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0x0u;
constexpr DWORD WAIT_ABANDONED = 0x80u;
constexpr DWORD WAIT_TIMEOUT = 0x102u;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

constexpr DWORD ERROR_FILE_NOT_FOUND = 2u;
constexpr DWORD ERROR_INVALID_HANDLE = 6u;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8u;
constexpr DWORD ERROR_GEN_FAILURE = 31u;
constexpr DWORD ERROR_INVALID_FUNCTION = 1u;
constexpr DWORD ERROR_INVALID_PARAMETER = 87u;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122u;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259u;
constexpr DWORD ERROR_NOT_OWNER = 288u;
constexpr DWORD ERROR_IO_DEVICE = 1117u;
constexpr DWORD ERROR_INVALID_USER_BUFFER = 1784u;

constexpr DWORD IOCTL_SCSI_PASS_THROUGH = 0x4D004u;
constexpr DWORD IOCTL_SCSI_MINIPORT = 0x4D008u;
constexpr DWORD IOCTL_SCSI_GET_INQUIRY_DATA = 0x4100Cu;

constexpr DWORD DIGCF_PRESENT = 0x2u;
constexpr DWORD DIGCF_DEVICEINTERFACE = 0x10u;

constexpr DWORD SECURITY_DESCRIPTOR_REVISION = 1u;

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16);

inline bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i) {
        if (a.Data4[i] != b.Data4[i]) return false;
    }
    return true;
}

// The device interface class of storage ports.
inline constexpr GUID GUID_DEVINTERFACE_STORAGEPORT = {
    0x2accfe60u, 0xc130u, 0x11d2u, {0xb0, 0x82, 0x00, 0xa0, 0xc9, 0x1e, 0xfb, 0x8b}};

struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;

// Opaque to callers: only InitializeSecurityDescriptor and SetSecurityDescriptorDacl touch it.
struct SECURITY_DESCRIPTOR {
    uint8_t Revision;
    uint8_t Sbz1;
    uint16_t Control;
    PVOID Owner;
    PVOID Group;
    PACL Sacl;
    PACL Dacl;
};
using PSECURITY_DESCRIPTOR = PVOID;

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

struct SP_DEVINFO_DATA;
using PSP_DEVINFO_DATA = SP_DEVINFO_DATA*;

struct SP_DEVICE_INTERFACE_DATA {
    DWORD cbSize;
    GUID InterfaceClassGuid;
    DWORD Flags;
    ULONG_PTR Reserved;
};
using PSP_DEVICE_INTERFACE_DATA = SP_DEVICE_INTERFACE_DATA*;

struct SP_DEVICE_INTERFACE_DETAIL_DATA_A {
    DWORD cbSize;
    CHAR DevicePath[1];
};
using PSP_DEVICE_INTERFACE_DETAIL_DATA_A = SP_DEVICE_INTERFACE_DETAIL_DATA_A*;

// The header of a miniport control request.
struct SRB_IO_CONTROL {
    ULONG HeaderLength;
    UCHAR Signature[8];
    ULONG Timeout;
    ULONG ControlCode;
    ULONG ReturnCode;
    ULONG Length;
};

struct SCSI_PASS_THROUGH {
    USHORT Length;
    UCHAR ScsiStatus;
    UCHAR PathId;
    UCHAR TargetId;
    UCHAR Lun;
    UCHAR CdbLength;
    UCHAR SenseInfoLength;
    UCHAR DataIn;
    ULONG DataTransferLength;
    ULONG TimeOutValue;
    ULONG_PTR DataBufferOffset;
    ULONG SenseInfoOffset;
    UCHAR Cdb[16];
};

struct SCSI_BUS_DATA {
    UCHAR NumberOfLogicalUnits;
    UCHAR InitiatorBusId;
    ULONG InquiryDataOffset;
};

struct SCSI_ADAPTER_BUS_INFO {
    UCHAR NumberOfBuses;
    SCSI_BUS_DATA BusData[1];
};

struct SCSI_INQUIRY_DATA {
    UCHAR PathId;
    UCHAR TargetId;
    UCHAR Lun;
    BOOLEAN DeviceClaimed;
    ULONG InquiryDataLength;
    ULONG NextInquiryDataOffset;
    UCHAR InquiryData[1];
};

DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD error);
void WINAPI Sleep(DWORD milliseconds);

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                          DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL WINAPI CloseHandle(HANDLE handle);
BOOL WINAPI DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                            DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped);

BOOL WINAPI InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR sd, DWORD revision);
BOOL WINAPI SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR sd, BOOL present, PACL dacl,
                                      BOOL defaulted);
HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES sa, BOOL initialOwner, LPCSTR name);
DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL WINAPI ReleaseMutex(HANDLE mutex);

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* classGuid, LPCSTR enumerator, void* parent,
                                     DWORD flags);
BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA info, const GUID* guid,
                                        DWORD index, PSP_DEVICE_INTERFACE_DATA data);
BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail,
                                             DWORD detailSize, PDWORD requiredSize,
                                             PSP_DEVINFO_DATA info);
BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO set);
