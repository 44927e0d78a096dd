#pragma once

// The drive side's token codec: atoms and control tokens of the TCG Storage method-call
// stream. Written independently of the host stack so that each can check the other.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace emu::tcg {

using Bytes = std::vector<uint8_t>;
using Uid = std::array<uint8_t, 8>;

// Control tokens.
enum : uint8_t {
    kStartList = 0xF0,
    kEndList = 0xF1,
    kStartName = 0xF2,
    kEndName = 0xF3,
    kCall = 0xF8,
    kEndOfData = 0xF9,
    kEndOfSession = 0xFA,
    kStartTransaction = 0xFB,
    kEndTransaction = 0xFC,
    kEmptyAtom = 0xFF,
};

// How an atom was written on the wire.
enum class AtomForm : uint8_t { Tiny, Short, Medium, Long, Control };

struct Token {
    enum class Kind : uint8_t { Uint, Int, String, Control };
    Kind kind = Kind::Control;
    AtomForm form = AtomForm::Control;
    uint8_t control = 0;  // the byte, for control tokens
    uint64_t uint = 0;    // unsigned integers
    int64_t sint = 0;     // signed integers
    Bytes bytes;          // byte strings
    size_t offset = 0;    // where the token starts in the decoded stream
    size_t size = 0;      // header plus data

    bool IsControl(uint8_t c) const { return kind == Kind::Control && control == c; }
    bool IsUint() const { return kind == Kind::Uint; }
    bool IsBytes() const { return kind == Kind::String; }
    bool IsUid() const { return kind == Kind::String && bytes.size() == 8; }
    Uid AsUid() const;  // the first 8 bytes of a byte string; zeros otherwise
    std::string Text() const { return std::string(bytes.begin(), bytes.end()); }
};

// Encoders append to `out`. Integers take the shortest form: a tiny atom below 64, else a
// short atom of as few bytes as the value needs. Byte strings take the short form up to 15
// bytes, the medium form up to 2047 and the long form beyond.
void PutUint(Bytes& out, uint64_t value);
void PutInt(Bytes& out, int64_t value);
void PutBytes(Bytes& out, const uint8_t* data, size_t length);
void PutBytes(Bytes& out, const Bytes& data);
void PutText(Bytes& out, std::string_view text);
void PutUid(Bytes& out, const Uid& uid);
void PutControl(Bytes& out, uint8_t control);
// A named value: Start_Name, the name, the value's tokens, End_Name.
void PutNamedUint(Bytes& out, uint64_t name, uint64_t value);
// Decoded tokens written again, each atom in its shortest form.
Bytes EncodeTokens(const std::vector<Token>& tokens);

// Decodes one token at `data` (at most `length` bytes). False with a message for a reserved
// header byte, an atom that runs past `length`, a continued atom, or an integer of more than
// 8 bytes.
bool DecodeToken(const uint8_t* data, size_t length, Token& out, std::string& error);
// Decodes every token of the stream; false with a message naming the offset on the first
// bad token.
bool DecodeTokens(const uint8_t* data, size_t length, std::vector<Token>& out, std::string& error);
inline bool DecodeTokens(const Bytes& stream, std::vector<Token>& out, std::string& error) {
    return DecodeTokens(stream.data(), stream.size(), out, error);
}

std::string Hex(const uint8_t* data, size_t length);
// Upper- or lower-case hex digits, two per byte; false for anything else.
bool FromHex(const std::string& text, Bytes& out);
inline std::string Hex(const Bytes& b) {
    return Hex(b.data(), b.size());
}

}  // namespace emu::tcg
