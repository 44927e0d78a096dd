#include "tcg_hash.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "sha512.h"
#include "tcg_dev.h"
#include "tcg_log.h"

namespace {

constexpr size_t kMaxKeyLength = 256;

// Derived keys of this run, found by a digest of their inputs so that no password is kept.
std::map<std::array<uint8_t, kSha512DigestSize>, std::vector<uint8_t>>& hashCache() {
    static std::map<std::array<uint8_t, kSha512DigestSize>, std::vector<uint8_t>> cache;
    return cache;
}

std::array<uint8_t, kSha512DigestSize> cacheKey(const uint8_t* password, size_t passwordLength,
                                                const std::vector<uint8_t>& salt,
                                                uint32_t iterations, uint8_t hashsize) {
    Sha512 h;
    const uint64_t lengths[2] = {passwordLength, salt.size()};
    h.update(lengths, sizeof lengths);
    h.update(password, passwordLength);
    h.update(salt.data(), salt.size());
    h.update(&iterations, sizeof iterations);
    h.update(&hashsize, sizeof hashsize);
    std::array<uint8_t, kSha512DigestSize> key;
    h.final(key.data());
    return key;
}

}  // namespace

void tcgClearHashCache() {
    hashCache().clear();
}

void TcgHashPassword(std::vector<uint8_t>& hash, const char* password,
                     const std::vector<uint8_t>& salt, uint32_t iterations, uint8_t hashsize) {
    TCGLOG(TCG_DBG1) << " Entered TcgHashPassword";
    if (hashsize >= 254) TCGLOG(TCG_ERR) << "Hashsize > 253 incorrect token generated";
    hash.clear();
    if (password != nullptr && password[0] != '\0') {
        const size_t length = strnlen(password, kMaxKeyLength);
        const uint8_t* key = reinterpret_cast<const uint8_t*>(password);
        const auto id = cacheKey(key, length, salt, iterations, hashsize);
        auto found = hashCache().find(id);
        if (found == hashCache().end()) {
            std::vector<uint8_t> derived(hashsize);
            pbkdf2HmacSha512(key, length, salt.data(), salt.size(), iterations, derived.data(),
                             derived.size());
            found = hashCache().emplace(id, std::move(derived)).first;
        }
        hash = found->second;
    }
    hash.insert(hash.begin(), uint8_t(hash.size()));
    hash.insert(hash.begin(), 0xD0);
}

void TcgHashPwd(std::vector<uint8_t>& hash, const char* password, const TcgDev* device) {
    TCGLOG(TCG_DBG1) << " Entered TcgHashPwd";
    if (device->hashingDisabled) {
        const size_t length = password != nullptr ? strnlen(password, kTcgHashSize) : 0;
        hash.assign(password, password + length);
        hash.insert(hash.begin(), uint8_t(length));
        hash.insert(hash.begin(), 0xD0);
    } else {
        const char* serial = device->diskInfo.serialNumber;
        const std::vector<uint8_t> salt(serial, serial + 20);
        TcgHashPassword(hash, password, salt, kTcgHashIterations, kTcgHashSize);
    }
    TCGLOG(TCG_DBG1) << " Exit TcgHashPwd";
}

bool validatePBKDF2() {
    struct Vector {
        uint8_t length;
        uint32_t iterations;
        const char* password;
        const char* salt;
        const char* expected;
    };
    // The inputs of RFC 6070 with their PBKDF2-HMAC-SHA-512 results.
    static const Vector kVectors[] = {
        {20, 1, "password", "salt", "867f70cf1ade02cff3752599a3a53dc4af34c7a6"},
        {20, 2, "password", "salt", "e1d9c16aa681708a45f5c7c4e215ceb66e011a2e"},
        {20, 4096, "password", "salt", "d197b1b33db0143e018b12f3d1d1479e6cdebdcc"},
        {25, 4096, "passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt",
         "8c0511f4c6e597c6ac6315d8f0362e225f3c501495ba23b868"},
    };
    bool passed = true;
    for (const Vector& v : kVectors) {
        std::printf("Password %s Salt %s Iterations %i Length %i\n", v.password, v.salt,
                    int(v.iterations), int(v.length));
        const std::vector<uint8_t> salt(v.salt, v.salt + std::strlen(v.salt));
        std::vector<uint8_t> token;
        TcgHashPassword(token, v.password, salt, v.iterations, v.length);
        std::printf("Expected Result: %s\nActual Result  : ", v.expected);
        std::string actual;
        char hex[3];
        for (size_t i = 2; i < token.size(); ++i) {
            std::snprintf(hex, sizeof hex, "%02x", token[i]);
            actual += hex;
        }
        std::printf("%s\n", actual.c_str());
        if (actual != v.expected) passed = false;
    }
    return passed;
}
