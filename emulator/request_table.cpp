// The exact input and output lengths of every request, and where each one is handled.

#include <cstring>

#include "ark.h"
#include "model.h"

namespace emu::model {
namespace {

struct Fixed {
    uint32_t code;
    uint32_t in;
    uint32_t out;
};

constexpr Fixed kFixed[] = {
    {ARK_REQ_GET_DRIVER_INFO, 0, sizeof(ARK_DRIVER_INFO)},
    {ARK_REQ_GET_CONTROLLER_COUNT, 0, 4},
    {ARK_REQ_GET_CONTROLLER_INFO, 4, sizeof(ARK_CONTROLLER_INFO)},
    {ARK_REQ_GET_VD_INFO, 4, sizeof(ARK_VD_INFO)},
    {ARK_REQ_GET_EVENT, 0, sizeof(ARK_EVENT)},
    {ARK_REQ_INIT_DISK, 4, 0},
    {ARK_REQ_GET_RAID_CAPACITY, sizeof(ARK_ARRAY_PARAMS), 8},
    {ARK_REQ_CREATE_ARRAY, sizeof(ARK_ARRAY_PARAMS), 4},
    {ARK_REQ_CHECK_UNLOAD, 4, 1},
    {ARK_REQ_UNLOAD_DEVICE, 4, 0},
    {ARK_REQ_CHECK_DELETE, 4, 1},
    {ARK_REQ_DELETE_ARRAY, sizeof(ARK_ID_VALUE), 0},
    {ARK_REQ_ARRAY_TASK_CTL, sizeof(ARK_ID_VALUE), 0},
    {ARK_REQ_SET_ARRAY_NAME, sizeof(ARK_ARRAY_NAME), 0},
    {ARK_REQ_SET_CACHE_POLICY, sizeof(ARK_ID_SETTING), 0},
    {ARK_REQ_SET_DISK_RA, sizeof(ARK_ID_SETTING), 0},
    {ARK_REQ_SET_DISK_WC, sizeof(ARK_ID_SETTING), 0},
    {ARK_REQ_SET_DISK_QD, sizeof(ARK_ID_SETTING), 0},
    {ARK_REQ_SET_DISK_SMART, sizeof(ARK_ID_SETTING), 0},
    {ARK_REQ_IDENTIFY_DISK, sizeof(ARK_ID_SETTING), 0},
    {ARK_REQ_ASSIGN_SPARE_DISK, 4, 0},
    {ARK_REQ_UNASSIGN_SPARE_DISK, 4, 0},
    {ARK_REQ_ADD_DISK_TO_ARRAY, sizeof(ARK_ID_VALUE), 0},
    {ARK_REQ_RESCAN_DEVICES, 0, 0},
    {ARK_REQ_SMART_CHECK_ALL, 0, 0},
    {ARK_REQ_GET_BBU_INFO, 4, sizeof(ARK_BBU_INFO)},
    {ARK_REQ_SET_BBU_STATUS, 4, 0},
    {ARK_REQ_GET_PCACHE_SIZE, 0, 4},
    {ARK_REQ_CLEAR_PCACHE, 0, 0},
    {ARK_REQ_GET_PCI_ID, 4, sizeof(ARK_PCI_ID)},
};

// A key followed by its NUL and nothing else, at most 31 characters.
bool KeyText(const uint8_t* key, uint32_t len) {
    if (len == 0 || len > 32) return false;
    return strnlen(reinterpret_cast<const char*>(key), len) == len - 1;
}

bool AtaLengths(const uint8_t* in, uint32_t inLen, uint32_t outLen) {
    if (inLen < sizeof(ARK_ATA_PASSTHROUGH)) return false;
    ARK_ATA_PASSTHROUGH h;
    std::memcpy(&h, in, sizeof h);
    const uint32_t data = uint32_t(h.sectors) * ARK_SECTOR_SIZE;
    const bool fromDisk = h.protocol == ARK_ATA_DATA_IN;
    return inLen == sizeof h + (fromDisk ? 0 : data) && outLen == sizeof h + (fromDisk ? data : 0);
}

bool FlashLengths(const uint8_t* in, uint32_t inLen, uint32_t outLen) {
    if (inLen != 16 && inLen != sizeof(ARK_FLASH_REQUEST)) return false;
    const uint32_t direction = ReadU32(in + 8);
    const uint32_t length = ReadU32(in + 12);
    if (length == 0 || length > ARK_FLASH_CHUNK) return false;
    if (inLen == 16) return direction == 0 && outLen == length;
    return direction == 1 && outLen == 0 && length % 4 == 0;
}

}  // namespace

bool LengthsValid(uint32_t code, const uint8_t* in, uint32_t inLen, uint32_t outLen) {
    for (const Fixed& f : kFixed) {
        if (f.code == code) return inLen == f.in && outLen == f.out;
    }
    switch (code) {
        case ARK_REQ_GET_LD_LIST:
        case ARK_REQ_GET_PD_LIST:
            return inLen == 0 && outLen % 4 == 0;
        case ARK_REQ_GET_HWMON_DATA:
            return inLen == 4 && outLen % 4 == 0;
        case ARK_REQ_GET_CONFIG_INT:
            return outLen == 4 && KeyText(in, inLen);
        case ARK_REQ_SET_CONFIG_INT:
            return outLen == 0 && inLen > 4 && KeyText(in + 4, inLen - 4);
        case ARK_REQ_ATA_PASSTHROUGH:
            return AtaLengths(in, inLen, outLen);
        case ARK_REQ_FLASH:
            return FlashLengths(in, inLen, outLen);
        default:
            return false;
    }
}

int Run(State& state, uint32_t code, Request& r) {
    switch (code) {
        case ARK_REQ_GET_DRIVER_INFO:
        case ARK_REQ_GET_CONTROLLER_COUNT:
        case ARK_REQ_GET_CONTROLLER_INFO:
        case ARK_REQ_GET_EVENT:
        case ARK_REQ_GET_CONFIG_INT:
        case ARK_REQ_SET_CONFIG_INT:
        case ARK_REQ_GET_BBU_INFO:
        case ARK_REQ_SET_BBU_STATUS:
        case ARK_REQ_GET_PCACHE_SIZE:
        case ARK_REQ_CLEAR_PCACHE:
        case ARK_REQ_GET_HWMON_DATA:
        case ARK_REQ_GET_PCI_ID:
        case ARK_REQ_FLASH:
            return ControllerRequest(state, code, r);
        case ARK_REQ_GET_RAID_CAPACITY:
        case ARK_REQ_CREATE_ARRAY:
        case ARK_REQ_CHECK_DELETE:
        case ARK_REQ_DELETE_ARRAY:
        case ARK_REQ_ARRAY_TASK_CTL:
        case ARK_REQ_SET_ARRAY_NAME:
        case ARK_REQ_SET_CACHE_POLICY:
        case ARK_REQ_ADD_DISK_TO_ARRAY:
            return ArrayRequest(state, code, r);
        case ARK_REQ_ATA_PASSTHROUGH:
            return AtaPassthrough(state, r);
        default:
            return DeviceRequest(state, code, r);
    }
}

}  // namespace emu::model
