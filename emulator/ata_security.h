#pragma once

// The ATA security feature set (SECURITY SET PASSWORD, UNLOCK, ERASE PREPARE, ERASE UNIT,
// FREEZE LOCK, DISABLE PASSWORD), SANITIZE DEVICE and DOWNLOAD MICROCODE of an emulated disk.

#include <cstddef>
#include <cstdint>

#include "ark.h"
#include "state.h"

namespace emu {

// A disk's microcode image, as this model's disks take it: "DMFW", the image length (u32,
// little-endian, at least 16), the new firmware revision (8 characters, blank padded), then
// anything. The revision applies once every byte up to the length has arrived in order.
constexpr char kMicrocodeMagic[4] = {'D', 'M', 'F', 'W'};
constexpr uint16_t kMicrocodeMaxBlocks = 128;  // largest segment, in 512-byte blocks

// What power-on resets: a disk with a password locks again, freeze locks and failed attempts
// are forgotten, a partial microcode download is dropped.
void PowerCycle(Disk& disk);

// A tick of a running sanitize operation.
void AdvanceSanitize(Disk& disk, uint32_t progressPerTick);

namespace model {

// Runs one of the commands above; `h` becomes the reply header. False aborts the command.
// `erasePrepared` is whether the command before this one was SECURITY ERASE PREPARE.
bool AtaSecurityCommand(Disk& disk, ARK_ATA_PASSTHROUGH& h, const uint8_t* dataOut, size_t length,
                        bool erasePrepared);

// True for the commands AtaSecurityCommand answers.
bool IsAtaSecurityCommand(uint8_t command);

// The disk flags that follow from the state: locked, erasing.
void UpdateSecurityFlags(Disk& disk);

}  // namespace model
}  // namespace emu
