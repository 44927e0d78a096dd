#include "tcg_dump.h"

#include <cstdio>

void tcgHexDump(const void* data, size_t length,
                const std::vector<std::pair<uint32_t, uint32_t>>& hidden) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    for (size_t line = 0; line < length; line += 16) {
        std::printf("%04zx ", line);
        for (size_t i = line; i < line + 16 && i < length; ++i) {
            bool secret = false;
            for (const auto& span : hidden) secret = secret || (i >= span.first && i < span.second);
            if (secret) {
                std::printf(" **");
            } else {
                std::printf(" %02x", p[i]);
            }
        }
        std::printf("\n");
    }
}
