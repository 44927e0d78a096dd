#pragma once

// What the Opal-family and Enterprise operations share: the session each runs on, the UIDs
// they build at run time, and strict parsing of authority names.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tcg_dev.h"
#include "tcg_session.h"
#include "tcg_tokens.h"

using TcgBytes = std::vector<uint8_t>;

// A fresh session as the device's activeSession (the one before is ended first).
inline TcgSession& tcgNewSession(TcgDev& dev) {
    dev.activeSession.reset();
    dev.activeSession = std::make_unique<TcgSession>(&dev);
    return *dev.activeSession;
}

// Ends the device's session (End of Session unless it expects the drive to end it).
inline void tcgEndSession(TcgDev& dev) {
    dev.activeSession.reset();
}

// A UID token from 8 bytes.
TcgBytes tcgUid(const uint8_t (&uid)[8]);
// The table row `row` with its last byte replaced.
TcgBytes tcgUidWithLast(OPAL_UID row, uint8_t last);
// An Opal locking range: 0 the global range, N (1-255) 00 00 08 02 00 03 00 N.
TcgBytes tcgOpalRangeUid(uint8_t range);
// An Enterprise band (0 the global band) and its BandMaster authority: N+1 in the low 12 bits.
TcgBytes tcgBandUid(uint16_t band);
TcgBytes tcgBandMasterUid(uint16_t band);
// The C_PIN row of an authority: the fourth UID byte 0x0B instead of 0x09.
TcgBytes tcgCPinOf(TcgBytes authority);

// "<prefix><n>" with n a plain decimal (no sign, blank or leading zero) in [low, high].
std::optional<uint32_t> tcgNumberedName(const char* name, const char* prefix, uint32_t low,
                                        uint32_t high);

// Encoded single values.
TcgBytes tcgUintToken(uint64_t value);
TcgBytes tcgTextToken(const char* text);
// A clear credential: 0xD0, the length (up to 255), the bytes.
TcgBytes tcgClearCredential(const char* text);

// A value of a reply token as a number, when it is one.
std::optional<uint64_t> tcgReplyUint(const TcgResponse& response, uint32_t index);

// The UID token of a method.
TcgBytes tcgMethodToken(OPAL_METHOD method);

// objDump and rawCmd, the same for every dialect: UIDs and the parameter list as hex text.
uint8_t tcgObjDump(TcgDev& dev, const char* sp, const char* auth, const char* pass,
                   const char* objID);
uint8_t tcgRawCmd(TcgDev& dev, const char* sp, const char* auth, const char* pass,
                  const char* invoker, const char* method, const char* plist);
