#include "json_util.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "json_builder.h"

namespace json {

namespace {

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
    return parseBounded(text, out);
}

std::string dump(const value& v, int indent) noexcept {
    try {
        return v.dump(indent, ' ', false, value::error_handler_t::replace);
    } catch (...) {
        return std::string();
    }
}

}  // namespace json
