#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tcg_tokens.h"

// A received IF-RECV buffer split into its 56-byte header and its tokens, with typed access
// by token index. Nothing in the reply is trusted: the SubPacket length is clamped to the
// buffer, the walk stops at the end of the data, and an atom running past it ends the walk
// and marks the reply truncated. Typed accessors answer nothing (and log why) for an index
// past the end or a token of the wrong kind; callers must test the result.
class TcgResponse {
public:
    TcgResponse();
    ~TcgResponse();
    TcgResponse(const TcgResponse&) = delete;
    TcgResponse& operator=(const TcgResponse&) = delete;

    // Replaces the content with the reply in the `size` bytes at `buffer`.
    void init(const uint8_t* buffer, size_t size = 1024);

    uint32_t getTokenCount() const { return uint32_t(tokens_.size()); }
    // Byte string, signed or unsigned integer (OPAL_TOKEN DTA_TOKENID_*), the control byte
    // itself, or NO_TOKEN past the end.
    OPAL_TOKEN tokenIs(uint32_t index) const;

    // Unsigned integers from a tiny or short atom (a short byte string reads as its bytes'
    // big-endian value). A value too wide for the type is logged and truncated.
    std::optional<uint64_t> getUint64(uint32_t index) const;
    std::optional<uint32_t> getUint32(uint32_t index) const;
    std::optional<uint16_t> getUint16(uint32_t index) const;
    std::optional<uint8_t> getUint8(uint32_t index) const;
    // The data bytes of a short, medium or long atom.
    std::optional<std::string> getString(uint32_t index) const;
    // The complete bytes (header and data) of token `index`; null past the end.
    const std::vector<uint8_t>* getRawToken(uint32_t index) const;

    // Header fields, decoded from big-endian.
    uint32_t getOutstandingData() const { return field(8); }
    uint32_t getMinTransfer() const { return field(12); }
    uint32_t getComPacketLength() const { return field(16); }
    uint32_t getPacketLength() const { return field(40); }
    uint32_t getSubPacketLength() const { return field(52); }
    const uint8_t* header() const { return header_; }

    // The SubPacket length ran past the buffer, or an atom past the data.
    bool truncated() const { return truncated_; }

private:
    uint32_t field(int offset) const;

    uint8_t header_[56] = {};
    std::vector<std::vector<uint8_t>> tokens_;
    bool truncated_ = false;
};
