#include "sha512.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string hex(const uint8_t* p, size_t n) {
    std::string s;
    char b[3];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, "%02x", p[i]);
        s += b;
    }
    return s;
}

std::vector<uint8_t> bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

// The first line a command prints.
std::string run(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr) return out;
    char line[1024];
    if (std::fgets(line, sizeof line, p) != nullptr) out = line;
    pclose(p);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

TEST(Sha512, StandardExamples) {
    struct Case {
        std::string message;
        const char* digest;
    };
    const Case cases[] = {
        {"",
         "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0ff8318d2"
         "877eec2f63b931bd47417a81a538327af927da3e"},
        {"abc",
         "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23"
         "a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqr"
         "lmnopqrsmnopqrstnopqrstu",
         "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018501d289e4900f7e4331b99de"
         "c4b5433ac7d329eeb6dd26545e96e55b874be909"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        uint8_t d[kSha512DigestSize];
        sha512(c.message.data(), c.message.size(), d);
        EXPECT_EQ(hex(d, sizeof d), c.digest);
    }
}

TEST(Sha512, AgreesWithOpenSslAroundBlockBoundaries) {
    const auto dir = std::filesystem::path(testing::TempDir()) / "sha512_oracle";
    std::filesystem::create_directories(dir);
    for (size_t length : {1, 111, 112, 127, 128, 129, 239, 240, 256, 1000}) {
        SCOPED_TRACE(length);
        std::string message(length, '\0');
        for (size_t i = 0; i < length; ++i) message[i] = char(i * 31 + 7);
        const auto file = dir / ("m" + std::to_string(length));
        std::ofstream(file, std::ios::binary) << message;
        // Fed in uneven pieces, to walk every path of the buffering.
        Sha512 h;
        for (size_t at = 0; at < length; at += 37)
            h.update(message.data() + at, std::min<size_t>(37, length - at));
        uint8_t d[kSha512DigestSize];
        h.final(d);
        EXPECT_EQ(hex(d, sizeof d),
                  run("openssl dgst -sha512 -r " + file.string() + " | cut -d' ' -f1"));
    }
}

TEST(HmacSha512, Rfc4231Cases) {
    struct Case {
        const char* what;
        std::vector<uint8_t> key;
        std::vector<uint8_t> data;
        const char* mac;
    };
    const Case cases[] = {
        {"case 1", std::vector<uint8_t>(20, 0x0b), bytes("Hi There"),
         "87aa7cdea5ef619d4ff0b4241a1d6cb02379f4e2ce4ec2787ad0b30545e17cdedaa833b7d6b8a702038b274e"
         "aea3f4e4be9d914eeb61f1702e696c203a126854"},
        {"case 2", bytes("Jefe"), bytes("what do ya want for nothing?"),
         "164b7a7bfcf819e2e395fbe73b56e0a387bd64222e831fd610270cd7ea2505549758bf75c05a994a6d034f65"
         "f8f0e6fdcaeab1a34d4a6b4b636e070a38bce737"},
        {"case 3", std::vector<uint8_t>(20, 0xaa), std::vector<uint8_t>(50, 0xdd),
         "fa73b0089d56a284efb0f0756c890be9b1b5dbdd8ee81a3655f83e33b2279d39bf3e848279a722c806b485a4"
         "7e67c807b946a337bee8942674278859e13292fb"},
        {"case 6", std::vector<uint8_t>(131, 0xaa),
         bytes("Test Using Larger Than Block-Size Key - Hash Key First"),
         "80b24263c7c1a3ebb71493c1dd7be8b49b46d1f41b4aeec1121b013783f8f3526b56d037e05f2598bd0fd221"
         "5d6a1e5295e64f73f63f0aec8b915a985d786598"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        uint8_t mac[kSha512DigestSize];
        hmacSha512(c.key.data(), c.key.size(), c.data.data(), c.data.size(), mac);
        EXPECT_EQ(hex(mac, sizeof mac), c.mac);
    }
}

TEST(Pbkdf2HmacSha512, AgreesWithOpenSsl) {
    struct Case {
        std::string password;
        std::string salt;
        uint32_t iterations;
        size_t length;
    };
    const Case cases[] = {
        {"password", "salt", 1, 20},
        {"password", "salt", 2, 64},
        {"test", "        EMU000000001", 1000, 32},
        {"pw", "salt", 3, 65},                // a second block, cut to one byte
        {"pw", "salt", 5, 150},               // three blocks
        {std::string(129, 'k'), "s", 7, 32},  // a key longer than a block is hashed first
        {"p", "", 2, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password.substr(0, 8) + "/" + c.salt + "/" + std::to_string(c.iterations));
        std::vector<uint8_t> out(c.length);
        pbkdf2HmacSha512(reinterpret_cast<const uint8_t*>(c.password.data()), c.password.size(),
                         reinterpret_cast<const uint8_t*>(c.salt.data()), c.salt.size(),
                         c.iterations, out.data(), out.size());
        std::string hexSalt = hex(reinterpret_cast<const uint8_t*>(c.salt.data()), c.salt.size());
        const std::string command =
            "openssl kdf -keylen " + std::to_string(c.length) +
            " -kdfopt digest:SHA512 -kdfopt pass:" + c.password +
            (c.salt.empty() ? std::string(" -kdfopt salt:") : " -kdfopt hexsalt:" + hexSalt) +
            " -kdfopt iter:" + std::to_string(c.iterations) + " PBKDF2 | tr -d ':\\n' | tr A-F a-f";
        EXPECT_EQ(hex(out.data(), out.size()), run(command));
    }
}

}  // namespace
