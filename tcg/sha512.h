#pragma once

#include <cstddef>
#include <cstdint>

// SHA-512 (FIPS 180-4), HMAC-SHA-512 (RFC 2104) and PBKDF2-HMAC-SHA-512 (RFC 8018), written
// here so that the tool carries no crypto library. PBKDF2 hashes the HMAC pads once per
// password and runs each iteration as two compressions of prepared blocks, with no allocation.

constexpr size_t kSha512DigestSize = 64;
constexpr size_t kSha512BlockSize = 128;

class Sha512 {
public:
    Sha512() { reset(); }
    void reset();
    void update(const void* data, size_t length);
    void final(uint8_t digest[kSha512DigestSize]);

    // The compression function over one 128-byte block.
    static void compress(uint64_t state[8], const uint8_t block[kSha512BlockSize]);

private:
    uint64_t state_[8];
    uint8_t buffer_[kSha512BlockSize];
    size_t buffered_;
    uint64_t totalBytes_;
};

void sha512(const void* data, size_t length, uint8_t digest[kSha512DigestSize]);

void hmacSha512(const uint8_t* key, size_t keyLength, const uint8_t* data, size_t dataLength,
                uint8_t mac[kSha512DigestSize]);

// Derives `outLength` bytes into `out`. Iterations below 1 count as 1.
void pbkdf2HmacSha512(const uint8_t* password, size_t passwordLength, const uint8_t* salt,
                      size_t saltLength, uint32_t iterations, uint8_t* out, size_t outLength);
