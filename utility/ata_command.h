#pragma once

// One ATA command to a disk behind the controller, as one pass-through request to the current
// domain. A request that fails, or a command the disk aborts (ERR or DF in its status), is a
// failure, never a silent success.

#include <cstdint>
#include <string>
#include <vector>

#include "ark.h"

struct AtaCommand {
    uint8_t command = 0;
    uint16_t features = 0;
    uint16_t count = 0;
    uint16_t lbaLow = 0, lbaMid = 0, lbaHigh = 0;
    uint8_t device = 0x40;  // LBA
    uint8_t protocol = 0;   // ARK_ATA_DATA_IN, ARK_ATA_DATA_OUT or none
};

enum class AtaOutcome { Ok, RequestFailed, Aborted, UnexpectedStatus };

struct AtaResult {
    AtaOutcome outcome = AtaOutcome::RequestFailed;
    ARK_ATA_PASSTHROUGH reply{};  // the reply header: status in `command`, error in `features`
};

// Sends the command; `data` is sent (protocol 2) or filled (protocol 1) and must hold whole
// 512-byte sectors.
AtaResult runAta(uint32_t disk, const AtaCommand& command, std::vector<uint8_t>* data = nullptr);

// "the disk aborted <what>" and the like; "" for Ok.
std::string ataFailureText(const AtaResult& result, const char* what);
