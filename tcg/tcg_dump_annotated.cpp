#include <cstdio>
#include <string>

#include "tcg_dump.h"
#include "tcg_log.h"
#include "tcg_tokens.h"

namespace {

uint32_t bigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

bool hidden(const std::vector<std::pair<uint32_t, uint32_t>>& spans, uint32_t first, uint32_t end) {
    for (const auto& s : spans)
        if (first < s.second && s.first < end) return true;
    return false;
}

std::string describe(const TcgToken& t) {
    char text[64];
    if (t.kind == TcgToken::CONTROL) return tcgControlTokenName(uint8_t(t.value));
    if (t.isByteString) {
        if (t.dataLength == 8) {
            std::string uid = "UID";
            for (uint32_t i = 0; i < 8; ++i) {
                std::snprintf(text, sizeof text, " %02X", t.bytes[i]);
                uid += text;
            }
            return uid;
        }
        bool printable = t.dataLength > 0;
        for (uint32_t i = 0; i < t.dataLength; ++i)
            printable = printable && t.bytes[i] >= 0x20 && t.bytes[i] < 0x7F;
        if (printable) return "bytes \"" + std::string(t.bytes, t.bytes + t.dataLength) + "\"";
        std::string hex = "bytes[" + std::to_string(t.dataLength) + "]";
        for (uint32_t i = 0; i < t.dataLength && i < 32; ++i) {
            std::snprintf(text, sizeof text, " %02X", t.bytes[i]);
            hex += text;
        }
        return t.dataLength > 32 ? hex + " ..." : hex;
    }
    if (t.isSigned) {
        std::snprintf(text, sizeof text, "int %lld", (long long)int64_t(t.value));
    } else {
        std::snprintf(text, sizeof text, "uint %llu", (unsigned long long)t.value);
    }
    return text;
}

}  // namespace

void tcgAnnotatedDump(const char* direction, const uint8_t* frame,
                      const std::vector<std::pair<uint32_t, uint32_t>>& secrets,
                      bool secretValues) {
    constexpr uint32_t kFrame = 1024, kPayload = 56;
    TCGLOG(TCG_DBG) << direction << " ComID " << unsigned(frame[4] << 8 | frame[5]) << " TSN "
                    << bigEndian32(frame + 20) << " HSN " << bigEndian32(frame + 24)
                    << " ComPacket " << bigEndian32(frame + 16) << " Packet "
                    << bigEndian32(frame + 40) << " SubPacket " << bigEndian32(frame + 52);
    uint32_t end = kPayload + bigEndian32(frame + 52);
    if (end > kFrame || end < kPayload) end = kFrame;
    for (uint32_t at = kPayload; at < end;) {
        TcgToken token;
        if (!token.parse(frame + at, end - at)) {
            TCGLOG(TCG_DBG) << "    token at " << at << " runs past the data";
            return;
        }
        std::string text;
        if (hidden(secrets, at, at + token.totalLength) || (secretValues && token.isByteString)) {
            text = "<credential>";
        } else {
            text = describe(token);
        }
        TCGLOG(TCG_DBG) << "    " << text;
        at += token.totalLength;
    }
}
