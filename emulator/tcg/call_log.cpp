#include "call_log.h"

#include <algorithm>

#include "uids.h"

namespace emu::tcg {
namespace {

bool IsSecretName(const Token& name, const Call* call) {
    if (!call) return false;
    const bool numbered = name.IsUint();
    const std::string text = name.IsBytes() ? name.Text() : std::string();
    if (call->method == method::kStartSession)
        return (numbered && name.uint == 0) || text == "HostChallenge";
    if (call->method == method::kAuthenticate || call->method == method::kEAuthenticate)
        return (numbered && name.uint == 0) || text == "Challenge" || text == "Proof";
    // A PIN is written by Set; in a Get, 3 names the start column.
    if (UidHigh(call->invoker) == 0x0B && call->method != method::kGet &&
        call->method != method::kEGet)
        return (numbered && name.uint == 3) || text == "PIN";
    return false;
}

bool Printable(const Bytes& b) {
    return std::all_of(b.begin(), b.end(), [](uint8_t c) { return c >= 0x20 && c < 0x7F; });
}

class Renderer {
public:
    Renderer(const std::vector<Token>& tokens, const Call* call) : m_t(tokens), m_call(call) {}

    std::string All() {
        std::string s;
        while (m_i < m_t.size()) {
            if (!s.empty()) s += ", ";
            s += One();
        }
        return s;
    }

private:
    std::string One() {
        const Token& t = m_t[m_i++];
        switch (t.kind) {
            case Token::Kind::Uint:
                return std::to_string(t.uint);
            case Token::Kind::Int:
                return std::to_string(t.sint);
            case Token::Kind::String:
                return Value(t);
            case Token::Kind::Control:
                break;
        }
        if (t.control == kStartList) {
            std::string s = "[";
            bool first = true;
            while (m_i < m_t.size() && !m_t[m_i].IsControl(kEndList)) {
                if (!first) s += ", ";
                first = false;
                s += One();
            }
            if (m_i < m_t.size()) ++m_i;
            return s + "]";
        }
        if (t.control == kStartName && m_i < m_t.size()) {
            const Token& name = m_t[m_i++];
            std::string s = "{" + (name.IsBytes() ? name.Text() : Plain(name)) + "=";
            const bool secret = IsSecretName(name, m_call);
            std::string value;
            while (m_i < m_t.size() && !m_t[m_i].IsControl(kEndName)) {
                if (!value.empty()) value += ", ";
                value += One();
            }
            if (m_i < m_t.size()) ++m_i;
            return s + (secret ? "<secret>" : value) + "}";
        }
        switch (t.control) {
            case kEmptyAtom:
                return "<empty>";
            case kEndList:
                return "<end list>";
            case kEndName:
                return "<end name>";
            default:
                return "<token " + Hex(&t.control, 1) + ">";
        }
    }

    static std::string Plain(const Token& t) {
        if (t.IsUint()) return std::to_string(t.uint);
        if (t.kind == Token::Kind::Int) return std::to_string(t.sint);
        return "?";
    }

    static std::string Value(const Token& t) {
        if (t.bytes.size() == 8) return UidName(t.AsUid());
        if (Printable(t.bytes)) return "\"" + t.Text() + "\"";
        return "0x" + Hex(t.bytes);
    }

    const std::vector<Token>& m_t;
    const Call* m_call;
    size_t m_i = 0;
};

}  // namespace

std::string RenderTokens(const std::vector<Token>& tokens) {
    return Renderer(tokens, nullptr).All();
}

std::string Call::ToString() const {
    std::string s = "[" + sp;
    if (!authority.empty()) s += "/" + authority;
    if (endOfSession) return s + "] EndOfSession";
    s += "] " + UidName(invoker) + "." + MethodName(method) + "(" + Renderer(params, this).All() +
         ")";
    if (status != 0) s += " -> " + std::to_string(status);
    return s;
}

}  // namespace emu::tcg
