// The request functions of the controller-access API. Each builds its little-endian record on
// the stack and sends exactly one request (the flash functions one per chunk) through the
// domain named by its first argument. Every reply lands in a zeroed local first, so a short
// reply reads as zero, never as stack garbage.

#include <algorithm>
#include <cstring>

#include "ark.h"
#include "domain.h"

namespace {

int send(int domain, uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
         uint32_t* returned = nullptr) {
    CDomain* d = arkDomainAt(domain);
    if (d == nullptr) return -1;
    return d->Ioctl(code, in, inLen, out, outLen, returned) == 0 ? 0 : -1;
}

int sendId(int domain, uint32_t code, uint32_t id) {
    return send(domain, code, &id, sizeof id, nullptr, 0);
}

// The record rather than its two fields, so each call names which is which.
int sendIdValue(int domain, uint32_t code, const ARK_ID_VALUE& rec) {
    return send(domain, code, &rec, sizeof rec, nullptr, 0);
}

int sendIdSetting(int domain, uint32_t code, uint32_t id, uint8_t value) {
    ARK_ID_SETTING rec{};
    rec.id = id;
    rec.value = value;
    return send(domain, code, &rec, sizeof rec, nullptr, 0);
}

// A u32 answer (count, size), or -1.
int requestU32(int domain, uint32_t code) {
    uint32_t value = 0;
    if (send(domain, code, nullptr, 0, &value, sizeof value) != 0) return -1;
    return static_cast<int>(value);
}

// A one-byte answer about a device, or -1.
int requestAnswerByte(int domain, uint32_t code, uint32_t id) {
    uint8_t answer = 0;
    if (send(domain, code, &id, sizeof id, &answer, sizeof answer) != 0) return -1;
    return answer;
}

// A reply of 4-byte entries; the result is the number of whole entries returned.
int requestList(int domain, uint32_t code, const void* in, uint32_t inLen, void* entries,
                uint32_t max) {
    const uint64_t bytes = uint64_t{max} * 4;
    if (bytes > UINT32_MAX || (entries == nullptr && max != 0)) return -1;
    uint32_t returned = 0;
    if (send(domain, code, in, inLen, entries, static_cast<uint32_t>(bytes), &returned) != 0)
        return -1;
    return static_cast<int>(std::min(returned / 4, max));
}

// The caller's parameters with the fields that must go out as zero cleared.
ARK_ARRAY_PARAMS outgoingParams(const ARK_ARRAY_PARAMS& params) {
    ARK_ARRAY_PARAMS rec = params;
    rec.reserved = 0;
    std::memset(rec.padding, 0, sizeof rec.padding);
    return rec;
}

}  // namespace

ARK_API int arkGetDriverInfo(int domain, ARK_DRIVER_INFO* info) {
    return send(domain, ARK_REQ_GET_DRIVER_INFO, nullptr, 0, info, sizeof *info);
}

ARK_API int arkGetControllerCount(int domain) {
    return requestU32(domain, ARK_REQ_GET_CONTROLLER_COUNT);
}

ARK_API int arkGetControllerInfo(int domain, uint32_t controller, ARK_CONTROLLER_INFO* info) {
    return send(domain, ARK_REQ_GET_CONTROLLER_INFO, &controller, sizeof controller, info,
                sizeof *info);
}

ARK_API int arkGetBBUInfo(int domain, uint32_t controller, ARK_BBU_INFO* info) {
    return send(domain, ARK_REQ_GET_BBU_INFO, &controller, sizeof controller, info, sizeof *info);
}

ARK_API int arkSetBBUStatus(int domain, uint32_t command) {
    return sendId(domain, ARK_REQ_SET_BBU_STATUS, command);
}

ARK_API int arkGetPCacheSize(int domain) {
    return requestU32(domain, ARK_REQ_GET_PCACHE_SIZE);
}

ARK_API int arkClearPCache(int domain) {
    return send(domain, ARK_REQ_CLEAR_PCACHE, nullptr, 0, nullptr, 0);
}

ARK_API int arkGetLDList(int domain, uint32_t* ids, uint32_t max) {
    return requestList(domain, ARK_REQ_GET_LD_LIST, nullptr, 0, ids, max);
}

ARK_API int arkGetPDList(int domain, uint32_t* ids, uint32_t max) {
    return requestList(domain, ARK_REQ_GET_PD_LIST, nullptr, 0, ids, max);
}

ARK_API int arkGetVDInfo(int domain, uint32_t id, ARK_VD_INFO* info) {
    return send(domain, ARK_REQ_GET_VD_INFO, &id, sizeof id, info, sizeof *info);
}

ARK_API int arkGetEvent(int domain, ARK_EVENT* event) {
    return send(domain, ARK_REQ_GET_EVENT, nullptr, 0, event, sizeof *event);
}

ARK_API int arkInitDisk(int domain, uint32_t disk) {
    return sendId(domain, ARK_REQ_INIT_DISK, disk);
}

ARK_API int arkGetRAIDCapacity(int domain, const ARK_ARRAY_PARAMS* params, uint64_t* capacity) {
    if (params == nullptr) return -1;
    const ARK_ARRAY_PARAMS rec = outgoingParams(*params);
    uint64_t value = 0;
    if (send(domain, ARK_REQ_GET_RAID_CAPACITY, &rec, sizeof rec, &value, sizeof value) != 0)
        return -1;
    if (capacity != nullptr) *capacity = value;
    return 0;
}

ARK_API int arkCreateArray(int domain, const ARK_ARRAY_PARAMS* params) {
    if (params == nullptr) return 0;
    const ARK_ARRAY_PARAMS rec = outgoingParams(*params);
    uint32_t id = 0;
    if (send(domain, ARK_REQ_CREATE_ARRAY, &rec, sizeof rec, &id, sizeof id) != 0) return 0;
    return static_cast<int>(id);
}

ARK_API int arkCheckUnload(int domain, uint32_t id) {
    return requestAnswerByte(domain, ARK_REQ_CHECK_UNLOAD, id);
}

ARK_API int arkUnloadDevice(int domain, uint32_t id) {
    return sendId(domain, ARK_REQ_UNLOAD_DEVICE, id);
}

ARK_API int arkCheckDelete(int domain, uint32_t id) {
    return requestAnswerByte(domain, ARK_REQ_CHECK_DELETE, id);
}

ARK_API int arkDeleteArray(int domain, uint32_t id, uint32_t options) {
    return sendIdValue(domain, ARK_REQ_DELETE_ARRAY, {.id = id, .value = options});
}

ARK_API int arkArrayTaskCtl(int domain, uint32_t id, uint32_t taskState) {
    return sendIdValue(domain, ARK_REQ_ARRAY_TASK_CTL, {.id = id, .value = taskState});
}

ARK_API int arkSetArrayName(int domain, uint32_t id, const char* name) {
    if (name == nullptr) return -1;
    ARK_ARRAY_NAME rec{};
    rec.id = id;
    std::memcpy(rec.name, name, strnlen(name, sizeof rec.name - 1));
    return send(domain, ARK_REQ_SET_ARRAY_NAME, &rec, sizeof rec, nullptr, 0);
}

ARK_API int arkSetCachePolicy(int domain, uint32_t id, uint8_t policy) {
    return sendIdSetting(domain, ARK_REQ_SET_CACHE_POLICY, id, policy);
}

ARK_API int arkSetDiskRA(int domain, uint32_t disk, uint8_t on) {
    return sendIdSetting(domain, ARK_REQ_SET_DISK_RA, disk, on);
}

ARK_API int arkSetDiskWC(int domain, uint32_t disk, uint8_t on) {
    return sendIdSetting(domain, ARK_REQ_SET_DISK_WC, disk, on);
}

ARK_API int arkSetDiskQD(int domain, uint32_t disk, uint8_t on) {
    return sendIdSetting(domain, ARK_REQ_SET_DISK_QD, disk, on);
}

ARK_API int arkSetDiskSmart(int domain, uint32_t disk, uint8_t on) {
    return sendIdSetting(domain, ARK_REQ_SET_DISK_SMART, disk, on);
}

ARK_API int arkIdentifyDisk(int domain, uint32_t disk, uint8_t on) {
    return sendIdSetting(domain, ARK_REQ_IDENTIFY_DISK, disk, on);
}

ARK_API int arkAssignSpareDisk(int domain, uint32_t disk) {
    return sendId(domain, ARK_REQ_ASSIGN_SPARE_DISK, disk);
}

ARK_API int arkUnassignSpareDisk(int domain, uint32_t disk) {
    return sendId(domain, ARK_REQ_UNASSIGN_SPARE_DISK, disk);
}

ARK_API int arkAddDiskToArray(int domain, uint32_t array, uint32_t disk) {
    return sendIdValue(domain, ARK_REQ_ADD_DISK_TO_ARRAY, {.id = array, .value = disk});
}

ARK_API int arkRescanDevices(int domain) {
    static_cast<void>(send(domain, ARK_REQ_RESCAN_DEVICES, nullptr, 0, nullptr, 0));
    return 0;
}

ARK_API int arkAtaPassthrough(int domain, void* buffer) {
    if (buffer == nullptr) return -1;
    ARK_ATA_PASSTHROUGH header{};
    std::memcpy(&header, buffer, sizeof header);
    const uint32_t data = uint32_t{header.sectors} * ARK_SECTOR_SIZE;
    const bool fromDisk = header.protocol == ARK_ATA_DATA_IN;
    const uint32_t inLen = sizeof header + (fromDisk ? 0 : data);
    const uint32_t outLen = sizeof header + (fromDisk ? data : 0);
    auto* bytes = static_cast<uint8_t*>(buffer);
    return send(domain, ARK_REQ_ATA_PASSTHROUGH, bytes, inLen, bytes + inLen, outLen);
}

ARK_API int arkSmartCheckAll(int domain) {
    return send(domain, ARK_REQ_SMART_CHECK_ALL, nullptr, 0, nullptr, 0);
}

ARK_API int arkGetConfigInt(int domain, const char* key, int32_t* value) {
    if (key == nullptr) return -1;
    const size_t keyLen = std::strlen(key);
    if (keyLen >= UINT32_MAX) return -1;
    int32_t answer = 0;
    if (send(domain, ARK_REQ_GET_CONFIG_INT, key, static_cast<uint32_t>(keyLen + 1), &answer,
             sizeof answer) != 0)
        return -1;
    if (value != nullptr) *value = answer;
    return 0;
}

ARK_API int arkSetConfigInt(int domain, const char* key, uint32_t value) {
    if (key == nullptr) return -1;
    ARK_CONFIG_INT rec{};
    rec.value = value;
    const size_t keyLen = strnlen(key, sizeof rec.key - 1);
    std::memcpy(rec.key, key, keyLen);
    return send(domain, ARK_REQ_SET_CONFIG_INT, &rec,
                static_cast<uint32_t>(offsetof(ARK_CONFIG_INT, key) + keyLen + 1), nullptr, 0);
}

ARK_API int arkGetPciId(int domain, uint32_t controller, uint32_t* first, uint32_t* second) {
    ARK_PCI_ID rec{};
    if (send(domain, ARK_REQ_GET_PCI_ID, &controller, sizeof controller, &rec, sizeof rec) != 0)
        return -1;
    if (first != nullptr) *first = rec.first;
    if (second != nullptr) *second = rec.second;
    return 0;
}

ARK_API int arkFlashUpload(int domain, uint32_t controller, uint32_t offset, void* buffer,
                           uint32_t length) {
    if (length == 0) return 0;
    if (buffer == nullptr) return -1;
    auto* position = static_cast<uint8_t*>(buffer);
    uint32_t remaining = length;
    for (;;) {
        const uint32_t chunk = std::min<uint32_t>(remaining, ARK_FLASH_CHUNK);
        ARK_FLASH_REQUEST header{};
        header.controller = controller;
        header.offset = offset;
        header.direction = 0;
        header.length = chunk;
        if (send(domain, ARK_REQ_FLASH, &header, offsetof(ARK_FLASH_REQUEST, data), position,
                 chunk) != 0)
            return -1;
        if (chunk == remaining) return 0;
        offset += chunk;
        position += chunk;
        remaining -= chunk;
    }
}

ARK_API int arkFlashDownload(int domain, uint32_t controller, uint32_t offset, const void* buffer,
                             uint32_t length) {
    if (length != 0 && buffer == nullptr) return -1;
    auto* position = static_cast<const uint8_t*>(buffer);
    uint32_t remaining = length;
    while (remaining > 0) {
        const uint32_t chunk = std::min<uint32_t>(remaining, ARK_FLASH_CHUNK);
        ARK_FLASH_REQUEST rec{};
        rec.controller = controller;
        rec.offset = offset;
        rec.direction = 1;
        rec.length = (chunk + 3) & ~3u;
        std::memcpy(rec.data, position, chunk);
        std::memset(rec.data + chunk, 0xFF, sizeof rec.data - chunk);
        if (send(domain, ARK_REQ_FLASH, &rec, sizeof rec, nullptr, 0) != 0) return -1;
        offset += chunk;
        position += chunk;
        remaining -= chunk;
    }
    return 0;
}

ARK_API int arkGetHwMonData(int domain, uint32_t selector, ARK_HWMON_ENTRY* entries, uint32_t max) {
    return requestList(domain, ARK_REQ_GET_HWMON_DATA, &selector, sizeof selector, entries, max);
}
