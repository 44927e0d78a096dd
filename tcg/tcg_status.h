#pragma once

#include <cstdint>

// Results of TCG operations besides the method statuses the drive returns (1-63).
constexpr uint8_t kTcgSuccess = 0x00;
constexpr uint8_t kTcgFailed = 0x81;
constexpr uint8_t kTcgNoObject = 0x82;          // a session or command object was not created
constexpr uint8_t kTcgInvalidParameter = 0x83;  // also: operation not supported
constexpr uint8_t kTcgAuthFailed = 0x87;        // Authenticate answered false
constexpr uint8_t kTcgBadHeader = 0x88;         // reply header unusable
constexpr uint8_t kTcgNoMethodStatus = 0x89;    // no status list at the end of the reply
constexpr uint8_t kTcgBadReply = 0x8A;          // a reply token of the wrong kind or missing
constexpr uint8_t kTcgReplyTimeout = 0x8B;      // the drive never finished its reply
