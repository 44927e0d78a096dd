#include "tcg_command.h"

#include <cstring>

#include "tcg_log.h"

TcgCommand::TcgCommand() {
    TCGLOG(TCG_DBG1) << "Creating TcgCommand()";
    std::memset(cmdbuf_, 0, sizeof cmdbuf_);
    std::memset(respbuf_, 0, sizeof respbuf_);
}

TcgCommand::TcgCommand(OPAL_UID invoker, OPAL_METHOD method) {
    TCGLOG(TCG_DBG1) << "Creating TcgCommand(ID, InvokingUid, method)";
    reset(invoker, method);
}

TcgCommand::~TcgCommand() {
    TCGLOG(TCG_DBG1) << "Destroying TcgCommand";
}

void TcgCommand::reset() {
    TCGLOG(TCG_DBG1) << "Entering TcgCommand::reset()";
    std::memset(cmdbuf_, 0, sizeof cmdbuf_);
    std::memset(respbuf_, 0, sizeof respbuf_);
    bufferpos_ = kHeaderSize;
    failed_ = false;
    secretReply_ = false;
    secrets_.clear();
}

void TcgCommand::reset(OPAL_UID invoker, OPAL_METHOD method) {
    TCGLOG(TCG_DBG1) << "Entering TcgCommand::reset(OPAL_UID,OPAL_METHOD)";
    reset();
    addToken(CALL);
    addToken(invoker);
    const uint8_t tag = BYTESTRING8;
    append(&tag, 1);
    append(OPALMETHOD[method], 8);
}

void TcgCommand::reset(OPAL_UID invoker, const std::vector<uint8_t>& method) {
    TCGLOG(TCG_DBG1) << "Entering TcgCommand::reset(OPAL_UID,vector<uint8_t>)";
    reset();
    addToken(CALL);
    addToken(invoker);
    addToken(method);
}

void TcgCommand::reset(const std::vector<uint8_t>& invoker, const std::vector<uint8_t>& method) {
    TCGLOG(TCG_DBG1) << "Entering TcgCommand::reset(vector<uint8_t>,vector<uint8_t>)";
    reset();
    addToken(CALL);
    addToken(invoker);
    addToken(method);
}

bool TcgCommand::append(const uint8_t* data, uint32_t length) {
    if (failed_) return false;
    if (bufferpos_ < kHeaderSize) bufferpos_ = kHeaderSize;  // never reset: build on a clean frame
    if (length > kBufferSize - bufferpos_) {
        TCGLOG(TCG_ERR) << " Standard Buffer Overrun " << bufferpos_ + length;
        failed_ = true;
        return false;
    }
    if (length != 0) std::memcpy(cmdbuf_ + bufferpos_, data, length);
    bufferpos_ += length;
    return true;
}

void TcgCommand::addToken(uint64_t number) {
    TCGLOG(TCG_DBG1) << "Entering TcgCommand::addToken(uint64_t)";
    std::vector<uint8_t> token;
    tcgEncodeUint(token, number);
    append(token.data(), uint32_t(token.size()));
}

void TcgCommand::addToken(const std::vector<uint8_t>& encoded) {
    TCGLOG(TCG_DBG1) << "Entering TcgCommand::addToken(vector<uint8_t>)";
    if (encoded.size() > kBufferSize) {
        TCGLOG(TCG_ERR) << " Standard Buffer Overrun " << bufferpos_ + unsigned(encoded.size());
        failed_ = true;
        return;
    }
    append(encoded.data(), uint32_t(encoded.size()));
}

void TcgCommand::addToken(const char* text) {
    TCGLOG(TCG_DBG1) << "Entering TcgCommand::addToken(const char *)";
    const size_t length = text != nullptr ? std::strlen(text) : 0;
    std::vector<uint8_t> token;
    if (!tcgEncodeBytes(token, reinterpret_cast<const uint8_t*>(text), length)) {
        TCGLOG(TCG_ERR) << "FAIL -- can't send LARGE ATOM size bytestring in 2048 Packet";
        failed_ = true;
        return;
    }
    append(token.data(), uint32_t(token.size()));
}

void TcgCommand::addToken(OPAL_UID uid) {
    TCGLOG(TCG_DBG1) << "Entering TcgCommand::addToken(OPAL_UID)";
    const uint8_t tag = BYTESTRING8;
    if (append(&tag, 1)) append(OPALUID[uid], 8);
}

void TcgCommand::addToken(OPAL_TOKEN token) {
    const uint8_t b = token;
    append(&b, 1);
}

void TcgCommand::addToken(OPAL_TINY_ATOM atom) {
    const uint8_t b = atom;
    append(&b, 1);
}

void TcgCommand::addToken(OPAL_SHORT_ATOM atom) {
    const uint8_t b = atom;
    append(&b, 1);
}

void TcgCommand::addCredential(const std::vector<uint8_t>& encoded) {
    const uint32_t start = bufferpos_ < kHeaderSize ? kHeaderSize : bufferpos_;
    addToken(encoded);
    if (!failed_) secrets_.emplace_back(start, bufferpos_);
}

void TcgCommand::addCredentialText(const char* text) {
    const uint32_t start = bufferpos_ < kHeaderSize ? kHeaderSize : bufferpos_;
    addToken(text);
    if (!failed_) secrets_.emplace_back(start, bufferpos_);
}

void TcgCommand::putBigEndian(uint32_t offset, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) cmdbuf_[offset + i] = uint8_t(value >> (8 * (bytes - 1 - i)));
}

int TcgCommand::complete(uint8_t eod) {
    TCGLOG(TCG_DBG1) << "Entering TcgCommand::complete(uint8_t EOD)";
    if (eod) {
        static const uint8_t kTail[] = {ENDOFDATA, STARTLIST, 0x00, 0x00, 0x00, ENDLIST};
        append(kTail, sizeof kTail);
    }
    if (failed_) return kTcgCommandFailed;
    putBigEndian(52, bufferpos_ - kHeaderSize, 4);  // SubPacket length, without padding
    while (bufferpos_ % 4 != 0) cmdbuf_[bufferpos_++] = 0;
    putBigEndian(40, bufferpos_ - 44, 4);  // Packet length
    putBigEndian(16, bufferpos_ - 20, 4);  // ComPacket length
    return 0;
}

void TcgCommand::changeInvokingUid(const std::vector<uint8_t>& uidToken) {
    TCGLOG(TCG_DBG1) << "Entering TcgCommand::changeInvokingUid()";
    constexpr uint32_t kInvoker = kHeaderSize + 1;
    if (uidToken.size() > kBufferSize - kInvoker) {
        TCGLOG(TCG_ERR) << " Standard Buffer Overrun " << kInvoker + unsigned(uidToken.size());
        failed_ = true;
        return;
    }
    std::memcpy(cmdbuf_ + kInvoker, uidToken.data(), uidToken.size());
}

void TcgCommand::setcomID(uint16_t comID) {
    TCGLOG(TCG_DBG1) << "Entering TcgCommand::setcomID()";
    putBigEndian(4, comID, 2);
    putBigEndian(6, 0, 2);
}

void TcgCommand::setTSN(uint32_t tsn) {
    TCGLOG(TCG_DBG1) << "Entering TcgCommand::setTSN()";
    putBigEndian(20, tsn, 4);
}

void TcgCommand::setHSN(uint32_t hsn) {
    TCGLOG(TCG_DBG1) << "Entering TcgCommand::setHSN()";
    putBigEndian(24, hsn, 4);
}
