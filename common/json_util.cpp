#include "json_util.h"

#include <algorithm>
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
    // The member list itself: the document's own iterators carry checks that can throw.
    const auto* members = v.get_ptr<const value::object_t*>();
    if (!members) return kNull;
    auto it = std::find_if(members->begin(), members->end(),
                           [key](const auto& m) { return m.first == key; });
    return it == members->end() ? kNull : it->second;
}

int64_t toInt64(const value& v) noexcept {
    // get_ptr rather than get: it cannot throw, and the type has been checked already.
    switch (v.type()) {
        case value::value_t::boolean:
            return *v.get_ptr<const value::boolean_t*>() ? 1 : 0;
        case value::value_t::number_integer:
            return *v.get_ptr<const value::number_integer_t*>();
        case value::value_t::number_unsigned:
            return static_cast<int64_t>(*v.get_ptr<const value::number_unsigned_t*>());
        case value::value_t::number_float:
            return truncate(*v.get_ptr<const value::number_float_t*>());
        case value::value_t::string:
            return std::strtoll(v.get_ptr<const value::string_t*>()->c_str(), nullptr, 0);
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
