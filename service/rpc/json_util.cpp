#include "json_util.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace json {

namespace {

// Copying, comparing and dumping a value recurse once per level; a hostile document nested a
// million deep would overflow a worker's stack. Documents of this system nest a few levels.
constexpr int kMaxDepth = 256;

bool nestingWithinLimit(std::string_view text) {
    int depth = 0;
    bool inString = false, escaped = false;
    for (char c : text) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        switch (c) {
            case '"':
                inString = true;
                break;
            case '[':
            case '{':
                if (++depth > kMaxDepth) return false;
                break;
            case ']':
            case '}':
                --depth;
                break;
            default:
                break;
        }
    }
    return true;
}

int64_t truncate(double d) {
    if (std::isnan(d)) return 0;
    // 2^63 is exact in a double; anything at or beyond it does not fit.
    if (d >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
    if (d <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(d);
}

}  // namespace

const value& member(const value& v, std::string_view key) noexcept {
    static const value kNull;
    if (!v.is_object()) return kNull;
    auto it = v.find(std::string(key));
    return it == v.end() ? kNull : *it;
}

int64_t toInt64(const value& v) noexcept {
    switch (v.type()) {
        case value::value_t::boolean:
            return v.get<bool>() ? 1 : 0;
        case value::value_t::number_integer:
            return v.get<int64_t>();
        case value::value_t::number_unsigned:
            return static_cast<int64_t>(v.get<uint64_t>());
        case value::value_t::number_float:
            return truncate(v.get<double>());
        case value::value_t::string:
            return std::strtoll(v.get_ref<const std::string&>().c_str(), nullptr, 0);
        default:
            return 0;
    }
}

int32_t toInt(const value& v) noexcept {
    return static_cast<int32_t>(toInt64(v));
}

uint32_t toUInt(const value& v) noexcept {
    return static_cast<uint32_t>(toInt64(v));
}

std::string toText(const value& v) {
    if (v.is_string()) return v.get<std::string>();
    return dump(v);
}

std::string toTextOrEmpty(const value& v) {
    return v.is_null() ? std::string() : toText(v);
}

bool parse(std::string_view text, value& out) noexcept {
    try {
        if (!nestingWithinLimit(text)) return false;
        value parsed = value::parse(text.begin(), text.end(), nullptr, false);
        if (parsed.is_discarded()) return false;
        out = std::move(parsed);
        return true;
    } catch (...) {
        return false;
    }
}

std::string dump(const value& v, int indent) noexcept {
    try {
        return v.dump(indent, ' ', false, value::error_handler_t::replace);
    } catch (...) {
        return std::string();
    }
}

}  // namespace json
