#include "frame.h"

#include <algorithm>

namespace emu::tcg {

uint32_t GetBig32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
uint16_t GetBig16(const uint8_t* p) {
    return uint16_t(p[0] << 8 | p[1]);
}
void PutBig32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}
void PutBig16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}

namespace {

bool AllZero(const uint8_t* p, size_t n) {
    return std::all_of(p, p + n, [](uint8_t b) { return b == 0; });
}

bool Fail(std::string& error, std::string why) {
    error = std::move(why);
    return false;
}

}  // namespace

bool ParseFrame(const uint8_t* data, size_t length, uint16_t comId, size_t maxComPacket, Frame& out,
                std::string& error) {
    out = Frame{};
    if (length < kFrameHeader) return Fail(error, "transfer shorter than the frame headers");
    const uint8_t* cp = data;
    if (!AllZero(cp, 4)) return Fail(error, "ComPacket reserved bytes set");
    out.comId = GetBig16(cp + 4);
    if (out.comId != comId)
        return Fail(error, "ComPacket ComID " + std::to_string(out.comId) + " sent on ComID " +
                               std::to_string(comId));
    if (GetBig16(cp + 6) != 0) return Fail(error, "ComID extension set");
    if (GetBig32(cp + 8) != 0) return Fail(error, "OutstandingData set by the host");
    if (GetBig32(cp + 12) != 0) return Fail(error, "MinTransfer set by the host");
    const uint32_t cpLength = GetBig32(cp + 16);
    if (cpLength > length - kComPacketHeader)
        return Fail(error, "ComPacket length " + std::to_string(cpLength) +
                               " runs past the transfer of " + std::to_string(length));
    if (cpLength > maxComPacket)
        return Fail(error, "ComPacket length " + std::to_string(cpLength) + " above " +
                               std::to_string(maxComPacket));
    if (!AllZero(cp + kComPacketHeader + cpLength, length - kComPacketHeader - cpLength))
        return Fail(error, "bytes after the ComPacket");

    const uint8_t* pk = cp + kComPacketHeader;
    out.tsn = GetBig32(pk);
    out.hsn = GetBig32(pk + 4);
    if (GetBig32(pk + 8) != 0) return Fail(error, "Packet sequence number set");
    if (!AllZero(pk + 12, 2)) return Fail(error, "Packet reserved bytes set");
    if (GetBig16(pk + 14) != 0 || GetBig32(pk + 16) != 0)
        return Fail(error, "Packet acknowledgement set");
    const uint32_t pkLength = GetBig32(pk + 20);
    if (uint64_t(pkLength) + kPacketHeader != cpLength)
        return Fail(error, "Packet length " + std::to_string(pkLength) +
                               " does not fill the ComPacket length " + std::to_string(cpLength));

    const uint8_t* sp = pk + kPacketHeader;
    if (pkLength < kSubPacketHeader) return Fail(error, "Packet too short for a SubPacket");
    if (!AllZero(sp, 6)) return Fail(error, "SubPacket reserved bytes set");
    if (GetBig16(sp + 6) != 0) return Fail(error, "SubPacket is not a data SubPacket");
    const uint32_t spLength = GetBig32(sp + 8);
    if (spLength == 0) return Fail(error, "empty SubPacket");
    const uint64_t padded = (uint64_t(spLength) + 3) / 4 * 4;
    if (padded + kSubPacketHeader != pkLength)
        return Fail(error, "SubPacket length " + std::to_string(spLength) +
                               " padded to 4 does not fill the Packet length " +
                               std::to_string(pkLength));
    const uint8_t* payload = sp + kSubPacketHeader;
    if (!AllZero(payload + spLength, size_t(padded - spLength)))
        return Fail(error, "padding bytes are not zero");
    out.payload.assign(payload, payload + spLength);
    return true;
}

Bytes BuildFrame(uint16_t comId, uint32_t tsn, uint32_t hsn, const Bytes& payload) {
    const size_t padded = (payload.size() + 3) / 4 * 4;
    Bytes f(kFrameHeader + padded, 0);
    PutBig16(&f[4], comId);
    PutBig32(&f[16], uint32_t(kPacketHeader + kSubPacketHeader + padded));
    PutBig32(&f[20], tsn);
    PutBig32(&f[24], hsn);
    PutBig32(&f[40], uint32_t(kSubPacketHeader + padded));
    PutBig32(&f[52], uint32_t(payload.size()));
    std::copy(payload.begin(), payload.end(), f.begin() + kFrameHeader);
    return f;
}

}  // namespace emu::tcg
