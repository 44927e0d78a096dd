#pragma once

// Internal to the emulator: the request handlers and the rules they share.

#include <cstdint>
#include <cstring>

#include "state.h"

namespace emu::model {

// One request after its lengths passed the table check. Handlers write at most outLen bytes
// and set `returned`.
struct Request {
    const uint8_t* in = nullptr;
    uint32_t inLen = 0;
    uint8_t* out = nullptr;
    uint32_t outLen = 0;
    uint32_t returned = 0;
};

constexpr int kOk = 0;
constexpr int kFail = -1;

// Lengths as the request table gives them; false fails the request before it runs.
bool LengthsValid(uint32_t code, const uint8_t* in, uint32_t inLen, uint32_t outLen);
// Runs a request whose lengths are valid; -1 for an unknown code.
int Run(State& state, uint32_t code, Request& r);

// The handlers, by area.
int ControllerRequest(State& s, uint32_t code, Request& r);
int DeviceRequest(State& s, uint32_t code, Request& r);
int ArrayRequest(State& s, uint32_t code, Request& r);
int AtaPassthrough(State& s, Request& r);

// Shared rules.
uint32_t ReadU32(const uint8_t* p);
void WriteU32(uint8_t* p, uint32_t v);
// A record's text field: the text cut to the field, the rest NUL.
void CopyText(char* field, size_t size, const std::string& text);
// The signature an array is created with: stable for its id, never 0.
uint32_t Signature(uint32_t id);
void QueueEvent(State& s, uint8_t code, uint32_t devid);
uint32_t NewId(State& s);
Disk* PresentDisk(State& s, uint32_t id);
Array* FindArray(State& s, uint32_t id);
bool IsEmptySlot(uint32_t id);
// True when the disk belongs to no array and is not a spare.
bool DiskIsFree(const Disk& d);
// The arrays holding space on the disk, in the order they took it (at most eight count).
std::vector<uint32_t> Parents(const Disk& d);

// Disk space, from the extents of the arrays on the disk.
uint64_t FreeSectors(const Disk& d);
uint64_t LargestFree(const Disk& d);
// First gap that holds `sectors`; false when none does.
bool AllocateExtent(Disk& d, uint32_t array, uint64_t sectors);
void ReleaseExtents(Disk& d, uint32_t array);

// How many member failures a level survives.
int Redundancy(uint8_t raidlevel);
// Recomputes disabled / critical / need-rebuild of every array from its members.
void RefreshHealth(State& s);
// Sectors of the array's capacity for a level, member count and per-disk size.
uint64_t LevelCapacity(uint8_t raidlevel, size_t members, uint64_t perDisk);
// A member disk went away or failed: arrays degrade, and a spare takes over when allowed.
void DiskLost(State& s, uint32_t diskId);
// Starts the rebuild of slot `slot` onto `disk`.
void StartRebuild(State& s, Array& a, size_t slot, uint32_t disk);
// Removes an array (and its sub-arrays) and frees its disk space.
void RemoveArray(State& s, uint32_t id);

// The lowest SCSI target no array or disk shows; 255 when all are taken.
uint8_t NextTargetId(const State& s);

// One tick of task, battery and script progress.
void Advance(State& s);

}  // namespace emu::model
