#include "numbers.h"

#include <cstring>

bool parseDecimal(const char* text, uint64_t min, uint64_t max, uint64_t& value) {
    if (text == nullptr || *text == '\0') return false;
    uint64_t n = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return false;
        const uint64_t digit = static_cast<uint64_t>(*p - '0');
        if (n > (UINT64_MAX - digit) / 10) return false;
        n = n * 10 + digit;
    }
    if (n < min || n > max) return false;
    value = n;
    return true;
}

bool parseHex32(const char* text, uint32_t& value) {
    if (text == nullptr) return false;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text += 2;
    if (*text == '\0' || std::strlen(text) > 8) return false;
    uint32_t n = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        const char c = *p;
        uint32_t digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<uint32_t>(c - 'A' + 10);
        else
            return false;
        n = n << 4 | digit;
    }
    value = n;
    return true;
}
