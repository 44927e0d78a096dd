#pragma once

#include <cstdint>
#include <vector>

class TcgDev;

// Passwords become credential tokens: by default a 32-byte PBKDF2-HMAC-SHA-512 key salted with
// the drive's 20 raw serial-number bytes, 500000 iterations, as the medium byte-string token
// 0xD0, length, bytes. Within one run each (password, salt) pair is derived once.

constexpr uint32_t kTcgHashIterations = 500000;
constexpr uint8_t kTcgHashSize = 32;

// The credential token for `password` on `device`: the password's own bytes (at most 32) when
// the device has hashing disabled, else the derived key.
void TcgHashPwd(std::vector<uint8_t>& hash, const char* password, const TcgDev* device);

// The token 0xD0, hashsize, and hashsize bytes of PBKDF2-HMAC-SHA-512(password, salt,
// iterations); an empty password gives 0xD0 0x00. The key is the password up to its NUL, at
// most 256 bytes.
void TcgHashPassword(std::vector<uint8_t>& hash, const char* password,
                     const std::vector<uint8_t>& salt, uint32_t iterations, uint8_t hashsize);

// Runs the built-in PBKDF2-HMAC-SHA-512 vectors, printing each with its expected and actual
// result; true when all agree.
bool validatePBKDF2();

// Forgets every derived key (tests).
void tcgClearHashCache();
