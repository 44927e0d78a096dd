#pragma once

// Numbers typed on the command line: whole and in range, or refused before any request.

#include <cstdint>

// Decimal digits only (no sign, no blanks), value within [min, max].
bool parseDecimal(const char* text, uint64_t min, uint64_t max, uint64_t& value);

// Hexadecimal digits, with or without a leading "0x", value within 32 bits.
bool parseHex32(const char* text, uint32_t& value);
