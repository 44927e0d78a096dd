#pragma once

#include <cstdint>
#include <vector>

#include "tcg_tokens.h"

class TcgCommand;
class TcgDev;
class TcgResponse;

// One session to a security provider of one device, optionally signed by an authority with a
// password. Stamps every command with the session numbers and the device's ComID, sends it
// through the device's exec, and checks the reply's header and method status. Destroying a
// started session ends it with End of Session unless expectAbort was called.
//
// Results are 8-bit codes: 0 success, 1-63 the method status of the reply, or one of the
// tcg_status.h codes.
class TcgSession {
public:
    explicit TcgSession(TcgDev* device);
    ~TcgSession();
    TcgSession(const TcgSession&) = delete;
    TcgSession& operator=(const TcgSession&) = delete;

    uint8_t startSession(OPAL_UID SP, const char* HostChallenge, OPAL_UID SignAuthority);
    uint8_t startSession(OPAL_UID SP, const char* HostChallenge,
                         const std::vector<uint8_t>& SignAuthority);
    uint8_t authenticate(const std::vector<uint8_t>& Authority, const char* Challenge);
    uint8_t sendCommand(TcgCommand& cmd, TcgResponse& response);

    // The method ends the session itself (a revert): send no End of Session.
    void expectAbort() { willAbort = true; }
    // Passwords go to the drive as text, not hashed.
    void dontHashPwd() { hashPwd = false; }

    // Text of a method status.
    static const char* methodStatus(uint8_t status);

    uint32_t tsn() const { return TSN; }
    uint32_t hsn() const { return HSN; }
    uint8_t lastResult() const { return lastRC; }
    // Whether the last sendCommand's result is the drive's method status (its reply was read),
    // not a failure of the exchange, whose codes can take the same values.
    bool drivesAnswer() const { return statusRead; }

private:
    // Appends the credential for `password` to `cmd`: hashed, or as text.
    void addChallenge(TcgCommand& cmd, const char* password);

    TcgDev* device;
    uint32_t TSN = 0;
    uint32_t HSN = 0;
    bool willAbort = false;
    bool hashPwd = true;
    uint8_t protocol = 0x01;
    uint8_t lastRC = 0;
    bool statusRead = false;
};
