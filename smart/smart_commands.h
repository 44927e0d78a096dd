#pragma once

#include <cstdint>

// The ATA SMART commands, sent to one disk behind a controller as one ATA pass-through request
// each (arkAtaPassthrough). A command fails when the request fails or when the disk rejects it
// (error or device-fault bit in the reply's status register). None retries; a failed read
// leaves the caller's page untouched.
// Re-entrant: each request buffer lives on the caller's stack for the one call.

// SMART ENABLE OPERATIONS: 0 on success, 1 on failure.
int smart_enable(int domain, uint32_t disk);

// SMART DISABLE OPERATIONS: 0 on success, 1 on failure.
int smart_disable(int domain, uint32_t disk);

// SMART RETURN STATUS: 0 when the disk answers that no threshold is exceeded; 1 when the request
// fails or the disk reports a threshold exceeded.
int smart_status(int domain, uint32_t disk);

// SMART READ DATA into the caller's 512-byte page: 0 on success, 1 on failure (also for a null
// page, when nothing is sent).
int smart_read_values(int domain, uint32_t disk, uint8_t* page);

// SMART READ THRESHOLDS into the caller's 512-byte page; results as smart_read_values.
int smart_read_thresholds(int domain, uint32_t disk, uint8_t* page);
