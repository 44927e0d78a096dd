#include "tcg_ops_util.h"

#include <cstring>

#include "tcg_response.h"

TcgBytes tcgUid(const uint8_t (&uid)[8]) {
    TcgBytes token;
    tcgEncodeUid(token, uid);
    return token;
}

TcgBytes tcgUidWithLast(OPAL_UID row, uint8_t last) {
    TcgBytes token = tcgUidToken(row);
    token[8] = last;
    return token;
}

TcgBytes tcgOpalRangeUid(uint8_t range) {
    if (range == 0) return tcgUidToken(OPAL_LOCKINGRANGE_GLOBAL);
    TcgBytes token = tcgUidToken(OPAL_LOCKINGRANGE_GLOBAL);
    token[6] = 0x03;
    token[8] = range;
    return token;
}

namespace {

TcgBytes withLow12(OPAL_UID base, uint16_t band) {
    TcgBytes token = tcgUidToken(base);
    const unsigned n = unsigned(band) + 1;
    token[8] = uint8_t(n & 0xFF);
    token[7] = uint8_t((token[7] & 0xF0) | ((n >> 8) & 0x0F));
    return token;
}

}  // namespace

TcgBytes tcgBandUid(uint16_t band) {
    return withLow12(OPAL_LOCKINGRANGE_GLOBAL, band);
}

TcgBytes tcgBandMasterUid(uint16_t band) {
    return withLow12(ENTERPRISE_BANDMASTER0_UID, band);
}

TcgBytes tcgCPinOf(TcgBytes authority) {
    authority[4] = 0x0B;
    return authority;
}

std::optional<uint32_t> tcgNumberedName(const char* name, const char* prefix, uint32_t low,
                                        uint32_t high) {
    if (name == nullptr) return std::nullopt;
    const size_t n = std::strlen(prefix);
    if (std::strncmp(name, prefix, n) != 0) return std::nullopt;
    const char* digits = name + n;
    if (*digits == '\0' || std::strlen(digits) > 5 || (digits[0] == '0' && digits[1] != '\0'))
        return std::nullopt;
    uint32_t value = 0;
    for (const char* p = digits; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return std::nullopt;
        value = value * 10 + uint32_t(*p - '0');
    }
    if (value < low || value > high) return std::nullopt;
    return value;
}

TcgBytes tcgUintToken(uint64_t value) {
    TcgBytes token;
    tcgEncodeUint(token, value);
    return token;
}

TcgBytes tcgTextToken(const char* text) {
    TcgBytes token;
    tcgEncodeBytes(token, reinterpret_cast<const uint8_t*>(text), std::strlen(text));
    return token;
}

TcgBytes tcgClearCredential(const char* text) {
    const size_t length = text != nullptr ? strnlen(text, 255) : 0;
    TcgBytes token(2 + length);
    token[0] = 0xD0;
    token[1] = uint8_t(length);
    if (length > 0) std::memcpy(token.data() + 2, text, length);
    return token;
}

std::optional<uint64_t> tcgReplyUint(const TcgResponse& response, uint32_t index) {
    if (response.tokenIs(index) != DTA_TOKENID_UINT) return std::nullopt;
    return response.getUint64(index);
}

TcgBytes tcgMethodToken(OPAL_METHOD method) {
    TcgBytes token;
    tcgEncodeUid(token, OPALMETHOD[method]);
    return token;
}
