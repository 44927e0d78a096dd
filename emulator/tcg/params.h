#pragma once

// Reading a method call out of a decoded token stream.

#include <optional>
#include <string>
#include <vector>

#include "atoms.h"

namespace emu::tcg {

// Splits Call, invoking UID, method UID, the parameter list, End_of_Data and the host's
// status list (which must be 0 0 0). False with the reason when the stream is not one
// well-formed call: lists and names must nest.
bool SplitCall(const std::vector<Token>& tokens, Uid& invoker, Uid& method,
               std::vector<Token>& params, std::string& error);

// Index just past the value that starts at `i` (one atom, or a whole list or named pair);
// nullopt when it does not end inside `t`.
std::optional<size_t> SkipValue(const std::vector<Token>& t, size_t i);

// Walks parameters: required ones in order, then named ones.
class ParamReader {
public:
    explicit ParamReader(const std::vector<Token>& t) : m_t(t) {}

    bool AtEnd() const { return m_i >= m_t.size(); }
    bool Uint(uint64_t& v);
    bool Uid8(Uid& v);
    bool ByteString(Bytes& v);
    // At a Start_Name: its name token and the value's tokens. False at anything else.
    bool Named(Token& name, std::vector<Token>& value);
    bool NextIsName() const { return !AtEnd() && m_t[m_i].IsControl(kStartName); }

private:
    const std::vector<Token>& m_t;
    size_t m_i = 0;
};

}  // namespace emu::tcg
