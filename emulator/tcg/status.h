#pragma once

#include <cstdint>

namespace emu::tcg::status {
constexpr uint8_t kSuccess = 0x00;
constexpr uint8_t kNotAuthorized = 0x01;
constexpr uint8_t kSpBusy = 0x03;
constexpr uint8_t kSpFailed = 0x04;
constexpr uint8_t kSpDisabled = 0x05;
constexpr uint8_t kSpFrozen = 0x06;
constexpr uint8_t kNoSessionsAvailable = 0x07;
constexpr uint8_t kUniquenessConflict = 0x08;
constexpr uint8_t kInsufficientSpace = 0x09;
constexpr uint8_t kInsufficientRows = 0x0A;
constexpr uint8_t kInvalidFunction = 0x0B;
constexpr uint8_t kInvalidParameter = 0x0C;
constexpr uint8_t kTPerMalfunction = 0x0F;
constexpr uint8_t kResponseOverflow = 0x11;
constexpr uint8_t kAuthorityLockedOut = 0x12;
constexpr uint8_t kFail = 0x3F;
}  // namespace emu::tcg::status
