#pragma once

// Faults a test can arm on a drive model, so that the host's error paths meet a misbehaving
// drive. Each fault counts the events it could apply to from the moment it was armed.

#include <cstdint>
#include <optional>

#include "atoms.h"

namespace emu::tcg {

struct Fault {
    enum class Kind : uint8_t {
        AbortSend,             // TRUSTED SEND ends in ATA ABRT (`value`: only on this ComID, 0 any)
        AbortReceive,          // TRUSTED RECEIVE ends in ATA ABRT (`value` as above)
        Pending,               // the reply is "not ready" for `value` polls (-1: never ready)
        ComPacketLength,       // the reply's ComPacket length field is off by `value` bytes
        PacketLength,          // ... its Packet length
        SubPacketLength,       // ... its SubPacket length
        ZeroHeader,            // the reply comes back as zeros only
        NoStatus,              // the reply lacks End_of_Data and the status list
        TokenPastEnd,          // the reply's last atom claims more bytes than the SubPacket holds
        WrongTokenKind,        // the reply's first integer result is an empty atom (control token)
        MethodStatus,          // the call fails with status `value` and changes nothing
        RefuseSessionTimeout,  // a StartSession carrying a SessionTimeout fails (INVALID_PARAMETER)
    };
    Kind kind = Kind::MethodStatus;
    int64_t value = 0;
    // Replies and statuses apply only to calls of this method / on this invoking UID.
    std::optional<Uid> method;
    std::optional<Uid> invoker;
    uint32_t onCall = 0;  // the n-th matching event only (1-based); 0: from the first on
    uint32_t times = 0;   // how many events it applies to; 0: every one
    uint32_t seen = 0;    // matching events so far (kept by the drive)
};

}  // namespace emu::tcg
