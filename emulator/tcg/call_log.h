#pragma once

// The decoded log of the method calls a drive model received, for tests.

#include <string>
#include <vector>

#include "atoms.h"

namespace emu::tcg {

struct Call {
    std::string sp;         // "SessionManager", "AdminSP", "LockingSP", "EntLockingSP"
    std::string authority;  // the session's authorities joined by '+' ("Anybody" when none)
    Uid invoker{};
    Uid method{};
    std::vector<Token> params;  // the tokens between the parameter list's brackets
    uint8_t status = 0;         // the method status the drive answered
    bool endOfSession = false;  // an End_of_Session token, not a method

    // "[AdminSP/SID] C_PIN_SID.Set({1=[{3=<secret>}]})": lists in brackets, names as
    // {name=value}, known UIDs by name, text in quotes, other byte strings as hex. Credentials
    // (challenges, proofs, PIN values) are shown as <secret>.
    std::string ToString() const;
};

// Renders tokens in the call log's notation, credentials included as <secret>.
std::string RenderTokens(const std::vector<Token>& tokens);

}  // namespace emu::tcg
