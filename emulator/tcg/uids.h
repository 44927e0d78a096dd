#pragma once

// Object and method identifiers the drive model knows, and their names for the call log.

#include <string>

#include "atoms.h"

namespace emu::tcg {

constexpr Uid MakeUid(uint32_t high, uint32_t low) {
    return {uint8_t(high >> 24), uint8_t(high >> 16), uint8_t(high >> 8), uint8_t(high),
            uint8_t(low >> 24),  uint8_t(low >> 16),  uint8_t(low >> 8),  uint8_t(low)};
}

namespace uid {
constexpr Uid kSessionManager = MakeUid(0, 0xFF);
constexpr Uid kThisSp = MakeUid(0, 1);
constexpr Uid kAdminSp = MakeUid(0x205, 1);
constexpr Uid kLockingSp = MakeUid(0x205, 2);
constexpr Uid kEnterpriseLockingSp = MakeUid(0x205, 0x00010001);
constexpr Uid kNone = MakeUid(0xFFFFFFFF, 0xFFFFFFFF);

// Authorities (Authority table 00 00 00 09).
constexpr Uid kAnybody = MakeUid(9, 1);
constexpr Uid kAdmins = MakeUid(9, 2);
constexpr Uid kMakers = MakeUid(9, 3);
constexpr Uid kSid = MakeUid(9, 6);
constexpr Uid kPsid = MakeUid(9, 0x0001FF01);
constexpr Uid kAdminSpAdmin1 = MakeUid(9, 0x00000201);
constexpr Uid kUsers = MakeUid(9, 0x00030000);
constexpr uint32_t kAdminBase = 0x00010000;  // Admin n: 00 01 00 n
constexpr uint32_t kUserBase = 0x00030000;   // User n: 00 03 00 n
constexpr Uid kEraseMaster = MakeUid(9, 0x8401);
constexpr uint32_t kBandMasterBase = 0x8001;  // BandMaster n: 80 01 + n

// C_PIN rows (00 00 00 0B).
constexpr Uid kCPinSid = MakeUid(0x0B, 1);
constexpr Uid kCPinMsid = MakeUid(0x0B, 0x8402);
constexpr Uid kCPinPsid = MakeUid(0x0B, 0x0001FF01);

// Tables and rows of the Locking SP.
constexpr Uid kLockingInfo = MakeUid(0x0801, 1);
constexpr Uid kLockingGlobal = MakeUid(0x0802, 1);
constexpr Uid kMbrControl = MakeUid(0x0803, 1);
constexpr Uid kMbrTable = MakeUid(0x0804, 0);
}  // namespace uid

namespace method {
constexpr Uid kProperties = MakeUid(0, 0xFF01);
constexpr Uid kStartSession = MakeUid(0, 0xFF02);
constexpr Uid kSyncSession = MakeUid(0, 0xFF03);
constexpr Uid kCloseSession = MakeUid(0, 0xFF06);
constexpr Uid kRevert = MakeUid(6, 0x0202);
constexpr Uid kActivate = MakeUid(6, 0x0203);
constexpr Uid kEGet = MakeUid(6, 6);
constexpr Uid kESet = MakeUid(6, 7);
constexpr Uid kNext = MakeUid(6, 8);
constexpr Uid kEAuthenticate = MakeUid(6, 0x0C);
constexpr Uid kGetAcl = MakeUid(6, 0x0D);
constexpr Uid kGenKey = MakeUid(6, 0x10);
constexpr Uid kRevertSp = MakeUid(6, 0x11);
constexpr Uid kGet = MakeUid(6, 0x16);
constexpr Uid kSet = MakeUid(6, 0x17);
constexpr Uid kAuthenticate = MakeUid(6, 0x1C);
constexpr Uid kRandom = MakeUid(6, 0x0601);
constexpr Uid kErase = MakeUid(6, 0x0803);
}  // namespace method

inline uint32_t UidLow(const Uid& u) {
    return uint32_t(u[4]) << 24 | uint32_t(u[5]) << 16 | uint32_t(u[6]) << 8 | u[7];
}
inline uint32_t UidHigh(const Uid& u) {
    return uint32_t(u[0]) << 24 | uint32_t(u[1]) << 16 | uint32_t(u[2]) << 8 | u[3];
}

// A readable name ("LockingSP", "C_PIN_MSID", "User3", "Band2", "Get") or the 16 hex digits.
std::string UidName(const Uid& u);
std::string MethodName(const Uid& u);

}  // namespace emu::tcg
