#pragma once

// ComPacket / Packet / SubPacket framing of one IF-SEND or IF-RECV transfer.

#include <cstdint>
#include <string>

#include "atoms.h"

namespace emu::tcg {

constexpr size_t kComPacketHeader = 20;
constexpr size_t kPacketHeader = 24;
constexpr size_t kSubPacketHeader = 12;
constexpr size_t kFrameHeader = kComPacketHeader + kPacketHeader + kSubPacketHeader;  // 56

// What one received frame carries once its headers were checked.
struct Frame {
    uint16_t comId = 0;
    uint32_t tsn = 0;
    uint32_t hsn = 0;
    Bytes payload;  // the SubPacket's data, without padding
};

// Checks a transfer the host sent on `comId` and takes its one Packet with its one data
// SubPacket. Refused, with the reason: a ComID or extension that differs, OutstandingData or
// MinTransfer not 0, a ComPacket that does not fit the transfer or exceeds `maxComPacket`,
// lengths that do not nest exactly (Packet = 24 + ..., SubPacket padded to 4), a non-data
// SubPacket, sequence or acknowledgement fields set, non-zero padding or bytes after the
// ComPacket.
bool ParseFrame(const uint8_t* data, size_t length, uint16_t comId, size_t maxComPacket, Frame& out,
                std::string& error);

// One ComPacket with one Packet and one data SubPacket around `payload`, padded to 4 bytes.
Bytes BuildFrame(uint16_t comId, uint32_t tsn, uint32_t hsn, const Bytes& payload);

uint32_t GetBig32(const uint8_t* p);
uint16_t GetBig16(const uint8_t* p);
void PutBig32(uint8_t* p, uint32_t v);
void PutBig16(uint8_t* p, uint16_t v);

}  // namespace emu::tcg
