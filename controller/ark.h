/* Controller-access API: request codes, the byte layout of every request and reply record,
 * and the 41 exported functions. Usable from C and C++. Every record is packed and
 * little-endian; the asserts below pin each size and field offset, so a layout slip fails the
 * build rather than the controller. Text fields are fixed-size and not always NUL-terminated:
 * read them with a bounded copy. */
#ifndef ARK_H
#define ARK_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define ARK_STATIC_ASSERT(cond) static_assert(cond, #cond)
#define ARK_EXTERN_C extern "C"
#else
#define ARK_STATIC_ASSERT(cond) _Static_assert(cond, #cond)
#define ARK_EXTERN_C
#endif

/* libark.dll and arkutil.exe both export the API (ARK_EXPORTS); a static Windows link sets
 * ARK_STATIC; every other Windows program imports it from the library. */
#if defined(_WIN32)
#if defined(ARK_EXPORTS)
#define ARK_API ARK_EXTERN_C __declspec(dllexport)
#elif defined(ARK_STATIC)
#define ARK_API ARK_EXTERN_C
#else
#define ARK_API ARK_EXTERN_C __declspec(dllimport)
#endif
#else
#define ARK_API ARK_EXTERN_C __attribute__((visibility("default")))
#endif

/* Request codes. */
#define ARK_REQ_GET_DRIVER_INFO 0x80000001u
#define ARK_REQ_GET_CONTROLLER_COUNT 0x80000002u
#define ARK_REQ_GET_CONTROLLER_INFO 0x80000003u
#define ARK_REQ_GET_LD_LIST 0x80000004u
#define ARK_REQ_GET_PD_LIST 0x80000005u
#define ARK_REQ_GET_VD_INFO 0x80000006u
#define ARK_REQ_GET_EVENT 0x80000007u
#define ARK_REQ_INIT_DISK 0x80000008u
#define ARK_REQ_GET_RAID_CAPACITY 0x80000009u
#define ARK_REQ_CREATE_ARRAY 0x8000000Au
#define ARK_REQ_CHECK_UNLOAD 0x8000000Bu
#define ARK_REQ_UNLOAD_DEVICE 0x8000000Cu
#define ARK_REQ_CHECK_DELETE 0x8000000Du
#define ARK_REQ_DELETE_ARRAY 0x8000000Eu
#define ARK_REQ_ARRAY_TASK_CTL 0x8000000Fu
#define ARK_REQ_SET_ARRAY_NAME 0x80000010u
#define ARK_REQ_SET_CACHE_POLICY 0x80000011u
#define ARK_REQ_SET_DISK_RA 0x80000012u
#define ARK_REQ_SET_DISK_WC 0x80000013u
#define ARK_REQ_SET_DISK_QD 0x80000014u
#define ARK_REQ_SET_DISK_SMART 0x80000015u
#define ARK_REQ_IDENTIFY_DISK 0x80000016u
#define ARK_REQ_ASSIGN_SPARE_DISK 0x80000017u
#define ARK_REQ_UNASSIGN_SPARE_DISK 0x80000018u
#define ARK_REQ_ADD_DISK_TO_ARRAY 0x80000019u
#define ARK_REQ_RESCAN_DEVICES 0x8000001Au
#define ARK_REQ_ATA_PASSTHROUGH 0x8000001Du
#define ARK_REQ_GET_CONFIG_INT 0x8000001Eu
#define ARK_REQ_SET_CONFIG_INT 0x8000001Fu
#define ARK_REQ_SMART_CHECK_ALL 0x80000020u
#define ARK_REQ_GET_BBU_INFO 0x80000021u
#define ARK_REQ_SET_BBU_STATUS 0x80000022u
#define ARK_REQ_GET_PCACHE_SIZE 0x80000023u
#define ARK_REQ_CLEAR_PCACHE 0x80000024u
#define ARK_REQ_GET_HWMON_DATA 0x80000025u
#define ARK_REQ_GET_PCI_ID 0xC0000009u
#define ARK_REQ_FLASH 0xC000000Au

#define ARK_ID_NONE 0xFFFFFFFFu
#define ARK_MAX_MEMBERS 64
#define ARK_MAX_PARENTS 8
#define ARK_FLASH_CHUNK 1024
#define ARK_SECTOR_SIZE 512

/* VD_INFO.type */
#define ARK_VD_TYPE_ARRAY 1

/* RAID levels (raidlevel, sub_raidlevel). */
#define ARK_RAID0 1
#define ARK_RAID1 2
#define ARK_RAID5 3
#define ARK_RAID6 4
#define ARK_JBOD 7

/* Cache policies. */
#define ARK_CACHE_NONE 0
#define ARK_CACHE_WRITE_THROUGH 1
#define ARK_CACHE_WRITE_BACK 2
#define ARK_CACHE_FORCE_WRITE_BACK 3

/* Task states of ARK_REQ_ARRAY_TASK_CTL. */
#define ARK_TASK_START_REBUILD 1
#define ARK_TASK_STOP_REBUILD 2
#define ARK_TASK_START_VERIFY 4
#define ARK_TASK_STOP_VERIFY 5
#define ARK_TASK_STOP_FG_INIT 8
#define ARK_TASK_START_TRANSFORM 13
#define ARK_TASK_STOP_TRANSFORM 14

/* Array flag bits. */
#define ARK_ARRAY_DISABLED 0x1u
#define ARK_ARRAY_NEED_REBUILD 0x2u
#define ARK_ARRAY_REBUILDING 0x4u
#define ARK_ARRAY_CRITICAL 0x8u
#define ARK_ARRAY_VERIFYING 0x100u
#define ARK_ARRAY_FG_INIT 0x200u
#define ARK_ARRAY_TRANSFORMING 0x400u
#define ARK_ARRAY_NEED_TRANSFORM 0x800u
#define ARK_ARRAY_UNINITIALIZED 0x1000u
#define ARK_ARRAY_BUSY_MASK 0x704u

/* Disk flag bits. */
#define ARK_DISK_DISABLED 0x1u
#define ARK_DISK_LOCKED 0x8u
#define ARK_DISK_TARGET_LEVEL 0x20u
#define ARK_DISK_ENCLOSURE 0x80u
#define ARK_DISK_SSD 0x800u
#define ARK_DISK_RA_SUPPORTED 0x1000u
#define ARK_DISK_RA_ON 0x2000u
#define ARK_DISK_WC_SUPPORTED 0x4000u
#define ARK_DISK_WC_ON 0x8000u
#define ARK_DISK_UNINITIALIZED 0x10000u
#define ARK_DISK_LEGACY 0x20000u
#define ARK_DISK_ERASING 0x80000u
#define ARK_DISK_QD_SUPPORTED 0x100000u
#define ARK_DISK_QD_ON 0x200000u
#define ARK_DISK_SMART_ON 0x800000u
#define ARK_DISK_SPARE 0x80000000u

/* Battery unit status bits and commands. */
#define ARK_BBU_ENABLED 0x1u
#define ARK_BBU_CHARGING 0x2u
#define ARK_BBU_DISCHARGING 0x4u
#define ARK_BBU_FAULTED 0x8u
#define ARK_BBU_CMD_DISABLE 0u
#define ARK_BBU_CMD_STOP_LEARN 3u
#define ARK_BBU_CMD_START_LEARN 5u

/* ATA pass-through protocol. */
#define ARK_ATA_DATA_IN 1
#define ARK_ATA_DATA_OUT 2

#pragma pack(push, 1)

typedef struct ARK_DRIVER_INFO {
    char driver_name[12];
    uint8_t bs_shift_min;
    uint8_t bs_shift_max;
    uint8_t reserved;
    uint8_t hwraid;
    uint8_t raid_levels[16];
    uint8_t cache_policies[16];
    uint8_t max_mpa[16];
} ARK_DRIVER_INFO;

typedef struct ARK_CONTROLLER_INFO {
    char ioc_str[16];
    char vendor_str[16];
    char fw_rev[24];
    char product_str[40];
    char sn_str[24];
    uint8_t num_ports;
    uint8_t vhostno;
    uint8_t pcie_speed;
    uint8_t pcie_width;
    uint8_t pci_tree;
    uint8_t pci_bus;
    uint8_t pci_device;
    uint8_t pci_function;
    uint32_t ramsize;
} ARK_CONTROLLER_INFO;

typedef struct ARK_BBU_INFO {
    uint8_t bbu_installed;
    uint8_t bbu_type;
    uint8_t bbu_status;
    uint8_t reserved;
    uint16_t voltage_mv;
    int16_t temperature; /* hundredths of a degree Celsius */
} ARK_BBU_INFO;

/* The array part of ARK_VD_INFO (starts at byte 16 of it). */
typedef struct ARK_ARRAY_INFO {
    char aname[16];
    uint8_t raidlevel;
    uint8_t sub_raidlevel;
    uint8_t bs_shift;
    uint8_t ss_shift;
    uint8_t ndisks;
    uint8_t reserved[3];
    uint32_t flags;
    uint32_t signature;
    uint64_t outdated_mmask;
    uint64_t rebuilt_sectors;
    uint32_t rebuilt_percent;   /* hundredths of a percent */
    uint32_t transform_percent; /* hundredths of a percent */
    uint32_t transform_src;
    uint32_t transform_tgt;
    uint32_t members[ARK_MAX_MEMBERS];
} ARK_ARRAY_INFO;

/* The disk part of ARK_VD_INFO (starts at byte 16 of it). */
typedef struct ARK_DISK_INFO {
    char model[44];
    char serial[24];
    char fwrev[12];
    uint8_t controller;
    uint8_t port; /* the enclosure number when ARK_DISK_ENCLOSURE is set */
    uint8_t target;
    uint8_t reserved1;
    uint8_t pd_type;
    uint8_t ss_shift;
    uint8_t spinup_mode;
    uint8_t reserved2;
    uint8_t linkrate_max;
    uint8_t linkrate_avail;
    uint8_t linkrate_actual;
    uint8_t linkrate_set;
    uint32_t flags;
    uint64_t total_free;
    uint64_t max_free;
    uint32_t parents[ARK_MAX_PARENTS];
    uint8_t unused[176];
} ARK_DISK_INFO;

typedef struct ARK_VD_INFO {
    uint8_t type;
    uint8_t cache_policy;
    uint8_t vcore_id;
    uint8_t target_id;
    uint32_t parent;
    uint64_t capacity;
    union {
        ARK_ARRAY_INFO array;
        ARK_DISK_INFO disk;
    };
} ARK_VD_INFO;

typedef struct ARK_EVENT {
    uint8_t code;
    uint8_t reserved[3];
    uint32_t devid;
    uint8_t unused[24];
} ARK_EVENT;

typedef struct ARK_ARRAY_PARAMS {
    char aname[16];
    uint64_t capacity;
    uint32_t source_id;
    uint8_t raidlevel;
    uint8_t ndisks;
    uint8_t subdisks;
    uint8_t bs_shift;
    uint8_t ss_shift;
    uint8_t init_options;
    uint8_t cache_policy;
    uint8_t reserved;
    uint32_t members[ARK_MAX_MEMBERS];
    uint8_t padding[4];
} ARK_ARRAY_PARAMS;

typedef struct ARK_ID_VALUE {
    uint32_t id;
    uint32_t value;
} ARK_ID_VALUE;

typedef struct ARK_ID_SETTING {
    uint32_t id;
    uint8_t value;
    uint8_t reserved[3];
} ARK_ID_SETTING;

typedef struct ARK_ARRAY_NAME {
    uint32_t id;
    char name[16];
} ARK_ARRAY_NAME;

typedef struct ARK_CONFIG_INT {
    uint32_t value;
    char key[32];
} ARK_CONFIG_INT;

typedef struct ARK_PCI_ID {
    uint32_t first;
    uint32_t second;
} ARK_PCI_ID;

typedef struct ARK_HWMON_ENTRY {
    uint8_t kind; /* 0 temperature, 1 voltage */
    uint8_t sensor;
    uint16_t value; /* signed hundredths of a degree for kind 0, millivolts for kind 1 */
} ARK_HWMON_ENTRY;

typedef struct ARK_ATA_PASSTHROUGH {
    uint32_t disk;
    uint16_t features;
    uint16_t sector_count;
    uint16_t lba_low;
    uint16_t lba_mid;
    uint16_t lba_high;
    uint8_t device;
    uint8_t command; /* in the reply: the ATA status register */
    uint16_t sectors;
    uint8_t protocol;
    uint8_t reserved;
} ARK_ATA_PASSTHROUGH;

typedef struct ARK_FLASH_REQUEST {
    uint32_t controller;
    uint32_t offset;
    uint32_t direction; /* 0 read flash into the host, 1 write flash */
    uint32_t length;
    uint8_t data[ARK_FLASH_CHUNK];
} ARK_FLASH_REQUEST;

#pragma pack(pop)

ARK_STATIC_ASSERT(sizeof(ARK_DRIVER_INFO) == 64);
ARK_STATIC_ASSERT(offsetof(ARK_DRIVER_INFO, driver_name) == 0);
ARK_STATIC_ASSERT(offsetof(ARK_DRIVER_INFO, bs_shift_min) == 12);
ARK_STATIC_ASSERT(offsetof(ARK_DRIVER_INFO, bs_shift_max) == 13);
ARK_STATIC_ASSERT(offsetof(ARK_DRIVER_INFO, reserved) == 14);
ARK_STATIC_ASSERT(offsetof(ARK_DRIVER_INFO, hwraid) == 15);
ARK_STATIC_ASSERT(offsetof(ARK_DRIVER_INFO, raid_levels) == 16);
ARK_STATIC_ASSERT(offsetof(ARK_DRIVER_INFO, cache_policies) == 32);
ARK_STATIC_ASSERT(offsetof(ARK_DRIVER_INFO, max_mpa) == 48);

ARK_STATIC_ASSERT(sizeof(ARK_CONTROLLER_INFO) == 132);
ARK_STATIC_ASSERT(offsetof(ARK_CONTROLLER_INFO, ioc_str) == 0);
ARK_STATIC_ASSERT(offsetof(ARK_CONTROLLER_INFO, vendor_str) == 16);
ARK_STATIC_ASSERT(offsetof(ARK_CONTROLLER_INFO, fw_rev) == 32);
ARK_STATIC_ASSERT(offsetof(ARK_CONTROLLER_INFO, product_str) == 56);
ARK_STATIC_ASSERT(offsetof(ARK_CONTROLLER_INFO, sn_str) == 96);
ARK_STATIC_ASSERT(offsetof(ARK_CONTROLLER_INFO, num_ports) == 120);
ARK_STATIC_ASSERT(offsetof(ARK_CONTROLLER_INFO, vhostno) == 121);
ARK_STATIC_ASSERT(offsetof(ARK_CONTROLLER_INFO, pcie_speed) == 122);
ARK_STATIC_ASSERT(offsetof(ARK_CONTROLLER_INFO, pcie_width) == 123);
ARK_STATIC_ASSERT(offsetof(ARK_CONTROLLER_INFO, pci_tree) == 124);
ARK_STATIC_ASSERT(offsetof(ARK_CONTROLLER_INFO, pci_bus) == 125);
ARK_STATIC_ASSERT(offsetof(ARK_CONTROLLER_INFO, pci_device) == 126);
ARK_STATIC_ASSERT(offsetof(ARK_CONTROLLER_INFO, pci_function) == 127);
ARK_STATIC_ASSERT(offsetof(ARK_CONTROLLER_INFO, ramsize) == 128);

ARK_STATIC_ASSERT(sizeof(ARK_BBU_INFO) == 8);
ARK_STATIC_ASSERT(offsetof(ARK_BBU_INFO, bbu_installed) == 0);
ARK_STATIC_ASSERT(offsetof(ARK_BBU_INFO, bbu_type) == 1);
ARK_STATIC_ASSERT(offsetof(ARK_BBU_INFO, bbu_status) == 2);
ARK_STATIC_ASSERT(offsetof(ARK_BBU_INFO, reserved) == 3);
ARK_STATIC_ASSERT(offsetof(ARK_BBU_INFO, voltage_mv) == 4);
ARK_STATIC_ASSERT(offsetof(ARK_BBU_INFO, temperature) == 6);

ARK_STATIC_ASSERT(sizeof(ARK_ARRAY_INFO) == 320);
ARK_STATIC_ASSERT(sizeof(ARK_DISK_INFO) == 320);
ARK_STATIC_ASSERT(sizeof(ARK_VD_INFO) == 336);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, type) == 0);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, cache_policy) == 1);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, vcore_id) == 2);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, target_id) == 3);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, parent) == 4);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, capacity) == 8);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, array) == 16);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, disk) == 16);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, array.aname) == 16);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, array.raidlevel) == 32);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, array.sub_raidlevel) == 33);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, array.bs_shift) == 34);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, array.ss_shift) == 35);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, array.ndisks) == 36);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, array.reserved) == 37);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, array.flags) == 40);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, array.signature) == 44);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, array.outdated_mmask) == 48);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, array.rebuilt_sectors) == 56);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, array.rebuilt_percent) == 64);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, array.transform_percent) == 68);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, array.transform_src) == 72);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, array.transform_tgt) == 76);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, array.members) == 80);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, disk.model) == 16);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, disk.serial) == 60);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, disk.fwrev) == 84);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, disk.controller) == 96);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, disk.port) == 97);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, disk.target) == 98);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, disk.reserved1) == 99);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, disk.pd_type) == 100);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, disk.ss_shift) == 101);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, disk.spinup_mode) == 102);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, disk.reserved2) == 103);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, disk.linkrate_max) == 104);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, disk.linkrate_avail) == 105);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, disk.linkrate_actual) == 106);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, disk.linkrate_set) == 107);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, disk.flags) == 108);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, disk.total_free) == 112);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, disk.max_free) == 120);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, disk.parents) == 128);
ARK_STATIC_ASSERT(offsetof(ARK_VD_INFO, disk.unused) == 160);

ARK_STATIC_ASSERT(sizeof(ARK_EVENT) == 32);
ARK_STATIC_ASSERT(offsetof(ARK_EVENT, code) == 0);
ARK_STATIC_ASSERT(offsetof(ARK_EVENT, reserved) == 1);
ARK_STATIC_ASSERT(offsetof(ARK_EVENT, devid) == 4);
ARK_STATIC_ASSERT(offsetof(ARK_EVENT, unused) == 8);

ARK_STATIC_ASSERT(sizeof(ARK_ARRAY_PARAMS) == 296);
ARK_STATIC_ASSERT(offsetof(ARK_ARRAY_PARAMS, aname) == 0);
ARK_STATIC_ASSERT(offsetof(ARK_ARRAY_PARAMS, capacity) == 16);
ARK_STATIC_ASSERT(offsetof(ARK_ARRAY_PARAMS, source_id) == 24);
ARK_STATIC_ASSERT(offsetof(ARK_ARRAY_PARAMS, raidlevel) == 28);
ARK_STATIC_ASSERT(offsetof(ARK_ARRAY_PARAMS, ndisks) == 29);
ARK_STATIC_ASSERT(offsetof(ARK_ARRAY_PARAMS, subdisks) == 30);
ARK_STATIC_ASSERT(offsetof(ARK_ARRAY_PARAMS, bs_shift) == 31);
ARK_STATIC_ASSERT(offsetof(ARK_ARRAY_PARAMS, ss_shift) == 32);
ARK_STATIC_ASSERT(offsetof(ARK_ARRAY_PARAMS, init_options) == 33);
ARK_STATIC_ASSERT(offsetof(ARK_ARRAY_PARAMS, cache_policy) == 34);
ARK_STATIC_ASSERT(offsetof(ARK_ARRAY_PARAMS, reserved) == 35);
ARK_STATIC_ASSERT(offsetof(ARK_ARRAY_PARAMS, members) == 36);
ARK_STATIC_ASSERT(offsetof(ARK_ARRAY_PARAMS, padding) == 292);

ARK_STATIC_ASSERT(sizeof(ARK_ID_VALUE) == 8);
ARK_STATIC_ASSERT(offsetof(ARK_ID_VALUE, id) == 0);
ARK_STATIC_ASSERT(offsetof(ARK_ID_VALUE, value) == 4);
ARK_STATIC_ASSERT(sizeof(ARK_ID_SETTING) == 8);
ARK_STATIC_ASSERT(offsetof(ARK_ID_SETTING, id) == 0);
ARK_STATIC_ASSERT(offsetof(ARK_ID_SETTING, value) == 4);
ARK_STATIC_ASSERT(offsetof(ARK_ID_SETTING, reserved) == 5);
ARK_STATIC_ASSERT(sizeof(ARK_ARRAY_NAME) == 20);
ARK_STATIC_ASSERT(offsetof(ARK_ARRAY_NAME, id) == 0);
ARK_STATIC_ASSERT(offsetof(ARK_ARRAY_NAME, name) == 4);
ARK_STATIC_ASSERT(sizeof(ARK_CONFIG_INT) == 36);
ARK_STATIC_ASSERT(offsetof(ARK_CONFIG_INT, value) == 0);
ARK_STATIC_ASSERT(offsetof(ARK_CONFIG_INT, key) == 4);
ARK_STATIC_ASSERT(sizeof(ARK_PCI_ID) == 8);
ARK_STATIC_ASSERT(offsetof(ARK_PCI_ID, first) == 0);
ARK_STATIC_ASSERT(offsetof(ARK_PCI_ID, second) == 4);
ARK_STATIC_ASSERT(sizeof(ARK_HWMON_ENTRY) == 4);
ARK_STATIC_ASSERT(offsetof(ARK_HWMON_ENTRY, kind) == 0);
ARK_STATIC_ASSERT(offsetof(ARK_HWMON_ENTRY, sensor) == 1);
ARK_STATIC_ASSERT(offsetof(ARK_HWMON_ENTRY, value) == 2);

ARK_STATIC_ASSERT(sizeof(ARK_ATA_PASSTHROUGH) == 20);
ARK_STATIC_ASSERT(offsetof(ARK_ATA_PASSTHROUGH, disk) == 0);
ARK_STATIC_ASSERT(offsetof(ARK_ATA_PASSTHROUGH, features) == 4);
ARK_STATIC_ASSERT(offsetof(ARK_ATA_PASSTHROUGH, sector_count) == 6);
ARK_STATIC_ASSERT(offsetof(ARK_ATA_PASSTHROUGH, lba_low) == 8);
ARK_STATIC_ASSERT(offsetof(ARK_ATA_PASSTHROUGH, lba_mid) == 10);
ARK_STATIC_ASSERT(offsetof(ARK_ATA_PASSTHROUGH, lba_high) == 12);
ARK_STATIC_ASSERT(offsetof(ARK_ATA_PASSTHROUGH, device) == 14);
ARK_STATIC_ASSERT(offsetof(ARK_ATA_PASSTHROUGH, command) == 15);
ARK_STATIC_ASSERT(offsetof(ARK_ATA_PASSTHROUGH, sectors) == 16);
ARK_STATIC_ASSERT(offsetof(ARK_ATA_PASSTHROUGH, protocol) == 18);
ARK_STATIC_ASSERT(offsetof(ARK_ATA_PASSTHROUGH, reserved) == 19);

ARK_STATIC_ASSERT(sizeof(ARK_FLASH_REQUEST) == 1040);
ARK_STATIC_ASSERT(offsetof(ARK_FLASH_REQUEST, controller) == 0);
ARK_STATIC_ASSERT(offsetof(ARK_FLASH_REQUEST, offset) == 4);
ARK_STATIC_ASSERT(offsetof(ARK_FLASH_REQUEST, direction) == 8);
ARK_STATIC_ASSERT(offsetof(ARK_FLASH_REQUEST, length) == 12);
ARK_STATIC_ASSERT(offsetof(ARK_FLASH_REQUEST, data) == 16);

/* Discovery: 0 when at least one domain exists afterwards, else -1. */
ARK_API int arkInitialize(void);
/* Releases what discovery holds besides the domains, which live for the whole process. */
ARK_API void arkCleanup(void);
ARK_API int arkGetDomainCount(void);

/* Request functions. Each takes a domain index first; an index outside the domain list fails
 * without sending anything. Unless noted, the result is 0 on success and -1 on failure. */
ARK_API int arkGetDriverInfo(int domain, ARK_DRIVER_INFO* info);
ARK_API int arkGetControllerCount(int domain); /* the count, or -1 */
ARK_API int arkGetControllerInfo(int domain, uint32_t controller, ARK_CONTROLLER_INFO* info);
ARK_API int arkGetBBUInfo(int domain, uint32_t controller, ARK_BBU_INFO* info);
ARK_API int arkSetBBUStatus(int domain, uint32_t command);
ARK_API int arkGetPCacheSize(int domain); /* the size, or -1 */
ARK_API int arkClearPCache(int domain);
ARK_API int arkGetLDList(int domain, uint32_t* ids, uint32_t max); /* ids returned, or -1 */
ARK_API int arkGetPDList(int domain, uint32_t* ids, uint32_t max); /* ids returned, or -1 */
ARK_API int arkGetVDInfo(int domain, uint32_t id, ARK_VD_INFO* info);
ARK_API int arkGetEvent(int domain, ARK_EVENT* event); /* 0: an event was returned */
ARK_API int arkInitDisk(int domain, uint32_t disk);
ARK_API int arkGetRAIDCapacity(int domain, const ARK_ARRAY_PARAMS* params, uint64_t* capacity);
ARK_API int arkCreateArray(int domain, const ARK_ARRAY_PARAMS* params); /* new id, 0 on failure */
ARK_API int arkCheckUnload(int domain, uint32_t id);                    /* answer byte, or -1 */
ARK_API int arkUnloadDevice(int domain, uint32_t id);
ARK_API int arkCheckDelete(int domain, uint32_t id); /* answer byte, or -1 */
ARK_API int arkDeleteArray(int domain, uint32_t id, uint32_t options);
ARK_API int arkArrayTaskCtl(int domain, uint32_t id, uint32_t taskState);
ARK_API int arkSetArrayName(int domain, uint32_t id, const char* name);
ARK_API int arkSetCachePolicy(int domain, uint32_t id, uint8_t policy);
ARK_API int arkSetDiskRA(int domain, uint32_t disk, uint8_t on);
ARK_API int arkSetDiskWC(int domain, uint32_t disk, uint8_t on);
ARK_API int arkSetDiskQD(int domain, uint32_t disk, uint8_t on);
ARK_API int arkSetDiskSmart(int domain, uint32_t disk, uint8_t on);
ARK_API int arkIdentifyDisk(int domain, uint32_t disk, uint8_t on);
ARK_API int arkAssignSpareDisk(int domain, uint32_t disk);
ARK_API int arkUnassignSpareDisk(int domain, uint32_t disk);
ARK_API int arkAddDiskToArray(int domain, uint32_t array, uint32_t disk);
ARK_API int arkRescanDevices(int domain); /* always 0 */
/* buffer: an ARK_ATA_PASSTHROUGH header, the data to the disk, room for the reply header and the
 * data from the disk; the reply is written at buffer + input length. */
ARK_API int arkAtaPassthrough(int domain, void* buffer);
ARK_API int arkSmartCheckAll(int domain);
ARK_API int arkGetConfigInt(int domain, const char* key, int32_t* value);
ARK_API int arkSetConfigInt(int domain, const char* key, uint32_t value);
ARK_API int arkGetPciId(int domain, uint32_t controller, uint32_t* first, uint32_t* second);
/* Flash to host. */
ARK_API int arkFlashUpload(int domain, uint32_t controller, uint32_t offset, void* buffer,
                           uint32_t length);
/* Host to flash. */
ARK_API int arkFlashDownload(int domain, uint32_t controller, uint32_t offset, const void* buffer,
                             uint32_t length);
ARK_API int arkGetHwMonData(int domain, uint32_t selector, ARK_HWMON_ENTRY* entries,
                            uint32_t max); /* entries returned, or -1 */

#endif /* ARK_H */
