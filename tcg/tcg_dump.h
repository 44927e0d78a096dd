#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// Hex dump to standard output, 16 bytes a line with the offset in front. Bytes inside one of
// the `hidden` ranges [first, second) print as "**": credentials never reach the output.
void tcgHexDump(const void* data, size_t length,
                const std::vector<std::pair<uint32_t, uint32_t>>& hidden = {});

// The frame at `frame` (a 1024-byte command or reply buffer) as its header fields and one
// named token a line, at DBG. Tokens inside `secrets` and, with `secretValues`, every byte
// string (an 8-byte credential looks like a UID) print as "<credential>".
void tcgAnnotatedDump(const char* direction, const uint8_t* frame,
                      const std::vector<std::pair<uint32_t, uint32_t>>& secrets, bool secretValues);
