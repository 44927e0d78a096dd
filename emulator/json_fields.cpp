#include "json_fields.h"

#include <cerrno>
#include <cstdlib>

namespace emu {
namespace {

// Runs the parser once more only to learn where and why it stopped.
class ErrorOnly : public nlohmann::json_sax<nlohmann::json> {
public:
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override { return true; }
    bool key(string_t&) override { return true; }
    bool end_object() override { return true; }
    bool start_array(std::size_t) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(std::size_t, const std::string&,
                     const nlohmann::detail::exception& ex) override {
        message = ex.what();
        // Drop the library's "[json.exception.parse_error.101] " tag.
        if (const size_t end = message.find("] "); message.starts_with("[") && end != message.npos)
            message.erase(0, end + 2);
        return false;
    }
    std::string message;
};

}  // namespace

bool ParseJson(const std::string& text, nlohmann::json& out, std::string& error) {
    out = nlohmann::json::parse(text, nullptr, false);
    if (!out.is_discarded()) return true;
    ErrorOnly reader;
    nlohmann::json::sax_parse(text, &reader);
    error = "not valid JSON";
    if (!reader.message.empty()) error += ": " + reader.message;
    return false;
}

bool ExpectObject(const nlohmann::json& j, const std::string& where, std::string& error) {
    if (j.is_object()) return true;
    if (error.empty()) error = where + ": expected an object";
    return false;
}

JsonFields::JsonFields(const nlohmann::json& object, std::string where, std::string& error)
    : m_object(object), m_where(std::move(where)), m_error(error) {}

bool JsonFields::Has(const char* key) const {
    return m_object.is_object() && m_object.contains(key);
}

const nlohmann::json* JsonFields::Raw(const char* key) {
    m_read.insert(key);
    if (!m_object.is_object()) return nullptr;
    auto it = m_object.find(key);
    return it == m_object.end() ? nullptr : &*it;
}

void JsonFields::Fail(const std::string& field, const std::string& message) {
    if (m_error.empty()) m_error = Path(field) + ": " + message;
}

bool JsonFields::ReadInt(const nlohmann::json& j, const std::string& field, int64_t min,
                         uint64_t max, int64_t& out) {
    const uint64_t limit = std::min<uint64_t>(max, uint64_t(std::numeric_limits<int64_t>::max()));
    const std::string range =
        "expected an integer from " + std::to_string(min) + " to " + std::to_string(limit);
    if (j.is_number_unsigned()) {
        const uint64_t v = j.get<uint64_t>();
        if (v > limit) return Fail(field, range), false;
        out = int64_t(v);
    } else if (j.is_number_integer()) {
        out = j.get<int64_t>();
    } else if (j.is_string()) {
        const std::string& text = j.get_ref<const std::string&>();
        char* end = nullptr;
        errno = 0;
        const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
        if (text.empty() || *end || errno || text[0] == '-' || v > limit) {
            return Fail(field, range), false;
        }
        out = int64_t(v);
    } else {
        return Fail(field, range), false;
    }
    if (out < min || (out >= 0 && uint64_t(out) > limit)) return Fail(field, range), false;
    return true;
}

void JsonFields::Bool(const char* key, bool& value) {
    const nlohmann::json* j = Raw(key);
    if (!j) return;
    if (!j->is_boolean()) return Fail(key, "expected true or false");
    value = j->get<bool>();
}

void JsonFields::String(const char* key, std::string& value) {
    const nlohmann::json* j = Raw(key);
    if (!j) return;
    if (!j->is_string()) return Fail(key, "expected a string");
    value = j->get_ref<const std::string&>();
}

void JsonFields::Text(const char* key, std::string& value, size_t maxLength) {
    std::string text = value;
    String(key, text);
    if (text.size() > maxLength) {
        return Fail(key, "longer than " + std::to_string(maxLength) + " bytes");
    }
    value = text;
}

void JsonFields::Bytes(const char* key, std::vector<uint8_t>& value, size_t maxCount) {
    const nlohmann::json* j = Raw(key);
    if (!j) return;
    if (!j->is_array() || j->size() > maxCount) {
        return Fail(key, "expected a list of at most " + std::to_string(maxCount) + " integers");
    }
    std::vector<uint8_t> out;
    for (size_t i = 0; i < j->size(); ++i) {
        int64_t v = 0;
        if (!ReadInt((*j)[i], std::string(key) + "[" + std::to_string(i) + "]", 0, 255, v)) return;
        out.push_back(uint8_t(v));
    }
    value = out;
}

bool JsonFields::Finish() {
    if (!m_object.is_object()) return Ok();
    for (const auto& [key, v] : m_object.items()) {
        if (!m_read.count(key)) {
            Fail(key, "unknown field");
            break;
        }
    }
    return Ok();
}

}  // namespace emu
