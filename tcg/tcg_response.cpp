#include "tcg_response.h"

#include <cstring>

#include "tcg_log.h"

namespace {

constexpr size_t kHeaderSize = 56;

// Total length of the token whose first bytes are at `p` (`avail` of them readable), or 0
// when even its header does not fit.
size_t tokenLength(const uint8_t* p, size_t avail) {
    const uint8_t b = p[0];
    if (b < 0x80) return 1;
    if (b < 0xC0) return size_t(b & 0x0F) + 1;
    if (b < 0xE0) return avail < 2 ? 0 : (size_t(b & 0x07) << 8 | p[1]) + 2;
    if (b < 0xF0) return avail < 4 ? 0 : (size_t(p[1]) << 16 | size_t(p[2]) << 8 | p[3]) + 4;
    return 1;
}

}  // namespace

TcgResponse::TcgResponse() {
    TCGLOG(TCG_DBG1) << "Creating  TcgResponse()";
}

TcgResponse::~TcgResponse() {
    TCGLOG(TCG_DBG1) << "Destroying TcgResponse";
}

uint32_t TcgResponse::field(int offset) const {
    return uint32_t(header_[offset]) << 24 | uint32_t(header_[offset + 1]) << 16 |
           uint32_t(header_[offset + 2]) << 8 | header_[offset + 3];
}

void TcgResponse::init(const uint8_t* buffer, size_t size) {
    TCGLOG(TCG_DBG1) << "Entering  TcgResponse::init";
    std::memset(header_, 0, sizeof header_);
    tokens_.clear();
    truncated_ = false;
    if (buffer == nullptr || size < kHeaderSize) {
        truncated_ = buffer != nullptr && size != 0;
        if (buffer != nullptr) std::memcpy(header_, buffer, size);
        TCGLOG(TCG_DBG1) << "Exiting  TcgResponse::init";
        return;
    }
    std::memcpy(header_, buffer, kHeaderSize);
    size_t length = getSubPacketLength();
    if (length > size - kHeaderSize) {
        TCGLOG(TCG_DBG) << "SubPacket length " << (unsigned long long)length
                        << " runs past the reply buffer";
        length = size - kHeaderSize;
        truncated_ = true;
    }
    const uint8_t* data = buffer + kHeaderSize;
    size_t at = 0;
    while (at < length) {
        const size_t n = tokenLength(data + at, length - at);
        if (n == 0 || n > length - at) {
            TCGLOG(TCG_DBG) << "Token at " << (unsigned long long)at << " runs past the reply";
            truncated_ = true;
            break;
        }
        tokens_.emplace_back(data + at, data + at + n);
        at += n;
    }
    TCGLOG(TCG_DBG1) << "Exiting  TcgResponse::init";
}

const std::vector<uint8_t>* TcgResponse::getRawToken(uint32_t index) const {
    return index < tokens_.size() ? &tokens_[index] : nullptr;
}

OPAL_TOKEN TcgResponse::tokenIs(uint32_t index) const {
    TCGLOG(TCG_DBG1) << "Entering  TcgResponse::tokenIs";
    if (index >= tokens_.size()) return NO_TOKEN;
    const uint8_t b = tokens_[index][0];
    bool byteString = false;
    bool isSigned = false;
    if (b < 0x80) {
        isSigned = (b & 0x40) != 0;
    } else if (b < 0xC0) {
        byteString = (b & 0x20) != 0;
        isSigned = (b & 0x10) != 0;
    } else if (b < 0xE0) {
        byteString = (b & 0x10) != 0;
        isSigned = (b & 0x08) != 0;
    } else if (b < 0xF0) {
        byteString = (b & 0x02) != 0;
        isSigned = (b & 0x01) != 0;
    } else {
        return OPAL_TOKEN(b);
    }
    if (byteString) return DTA_TOKENID_BYTESTRING;
    return isSigned ? DTA_TOKENID_SINT : DTA_TOKENID_UINT;
}

std::optional<uint64_t> TcgResponse::getUint64(uint32_t index) const {
    TCGLOG(TCG_DBG1) << "Entering  TcgResponse::getUint64";
    if (index >= tokens_.size()) {
        TCGLOG(TCG_ERR) << "Token " << index << " requested of a reply with "
                        << unsigned(tokens_.size()) << " tokens";
        return std::nullopt;
    }
    const std::vector<uint8_t>& t = tokens_[index];
    const uint8_t b = t[0];
    if (b < 0x80) {
        if (b & 0x40) {
            TCGLOG(TCG_ERR) << "unsigned int requested for signed tiny atom";
            return std::nullopt;
        }
        return uint64_t(b & 0x3F);
    }
    if (b < 0xC0) {
        if ((b & 0x10) && !(b & 0x20)) {
            TCGLOG(TCG_ERR) << "unsigned int requested for signed short atom";
            return std::nullopt;
        }
        if (t.size() - 1 > 8) {
            TCGLOG(TCG_ERR) << "UINT64 with greater than 8 bytes";
            return std::nullopt;
        }
        uint64_t value = 0;
        for (size_t i = 1; i < t.size(); ++i) value = value << 8 | t[i];
        return value;
    }
    if (b < 0xE0) {
        TCGLOG(TCG_ERR) << "unsigned int requested for medium atom is unsupported";
    } else if (b < 0xF0) {
        TCGLOG(TCG_ERR) << "unsigned int requested for long atom is unsupported";
    } else {
        TCGLOG(TCG_ERR) << "unsigned int requested for token is unsupported";
    }
    return std::nullopt;
}

std::optional<uint32_t> TcgResponse::getUint32(uint32_t index) const {
    TCGLOG(TCG_DBG1) << "Entering  TcgResponse::getUint32";
    const std::optional<uint64_t> v = getUint64(index);
    if (!v) return std::nullopt;
    if (*v > 0xFFFFFFFFull) TCGLOG(TCG_ERR) << "UINT32 truncated ";
    return uint32_t(*v);
}

std::optional<uint16_t> TcgResponse::getUint16(uint32_t index) const {
    TCGLOG(TCG_DBG1) << "Entering  TcgResponse::getUint16";
    const std::optional<uint64_t> v = getUint64(index);
    if (!v) return std::nullopt;
    if (*v > 0xFFFF) TCGLOG(TCG_ERR) << "UINT16 truncated ";
    return uint16_t(*v);
}

std::optional<uint8_t> TcgResponse::getUint8(uint32_t index) const {
    TCGLOG(TCG_DBG1) << "Entering  TcgResponse::getUint8";
    const std::optional<uint64_t> v = getUint64(index);
    if (!v) return std::nullopt;
    if (*v > 0xFF) TCGLOG(TCG_ERR) << "UINT8 truncated ";
    return uint8_t(*v);
}

std::optional<std::string> TcgResponse::getString(uint32_t index) const {
    TCGLOG(TCG_DBG1) << "Entering  TcgResponse::getString";
    if (index >= tokens_.size()) {
        TCGLOG(TCG_ERR) << "Token " << index << " requested of a reply with "
                        << unsigned(tokens_.size()) << " tokens";
        return std::nullopt;
    }
    const std::vector<uint8_t>& t = tokens_[index];
    const uint8_t b = t[0];
    size_t headerLength = 1;
    if (b < 0x80) {
        TCGLOG(TCG_ERR) << "Cannot get a string from a tiny atom";
        return std::nullopt;
    }
    if (b >= 0xF0) {
        TCGLOG(TCG_ERR) << "Cannot get a string from a TOKEN";
        return std::nullopt;
    }
    if (b >= 0xE0) {
        headerLength = 4;
    } else if (b >= 0xC0) {
        headerLength = 2;
    }
    return std::string(t.begin() + long(headerLength), t.end());
}
