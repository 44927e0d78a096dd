#include "params.h"

namespace emu::tcg {

std::optional<size_t> SkipValue(const std::vector<Token>& t, size_t i) {
    if (i >= t.size()) return std::nullopt;
    if (!t[i].IsControl(kStartList) && !t[i].IsControl(kStartName)) {
        if (t[i].kind == Token::Kind::Control && !t[i].IsControl(kEmptyAtom)) return std::nullopt;
        return i + 1;
    }
    const uint8_t close = t[i].IsControl(kStartList) ? kEndList : kEndName;
    size_t j = i + 1;
    while (j < t.size() && !t[j].IsControl(close)) {
        auto next = SkipValue(t, j);
        if (!next) return std::nullopt;
        j = *next;
    }
    if (j >= t.size()) return std::nullopt;
    return j + 1;
}

bool SplitCall(const std::vector<Token>& t, Uid& invoker, Uid& method, std::vector<Token>& params,
               std::string& error) {
    if (t.size() < 4 || !t[0].IsControl(kCall)) {
        error = "not a method call";
        return false;
    }
    if (!t[1].IsUid() || !t[2].IsUid()) {
        error = "invoking UID and method UID must be 8-byte strings";
        return false;
    }
    invoker = t[1].AsUid();
    method = t[2].AsUid();
    if (!t[3].IsControl(kStartList)) {
        error = "no parameter list";
        return false;
    }
    auto end = SkipValue(t, 3);
    if (!end) {
        error = "parameter list does not nest";
        return false;
    }
    params.assign(t.begin() + 4, t.begin() + long(*end) - 1);
    size_t i = *end;
    if (i >= t.size() || !t[i].IsControl(kEndOfData)) {
        error = "no End_of_Data after the parameters";
        return false;
    }
    ++i;
    if (t.size() - i != 5 || !t[i].IsControl(kStartList) || !t[i + 4].IsControl(kEndList)) {
        error = "no status list after End_of_Data";
        return false;
    }
    for (size_t k = i + 1; k < i + 4; ++k) {
        if (!t[k].IsUint() || t[k].uint != 0) {
            error = "host status list is not 0 0 0";
            return false;
        }
    }
    return true;
}

bool ParamReader::Uint(uint64_t& v) {
    if (AtEnd() || !m_t[m_i].IsUint()) return false;
    v = m_t[m_i++].uint;
    return true;
}

bool ParamReader::Uid8(Uid& v) {
    if (AtEnd() || !m_t[m_i].IsUid()) return false;
    v = m_t[m_i++].AsUid();
    return true;
}

bool ParamReader::ByteString(Bytes& v) {
    if (AtEnd() || !m_t[m_i].IsBytes()) return false;
    v = m_t[m_i++].bytes;
    return true;
}

bool ParamReader::Named(Token& name, std::vector<Token>& value) {
    if (!NextIsName()) return false;
    auto end = SkipValue(m_t, m_i);
    if (!end || *end - m_i < 4) return false;  // F2 name value F3
    name = m_t[m_i + 1];
    if (name.kind == Token::Kind::Control) return false;
    value.assign(m_t.begin() + long(m_i) + 2, m_t.begin() + long(*end) - 1);
    auto valueEnd = SkipValue(value, 0);
    if (!valueEnd || *valueEnd != value.size()) return false;  // exactly one value
    m_i = *end;
    return true;
}

}  // namespace emu::tcg
