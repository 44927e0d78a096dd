// Device enumeration: the storage-port interfaces of the pretend machine.

#include <cstring>

#include "standin_util.h"
#include "win32_standin.h"

namespace emu::win32 {

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
