#include "json_builder.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace json {

namespace {

// Objects up to this size are searched for a repeated key; larger ones get an index.
constexpr std::size_t kScanLimit = 16;

class Builder : public nlohmann::json_sax<value> {
public:
    Builder(int maxDepth, std::size_t maxValues) : m_maxDepth(maxDepth), m_maxValues(maxValues) {}

    value& result() { return m_root; }

    bool null() override { return put(value()); }
    bool boolean(bool v) override { return put(value(v)); }
    bool number_integer(number_integer_t v) override { return put(value(v)); }
    bool number_unsigned(number_unsigned_t v) override { return put(value(v)); }
    bool number_float(number_float_t v, const string_t&) override { return put(value(v)); }
    bool string(string_t& v) override { return put(value(std::move(v))); }
    bool binary(binary_t&) override { return false; }

    bool start_object(std::size_t) override { return open(value::object()); }
    bool start_array(std::size_t) override { return open(value::array()); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }

    bool key(string_t& name) override {
        Open& top = m_stack.back();
        auto& members =
            static_cast<value::object_t::Container&>(top.container->get_ref<value::object_t&>());
        if (std::size_t at = find(top, members, name); at != kNone) {
            m_slot = &members[at].second;
            *m_slot = nullptr;
            return true;
        }
        if (top.index) top.index->emplace(name, members.size());
        members.emplace_back(std::move(name), nullptr);
        m_slot = &members.back().second;
        if (!top.index && members.size() > kScanLimit) {
            top.index = std::make_unique<std::unordered_map<std::string, std::size_t>>();
            for (std::size_t i = 0; i < members.size(); ++i)
                top.index->emplace(members[i].first, i);
        }
        return true;
    }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    struct Open {
        value* container;
        std::unique_ptr<std::unordered_map<std::string, std::size_t>> index;
    };

    static std::size_t find(const Open& top, const value::object_t::Container& members,
                            const std::string& name) {
        if (top.index) {
            auto it = top.index->find(name);
            return it == top.index->end() ? kNone : it->second;
        }
        for (std::size_t i = 0; i < members.size(); ++i) {
            if (members[i].first == name) return i;
        }
        return kNone;
    }

    // Places a finished value: the root, the member named by the last key, or the next element.
    value* place(value&& v) {
        if (++m_count > m_maxValues) return nullptr;
        if (m_stack.empty()) {
            m_root = std::move(v);
            return &m_root;
        }
        value& top = *m_stack.back().container;
        if (top.is_array()) {
            auto& elements = top.get_ref<value::array_t&>();
            elements.push_back(std::move(v));
            return &elements.back();
        }
        *m_slot = std::move(v);
        return m_slot;
    }

    bool put(value&& v) { return place(std::move(v)) != nullptr; }

    bool open(value&& container) {
        if (static_cast<int>(m_stack.size()) >= m_maxDepth) return false;
        value* at = place(std::move(container));
        if (at == nullptr) return false;
        m_stack.push_back({at, nullptr});
        return true;
    }

    bool close() {
        m_stack.pop_back();
        return true;
    }

    int m_maxDepth;
    std::size_t m_maxValues;
    std::size_t m_count = 0;
    value m_root;
    value* m_slot = nullptr;
    std::vector<Open> m_stack;
};

}  // namespace

bool parseBounded(std::string_view text, value& out, int maxDepth, std::size_t maxValues) noexcept {
    try {
        Builder builder(maxDepth, maxValues);
        if (!value::sax_parse(text.begin(), text.end(), &builder)) return false;
        out = std::move(builder.result());
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace json
