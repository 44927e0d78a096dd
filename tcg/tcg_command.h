#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "tcg_tokens.h"

// One TCG method call (or session-control packet) framed as one ComPacket holding one Packet
// holding one Data SubPacket, built into a fixed 1024-byte buffer ready for IF-SEND, plus the
// buffer its reply is received into.
//
// An append that would not fit, or a byte string no frame can carry, writes nothing, logs the
// reason and marks the command failed: complete() then answers kTcgCommandFailed and the
// session refuses to send it. Nothing is ever written past the buffer.
class TcgCommand {
public:
    static constexpr uint32_t kBufferSize = 1024;
    static constexpr uint32_t kHeaderSize = 56;

    TcgCommand();
    TcgCommand(OPAL_UID invoker, OPAL_METHOD method);
    ~TcgCommand();
    TcgCommand(const TcgCommand&) = delete;
    TcgCommand& operator=(const TcgCommand&) = delete;

    // Zeroes both buffers and positions after the header; clears a failure.
    void reset();
    // reset(), then Call, the invoking UID token and the method UID token.
    void reset(OPAL_UID invoker, OPAL_METHOD method);
    void reset(OPAL_UID invoker, const std::vector<uint8_t>& method);
    void reset(const std::vector<uint8_t>& invoker, const std::vector<uint8_t>& method);

    void addToken(uint64_t number);                      // shortest unsigned encoding
    void addToken(const std::vector<uint8_t>& encoded);  // already-encoded token(s), as given
    void addToken(const char* text);                     // text byte string
    void addToken(OPAL_UID uid);
    void addToken(OPAL_TOKEN token);
    void addToken(OPAL_TINY_ATOM atom);
    void addToken(OPAL_SHORT_ATOM atom);
    // An encoded credential token (hashed or clear password): appended as given, and hidden
    // from every dump of this command.
    void addCredential(const std::vector<uint8_t>& encoded);
    // A password sent as text: the text byte string, hidden from dumps.
    void addCredentialText(const char* text);

    // Closes the frame: with `eod` set, End_of_Data and the empty status list; then the three
    // lengths and padding to a multiple of 4. 0, or kTcgCommandFailed for a failed command.
    int complete(uint8_t eod = 1);

    // Overwrites the 9-byte invoking UID token after the Call token.
    void changeInvokingUid(const std::vector<uint8_t>& uidToken);

    void setcomID(uint16_t comID);
    void setTSN(uint32_t tsn);
    void setHSN(uint32_t hsn);

    uint8_t* getCmdBuffer() { return cmdbuf_; }
    const uint8_t* getCmdBuffer() const { return cmdbuf_; }
    uint8_t* getRespBuffer() { return respbuf_; }
    const uint8_t* getRespBuffer() const { return respbuf_; }
    uint32_t position() const { return bufferpos_; }
    bool failed() const { return failed_; }
    // Byte ranges [first, second) of the command buffer that hold credentials.
    const std::vector<std::pair<uint32_t, uint32_t>>& secretSpans() const { return secrets_; }

    // The reply to this command carries a credential (a C_PIN read): dumps leave it out.
    void markSecretReply() { secretReply_ = true; }
    bool secretReply() const { return secretReply_; }

private:
    bool append(const uint8_t* data, uint32_t length);
    void putBigEndian(uint32_t offset, uint32_t value, int bytes);

    alignas(8) uint8_t cmdbuf_[kBufferSize];
    alignas(8) uint8_t respbuf_[kBufferSize];
    uint32_t bufferpos_ = 0;
    bool failed_ = false;
    bool secretReply_ = false;
    std::vector<std::pair<uint32_t, uint32_t>> secrets_;
};

// Status of a command that could not be built (too long, or an atom too large to carry).
constexpr uint8_t kTcgCommandFailed = 0x83;
