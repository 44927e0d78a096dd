#pragma once

// The utility's process-wide selection state and the routines that turn what a user types
// (disk locations "1/2", "1/2/3", "1/E2/3"; array references "1", "1-2") into device ids and
// ids back into names. The entry fills the state once before any command; commands and the
// TCG transport only read it. Single-threaded.

#include <cstdint>

#include "ark.h"

constexpr int kDeviceListMax = 128;
// The longest disk list a command takes; a longer one is refused, not cut.
constexpr int kDiskListMaxChars = 255;

// Index of the controller domain every request goes to; set by the options "-0" to "-3".
extern int g_currentDomain;
// Driver information of the current domain.
extern ARK_DRIVER_INFO g_driverInfo;
// Physical-disk ids in the driver's order, and how many there are.
extern uint32_t g_pdList[kDeviceListMax];
extern int g_pdCount;
// Logical-device ids; g_ldCount is -1 when the list could not be read.
extern uint32_t g_ldList[kDeviceListMax];
extern int g_ldCount;
// The buffer deviceLocationName formats into; each call overwrites it.
extern char g_locationName[16];

// One controller request to the current domain, with the same range check as the exported
// functions: 0 on success, -1 on failure (also for a domain index outside the list).
int currentDomainRequest(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
                         uint32_t* returned = nullptr);

// The device record of an id into a zeroed `info`; false when the request fails.
bool readDeviceInfo(uint32_t id, ARK_VD_INFO& info);

// The location text of a disk ("%d/E%d/%d", "%d/%d/%d" or "%d/%d", counted from 1) in
// g_locationName, or null when the device cannot be read.
const char* deviceLocationName(uint32_t id);

// The one matching rule of location queries: an empty query matches nothing; a '*' matches the
// rest of the name from its position on, provided the name still has a character there;
// otherwise the texts must be equal.
bool locationMatches(const char* query, const char* name);

// The first disk of g_pdList whose location matches, or 0.
uint32_t findDiskByLocation(const char* text);

// Fills up to `max` ids from a comma-separated list of location queries, each disk once, in the
// order the pieces and g_pdList give them. Returns the count, or -1 when the text is longer
// than kDiskListMaxChars (nothing is filled then).
int parseDiskList(const char* text, uint32_t* ids, int max);

// The id of an array reference: "N" is the N-th array of g_ldList (counting arrays only),
// "N-M" the M-th member slot of that array when it is nested (0 or 0xFFFFFFFF for an empty
// slot, as the driver fills it). 0 when there is no such array.
uint32_t parseArrayId(const char* text);

// 0 when an array (or the target of its transformation) already bears `name`, 1 when the name
// is free. Reads the logical-device list afresh.
int findArrayByName(const char* name);
