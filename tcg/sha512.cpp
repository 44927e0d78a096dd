#include "sha512.h"

#include <cstring>
#include <vector>

namespace {

constexpr uint64_t K[80] = {
    0x428a2f98d728ae22ull, 0x7137449123ef65cdull, 0xb5c0fbcfec4d3b2full, 0xe9b5dba58189dbbcull,
    0x3956c25bf348b538ull, 0x59f111f1b605d019ull, 0x923f82a4af194f9bull, 0xab1c5ed5da6d8118ull,
    0xd807aa98a3030242ull, 0x12835b0145706fbeull, 0x243185be4ee4b28cull, 0x550c7dc3d5ffb4e2ull,
    0x72be5d74f27b896full, 0x80deb1fe3b1696b1ull, 0x9bdc06a725c71235ull, 0xc19bf174cf692694ull,
    0xe49b69c19ef14ad2ull, 0xefbe4786384f25e3ull, 0x0fc19dc68b8cd5b5ull, 0x240ca1cc77ac9c65ull,
    0x2de92c6f592b0275ull, 0x4a7484aa6ea6e483ull, 0x5cb0a9dcbd41fbd4ull, 0x76f988da831153b5ull,
    0x983e5152ee66dfabull, 0xa831c66d2db43210ull, 0xb00327c898fb213full, 0xbf597fc7beef0ee4ull,
    0xc6e00bf33da88fc2ull, 0xd5a79147930aa725ull, 0x06ca6351e003826full, 0x142929670a0e6e70ull,
    0x27b70a8546d22ffcull, 0x2e1b21385c26c926ull, 0x4d2c6dfc5ac42aedull, 0x53380d139d95b3dfull,
    0x650a73548baf63deull, 0x766a0abb3c77b2a8ull, 0x81c2c92e47edaee6ull, 0x92722c851482353bull,
    0xa2bfe8a14cf10364ull, 0xa81a664bbc423001ull, 0xc24b8b70d0f89791ull, 0xc76c51a30654be30ull,
    0xd192e819d6ef5218ull, 0xd69906245565a910ull, 0xf40e35855771202aull, 0x106aa07032bbd1b8ull,
    0x19a4c116b8d2d0c8ull, 0x1e376c085141ab53ull, 0x2748774cdf8eeb99ull, 0x34b0bcb5e19b48a8ull,
    0x391c0cb3c5c95a63ull, 0x4ed8aa4ae3418acbull, 0x5b9cca4f7763e373ull, 0x682e6ff3d6b2b8a3ull,
    0x748f82ee5defb2fcull, 0x78a5636f43172f60ull, 0x84c87814a1f0ab72ull, 0x8cc702081a6439ecull,
    0x90befffa23631e28ull, 0xa4506cebde82bde9ull, 0xbef9a3f7b2c67915ull, 0xc67178f2e372532bull,
    0xca273eceea26619cull, 0xd186b8c721c0c207ull, 0xeada7dd6cde0eb1eull, 0xf57d4f7fee6ed178ull,
    0x06f067aa72176fbaull, 0x0a637dc5a2c898a6ull, 0x113f9804bef90daeull, 0x1b710b35131c471bull,
    0x28db77f523047d84ull, 0x32caab7b40c72493ull, 0x3c9ebe0a15c9bebcull, 0x431d67c49c100d4cull,
    0x4cc5d4becb3e42b6ull, 0x597f299cfc657e2aull, 0x5fcb6fab3ad6faecull, 0x6c44198c4a475817ull,
};

constexpr uint64_t kInitial[8] = {
    0x6a09e667f3bcc908ull, 0xbb67ae8584caa73bull, 0x3c6ef372fe94f82bull, 0xa54ff53a5f1d36f1ull,
    0x510e527fade682d1ull, 0x9b05688c2b3e6c1full, 0x1f83d9abfb41bd6bull, 0x5be0cd19137e2179ull,
};

inline uint64_t rotr(uint64_t x, int n) {
    return (x >> n) | (x << (64 - n));
}

inline uint64_t load64(const uint8_t* p) {
    return uint64_t(p[0]) << 56 | uint64_t(p[1]) << 48 | uint64_t(p[2]) << 40 |
           uint64_t(p[3]) << 32 | uint64_t(p[4]) << 24 | uint64_t(p[5]) << 16 |
           uint64_t(p[6]) << 8 | uint64_t(p[7]);
}

inline void store64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = uint8_t(v >> (56 - 8 * i));
}

// The compression over a block already held as 16 words.
inline void compressWords(uint64_t state[8], const uint64_t block[16]) {
    uint64_t w[16];
    for (int i = 0; i < 16; ++i) w[i] = block[i];
    uint64_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint64_t e = state[4], f = state[5], g = state[6], h = state[7];

// NOLINTBEGIN(bugprone-macro-parentheses): the arguments are always the eight state variables
#define SHA512_ROUND(a, b, c, d, e, f, g, h, k, wi)                                            \
    do {                                                                                       \
        const uint64_t t1 =                                                                    \
            h + (rotr(e, 14) ^ rotr(e, 18) ^ rotr(e, 41)) + ((e & f) ^ (~e & g)) + (k) + (wi); \
        const uint64_t t2 =                                                                    \
            (rotr(a, 28) ^ rotr(a, 34) ^ rotr(a, 39)) + ((a & b) ^ (a & c) ^ (b & c));         \
        d += t1;                                                                               \
        h = t1 + t2;                                                                           \
    } while (0)
// NOLINTEND(bugprone-macro-parentheses)
#define SHA512_SCHEDULE(i)                                                              \
    (w[(i)&15] +=                                                                       \
     (rotr(w[((i)-2) & 15], 19) ^ rotr(w[((i)-2) & 15], 61) ^ (w[((i)-2) & 15] >> 6)) + \
     w[((i)-7) & 15] +                                                                  \
     (rotr(w[((i)-15) & 15], 1) ^ rotr(w[((i)-15) & 15], 8) ^ (w[((i)-15) & 15] >> 7)))

    for (int i = 0; i < 16; i += 8) {
        SHA512_ROUND(a, b, c, d, e, f, g, h, K[i + 0], w[i + 0]);
        SHA512_ROUND(h, a, b, c, d, e, f, g, K[i + 1], w[i + 1]);
        SHA512_ROUND(g, h, a, b, c, d, e, f, K[i + 2], w[i + 2]);
        SHA512_ROUND(f, g, h, a, b, c, d, e, K[i + 3], w[i + 3]);
        SHA512_ROUND(e, f, g, h, a, b, c, d, K[i + 4], w[i + 4]);
        SHA512_ROUND(d, e, f, g, h, a, b, c, K[i + 5], w[i + 5]);
        SHA512_ROUND(c, d, e, f, g, h, a, b, K[i + 6], w[i + 6]);
        SHA512_ROUND(b, c, d, e, f, g, h, a, K[i + 7], w[i + 7]);
    }
    for (int i = 16; i < 80; i += 8) {
        SHA512_ROUND(a, b, c, d, e, f, g, h, K[i + 0], SHA512_SCHEDULE(i + 0));
        SHA512_ROUND(h, a, b, c, d, e, f, g, K[i + 1], SHA512_SCHEDULE(i + 1));
        SHA512_ROUND(g, h, a, b, c, d, e, f, K[i + 2], SHA512_SCHEDULE(i + 2));
        SHA512_ROUND(f, g, h, a, b, c, d, e, K[i + 3], SHA512_SCHEDULE(i + 3));
        SHA512_ROUND(e, f, g, h, a, b, c, d, K[i + 4], SHA512_SCHEDULE(i + 4));
        SHA512_ROUND(d, e, f, g, h, a, b, c, K[i + 5], SHA512_SCHEDULE(i + 5));
        SHA512_ROUND(c, d, e, f, g, h, a, b, K[i + 6], SHA512_SCHEDULE(i + 6));
        SHA512_ROUND(b, c, d, e, f, g, h, a, K[i + 7], SHA512_SCHEDULE(i + 7));
    }
#undef SHA512_ROUND
#undef SHA512_SCHEDULE

    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

}  // namespace

void Sha512::compress(uint64_t state[8], const uint8_t block[kSha512BlockSize]) {
    uint64_t words[16];
    for (int i = 0; i < 16; ++i) words[i] = load64(block + 8 * i);
    compressWords(state, words);
}

void Sha512::reset() {
    std::memcpy(state_, kInitial, sizeof state_);
    buffered_ = 0;
    totalBytes_ = 0;
}

void Sha512::update(const void* data, size_t length) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    totalBytes_ += length;
    if (buffered_ != 0) {
        const size_t take =
            length < kSha512BlockSize - buffered_ ? length : kSha512BlockSize - buffered_;
        std::memcpy(buffer_ + buffered_, p, take);
        buffered_ += take;
        p += take;
        length -= take;
        if (buffered_ < kSha512BlockSize) return;
        compress(state_, buffer_);
        buffered_ = 0;
    }
    for (; length >= kSha512BlockSize; p += kSha512BlockSize, length -= kSha512BlockSize)
        compress(state_, p);
    if (length != 0) std::memcpy(buffer_, p, length);
    buffered_ = length;
}

void Sha512::final(uint8_t digest[kSha512DigestSize]) {
    // The message length in bits, as a 128-bit big-endian number.
    const uint64_t bitsLow = totalBytes_ << 3;
    const uint64_t bitsHigh = totalBytes_ >> 61;
    uint8_t pad[kSha512BlockSize * 2] = {0x80};
    const size_t padLength = (buffered_ < 112 ? 112 : 240) - buffered_;
    uint8_t length[16];
    store64(length, bitsHigh);
    store64(length + 8, bitsLow);
    update(pad, padLength);
    update(length, sizeof length);
    for (int i = 0; i < 8; ++i) store64(digest + 8 * i, state_[i]);
}

void sha512(const void* data, size_t length, uint8_t digest[kSha512DigestSize]) {
    Sha512 h;
    h.update(data, length);
    h.final(digest);
}

namespace {

// The states after hashing key XOR ipad and key XOR opad.
struct HmacPads {
    uint64_t inner[8];
    uint64_t outer[8];
};

void prepareHmac(const uint8_t* key, size_t keyLength, HmacPads& pads) {
    uint8_t k[kSha512BlockSize] = {};
    if (keyLength > kSha512BlockSize) {
        sha512(key, keyLength, k);
    } else if (keyLength != 0) {
        std::memcpy(k, key, keyLength);
    }
    uint8_t block[kSha512BlockSize];
    for (size_t i = 0; i < kSha512BlockSize; ++i) block[i] = k[i] ^ 0x36;
    std::memcpy(pads.inner, kInitial, sizeof pads.inner);
    Sha512::compress(pads.inner, block);
    for (size_t i = 0; i < kSha512BlockSize; ++i) block[i] = k[i] ^ 0x5C;
    std::memcpy(pads.outer, kInitial, sizeof pads.outer);
    Sha512::compress(pads.outer, block);
    std::memset(k, 0, sizeof k);
    std::memset(block, 0, sizeof block);
}

// HMAC over a message of `length` bytes, continuing from prepared pads.
void hmacFromPads(const HmacPads& pads, const uint8_t* data, size_t length,
                  uint8_t mac[kSha512DigestSize]) {
    // The inner hash continues from the prepared state: the pad block is already hashed.
    uint8_t digest[kSha512DigestSize];
    {
        uint64_t state[8];
        std::memcpy(state, pads.inner, sizeof state);
        std::vector<uint8_t> message(data, data + length);
        // Pad the message as if 128 bytes came before it.
        const uint64_t bits = (uint64_t(kSha512BlockSize) + length) * 8;
        message.push_back(0x80);
        while (message.size() % kSha512BlockSize != 112) message.push_back(0);
        for (int i = 0; i < 8; ++i) message.push_back(0);
        for (int i = 0; i < 8; ++i) message.push_back(uint8_t(bits >> (56 - 8 * i)));
        for (size_t at = 0; at < message.size(); at += kSha512BlockSize)
            Sha512::compress(state, message.data() + at);
        for (int i = 0; i < 8; ++i) store64(digest + 8 * i, state[i]);
    }
    uint64_t state[8];
    std::memcpy(state, pads.outer, sizeof state);
    uint64_t words[16] = {};
    for (int i = 0; i < 8; ++i) words[i] = load64(digest + 8 * i);
    words[8] = 0x8000000000000000ull;
    words[15] = (kSha512BlockSize + kSha512DigestSize) * 8;
    compressWords(state, words);
    for (int i = 0; i < 8; ++i) store64(mac + 8 * i, state[i]);
}

}  // namespace

void hmacSha512(const uint8_t* key, size_t keyLength, const uint8_t* data, size_t dataLength,
                uint8_t mac[kSha512DigestSize]) {
    HmacPads pads;
    prepareHmac(key, keyLength, pads);
    hmacFromPads(pads, data, dataLength, mac);
}

void pbkdf2HmacSha512(const uint8_t* password, size_t passwordLength, const uint8_t* salt,
                      size_t saltLength, uint32_t iterations, uint8_t* out, size_t outLength) {
    if (iterations < 1) iterations = 1;
    HmacPads pads;
    prepareHmac(password, passwordLength, pads);

    std::vector<uint8_t> first(salt, salt + saltLength);
    first.resize(saltLength + 4);
    for (uint32_t blockIndex = 1; outLength != 0; ++blockIndex) {
        for (int i = 0; i < 4; ++i) first[saltLength + i] = uint8_t(blockIndex >> (24 - 8 * i));
        uint8_t u[kSha512DigestSize];
        hmacFromPads(pads, first.data(), first.size(), u);

        // U_j = HMAC(U_{j-1}): both compressions take one fixed-shape block of 64 data bytes.
        uint64_t words[16] = {};
        uint64_t sum[8];
        for (int i = 0; i < 8; ++i) sum[i] = words[i] = load64(u + 8 * i);
        words[8] = 0x8000000000000000ull;
        words[15] = (kSha512BlockSize + kSha512DigestSize) * 8;
        for (uint32_t j = 1; j < iterations; ++j) {
            uint64_t state[8];
            std::memcpy(state, pads.inner, sizeof state);
            compressWords(state, words);
            std::memcpy(words, state, sizeof state);
            std::memcpy(state, pads.outer, sizeof state);
            compressWords(state, words);
            for (int i = 0; i < 8; ++i) {
                words[i] = state[i];
                sum[i] ^= state[i];
            }
        }
        uint8_t block[kSha512DigestSize];
        for (int i = 0; i < 8; ++i) store64(block + 8 * i, sum[i]);
        const size_t take = outLength < kSha512DigestSize ? outLength : kSha512DigestSize;
        std::memcpy(out, block, take);
        out += take;
        outLength -= take;
        std::memset(block, 0, sizeof block);
        std::memset(u, 0, sizeof u);
    }
    std::memset(&pads, 0, sizeof pads);
}
