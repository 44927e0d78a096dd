#include "atoms.h"

#include <cstring>

namespace emu::tcg {
namespace {

void PutHeaderAndData(Bytes& out, bool isBytes, bool isSigned, const uint8_t* data, size_t length) {
    if (length <= 15) {
        out.push_back(uint8_t(0x80 | (isBytes ? 0x20 : 0) | (isSigned ? 0x10 : 0) | length));
    } else if (length <= 2047) {
        out.push_back(uint8_t(0xC0 | (isBytes ? 0x10 : 0) | (isSigned ? 0x08 : 0) | length >> 8));
        out.push_back(uint8_t(length));
    } else {
        out.push_back(uint8_t(0xE0 | (isBytes ? 0x02 : 0) | (isSigned ? 0x01 : 0)));
        out.push_back(uint8_t(length >> 16));
        out.push_back(uint8_t(length >> 8));
        out.push_back(uint8_t(length));
    }
    out.insert(out.end(), data, data + length);
}

// Big-endian bytes of `value`, as few as it needs (at least one).
size_t BigEndian(uint64_t value, uint8_t (&buf)[8]) {
    size_t n = 1;
    while (n < 8 && (value >> (8 * n)) != 0) ++n;
    for (size_t i = 0; i < n; ++i) buf[i] = uint8_t(value >> (8 * (n - 1 - i)));
    return n;
}

}  // namespace

Uid Token::AsUid() const {
    Uid u{};
    if (kind == Kind::String && bytes.size() >= 8) std::memcpy(u.data(), bytes.data(), 8);
    return u;
}

void PutUint(Bytes& out, uint64_t value) {
    if (value < 64) {
        out.push_back(uint8_t(value));
        return;
    }
    uint8_t buf[8];
    const size_t n = BigEndian(value, buf);
    PutHeaderAndData(out, false, false, buf, n);
}

void PutInt(Bytes& out, int64_t value) {
    if (value >= -32 && value < 32) {
        out.push_back(uint8_t(0x40 | (uint8_t(value) & 0x3F)));
        return;
    }
    // Shortest two's complement that keeps the sign.
    size_t n = 1;
    while (n < 8) {
        const int64_t lo = -(int64_t(1) << (8 * n - 1)), hi = (int64_t(1) << (8 * n - 1)) - 1;
        if (value >= lo && value <= hi) break;
        ++n;
    }
    uint8_t buf[8];
    for (size_t i = 0; i < n; ++i) buf[i] = uint8_t(uint64_t(value) >> (8 * (n - 1 - i)));
    PutHeaderAndData(out, false, true, buf, n);
}

void PutBytes(Bytes& out, const uint8_t* data, size_t length) {
    PutHeaderAndData(out, true, false, data, length);
}

void PutBytes(Bytes& out, const Bytes& data) {
    PutBytes(out, data.data(), data.size());
}

void PutText(Bytes& out, std::string_view text) {
    PutBytes(out, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

void PutUid(Bytes& out, const Uid& uid) {
    PutBytes(out, uid.data(), uid.size());
}

void PutControl(Bytes& out, uint8_t control) {
    out.push_back(control);
}

void PutNamedUint(Bytes& out, uint64_t name, uint64_t value) {
    out.push_back(kStartName);
    PutUint(out, name);
    PutUint(out, value);
    out.push_back(kEndName);
}

Bytes EncodeTokens(const std::vector<Token>& tokens) {
    Bytes out;
    for (const Token& t : tokens) {
        switch (t.kind) {
            case Token::Kind::Uint:
                PutUint(out, t.uint);
                break;
            case Token::Kind::Int:
                PutInt(out, t.sint);
                break;
            case Token::Kind::String:
                PutBytes(out, t.bytes);
                break;
            case Token::Kind::Control:
                out.push_back(t.control);
                break;
        }
    }
    return out;
}

bool DecodeToken(const uint8_t* data, size_t length, Token& out, std::string& error) {
    out = Token{};
    if (length == 0) {
        error = "no token";
        return false;
    }
    const uint8_t b = data[0];
    if (b < 0x80) {
        out.form = AtomForm::Tiny;
        out.size = 1;
        if (b & 0x40) {
            out.kind = Token::Kind::Int;
            out.sint = int64_t(b & 0x3F) - ((b & 0x20) ? 64 : 0);
        } else {
            out.kind = Token::Kind::Uint;
            out.uint = b & 0x3F;
        }
        return true;
    }
    if (b >= 0xF0) {
        switch (b) {
            case kStartList:
            case kEndList:
            case kStartName:
            case kEndName:
            case kCall:
            case kEndOfData:
            case kEndOfSession:
            case kStartTransaction:
            case kEndTransaction:
            case kEmptyAtom:
                out.form = AtomForm::Control;
                out.kind = Token::Kind::Control;
                out.control = b;
                out.size = 1;
                return true;
            default:
                error = "reserved token " + Hex(&b, 1);
                return false;
        }
    }
    size_t header = 0, dataLength = 0;
    bool isBytes = false, isSigned = false;
    if (b < 0xC0) {
        out.form = AtomForm::Short;
        header = 1;
        dataLength = b & 0x0F;
        isBytes = b & 0x20;
        isSigned = b & 0x10;
    } else if (b < 0xE0) {
        out.form = AtomForm::Medium;
        header = 2;
        if (length < 2) {
            error = "medium atom header cut off";
            return false;
        }
        dataLength = size_t(b & 0x07) << 8 | data[1];
        isBytes = b & 0x10;
        isSigned = b & 0x08;
    } else if (b < 0xE4) {
        out.form = AtomForm::Long;
        header = 4;
        if (length < 4) {
            error = "long atom header cut off";
            return false;
        }
        dataLength = size_t(data[1]) << 16 | size_t(data[2]) << 8 | data[3];
        isBytes = b & 0x02;
        isSigned = b & 0x01;
    } else {
        error = "reserved token " + Hex(&b, 1);
        return false;
    }
    if (dataLength > length - header) {
        error = "atom of " + std::to_string(dataLength) + " bytes runs past the end";
        return false;
    }
    if (isBytes && isSigned) {
        error = "continued atoms are not supported";
        return false;
    }
    const uint8_t* d = data + header;
    out.size = header + dataLength;
    if (isBytes) {
        out.kind = Token::Kind::String;
        out.bytes.assign(d, d + dataLength);
        return true;
    }
    if (dataLength > 8) {
        error = "integer of " + std::to_string(dataLength) + " bytes";
        return false;
    }
    uint64_t v = 0;
    for (size_t i = 0; i < dataLength; ++i) v = v << 8 | d[i];
    if (isSigned) {
        out.kind = Token::Kind::Int;
        if (dataLength > 0 && dataLength < 8 && (d[0] & 0x80))
            v |= ~uint64_t(0) << (8 * dataLength);
        out.sint = int64_t(v);
    } else {
        out.kind = Token::Kind::Uint;
        out.uint = v;
    }
    return true;
}

bool DecodeTokens(const uint8_t* data, size_t length, std::vector<Token>& out, std::string& error) {
    out.clear();
    size_t at = 0;
    while (at < length) {
        Token t;
        std::string why;
        if (!DecodeToken(data + at, length - at, t, why)) {
            error = "token at " + std::to_string(at) + ": " + why;
            return false;
        }
        t.offset = at;
        at += t.size;
        out.push_back(std::move(t));
    }
    return true;
}

std::string Hex(const uint8_t* data, size_t length) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(2 * length);
    for (size_t i = 0; i < length; ++i) {
        s += kDigits[data[i] >> 4];
        s += kDigits[data[i] & 15];
    }
    return s;
}

bool FromHex(const std::string& text, Bytes& out) {
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    if (text.size() % 2) return false;
    Bytes b;
    for (size_t i = 0; i < text.size(); i += 2) {
        const int hi = nibble(text[i]), lo = nibble(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        b.push_back(uint8_t(hi << 4 | lo));
    }
    out = std::move(b);
    return true;
}

}  // namespace emu::tcg
