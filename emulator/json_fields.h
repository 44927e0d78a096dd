#pragma once

// Reads the fields of one JSON object without exceptions, remembering which keys were read so
// that an unknown key can be reported by name. The first error wins.

#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <type_traits>

namespace emu {

class JsonFields {
public:
    // `where` names the object in messages ("domains[0].disks[2]").
    JsonFields(const nlohmann::json& object, std::string where, std::string& error);

    bool Has(const char* key) const;
    const nlohmann::json* Raw(const char* key);  // marks the key as read; null when absent

    template <typename T>
    void Int(const char* key, T& value) {
        const nlohmann::json* j = Raw(key);
        if (!j) return;
        int64_t v = 0;
        if (!ReadInt(*j, key, std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), v))
            return;
        value = T(v);
    }
    void Bool(const char* key, bool& value);
    void String(const char* key, std::string& value);
    // A string limited to `maxLength` bytes.
    void Text(const char* key, std::string& value, size_t maxLength);
    // An array of small integers, at most `maxCount` of them.
    void Bytes(const char* key, std::vector<uint8_t>& value, size_t maxCount);

    // Reports the first key that nothing read. Returns true while no error was recorded.
    bool Finish();
    bool Ok() const { return m_error.empty(); }
    void Fail(const std::string& field, const std::string& message);
    std::string Path(const std::string& field) const { return m_where + "." + field; }
    const std::string& Where() const { return m_where; }

    // Reads an integer (also "0x..." text) in [min, max].
    bool ReadInt(const nlohmann::json& j, const std::string& field, int64_t min, uint64_t max,
                 int64_t& out);

private:
    const nlohmann::json& m_object;
    std::string m_where;
    std::string& m_error;
    std::set<std::string> m_read;
};

// Parses `text`; on bad JSON false, with "not valid JSON: " and where the parser stopped.
bool ParseJson(const std::string& text, nlohmann::json& out, std::string& error);

// Checks that `j` is an object; reports `where` otherwise.
bool ExpectObject(const nlohmann::json& j, const std::string& where, std::string& error);

}  // namespace emu
