#pragma once

#include <cstddef>
#include <string_view>

#include "json_util.h"

namespace json {

// Limits of a document read from outside. Copying, comparing and dumping a value recurse once
// per level, so a hostile document nested a million deep would overflow a worker's stack;
// documents of this system nest a few levels and hold a few hundred values.
inline constexpr int kMaxDepth = 256;
inline constexpr std::size_t kMaxValues = 65536;

// Builds a `value` from JSON text in time linear in the text: members are appended in document
// order and a repeated key is found through an index instead of a scan of the object (the later
// value replaces the earlier one in its place). Fails on a syntax error and on a document past
// the limits above; on failure `out` is left unchanged. Never throws.
bool parseBounded(std::string_view text, value& out, int maxDepth = kMaxDepth,
                  std::size_t maxValues = kMaxValues) noexcept;

}  // namespace json
