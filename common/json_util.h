#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

// The JSON value of the management API: RPC parameters and results, and the configuration
// document. Ordered, so a written object keeps the order its members were set in.
using value = nlohmann::ordered_json;

// Helpers that never throw, for code that reads untrusted documents on worker threads.
namespace json {

// The member `key` of `v`; a shared null when `v` is not an object or has no such member.
const value& member(const value& v, std::string_view key) noexcept;

// Number reads: a boolean is 0 or 1, an integer itself, a floating number truncated toward zero
// (clamped to the range, NaN 0), a string the number strtoll gives with base 0 ("0x3C" 60, "017"
// 15, "12abc" 12, "abc" 0), anything else (null, array, object) 0. The narrower reads take the
// low bits of the 64-bit value, so "-1" reads as 0xFFFFFFFF unsigned.
int64_t toInt64(const value& v) noexcept;
int32_t toInt(const value& v) noexcept;
uint32_t toUInt(const value& v) noexcept;

// Text read: a string as it stands, a boolean "true"/"false", a number in its printed form,
// null "null"; arrays and objects as compact JSON.
std::string toText(const value& v);
// As toText, but a missing (null) value is the empty text: for settings such as mail
// addresses and user names, where "null" would be taken for a real value.
std::string toTextOrEmpty(const value& v);

// Parses `text` into `out` without exceptions, in time linear in its length. A document nested
// deeper than 256 levels or holding more than 65536 values fails like a syntax error. On
// failure `out` is left unchanged.
bool parse(std::string_view text, value& out) noexcept;

// Serialises `v`, replacing bytes that are not valid UTF-8 by U+FFFD; never throws. indent -1
// gives compact text, else pretty text with that many blanks per level.
std::string dump(const value& v, int indent = -1) noexcept;

}  // namespace json
