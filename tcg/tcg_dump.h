#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// Hex dump to standard output, 16 bytes a line with the offset in front. Bytes inside one of
// the `hidden` ranges [first, second) print as "**": credentials never reach the output.
void tcgHexDump(const void* data, size_t length,
                const std::vector<std::pair<uint32_t, uint32_t>>& hidden = {});
