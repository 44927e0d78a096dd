#include "tcg_hash.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tcg_dev_generic.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes fromHex(const std::string& hex) {
    Bytes b;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        b.push_back(uint8_t(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return b;
}

Bytes salt(const char* text) {
    return Bytes(text, text + std::strlen(text));
}

TEST(TcgHashPassword, TokenShapes) {
    struct Case {
        const char* what;
        const char* password;
        uint8_t size;
        size_t tokenLength;
    };
    const Case cases[] = {
        {"empty password", "", 32, 2},
        {"null password", nullptr, 32, 2},
        {"hashed", "pw", 32, 34},
        {"other length", "pw", 20, 22},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes token;
        TcgHashPassword(token, c.password, salt("serial"), 2, c.size);
        ASSERT_EQ(token.size(), c.tokenLength);
        EXPECT_EQ(token[0], 0xD0);
        EXPECT_EQ(token[1], c.tokenLength - 2);
    }
}

TEST(TcgHashPassword, KnownDerivations) {
    Bytes token;
    TcgHashPassword(token, "password", salt("salt"), 2, 20);
    Bytes expected = {0xD0, 20};
    const Bytes key = fromHex("e1d9c16aa681708a45f5c7c4e215ceb66e011a2e");
    expected.insert(expected.end(), key.begin(), key.end());
    EXPECT_EQ(token, expected);
    // The key is the password up to 256 bytes: what follows does not count.
    Bytes a, b;
    TcgHashPassword(a, (std::string(256, 'q') + "tail one").c_str(), salt("s"), 1, 32);
    TcgHashPassword(b, (std::string(256, 'q') + "tail two").c_str(), salt("s"), 1, 32);
    EXPECT_EQ(a, b);
}

TEST(TcgHashPassword, RepeatedDerivationsGiveTheSameToken) {
    tcgClearHashCache();
    Bytes first, again, otherSalt, otherCount;
    TcgHashPassword(first, "pw", salt("serial A"), 50, 32);
    TcgHashPassword(again, "pw", salt("serial A"), 50, 32);
    TcgHashPassword(otherSalt, "pw", salt("serial B"), 50, 32);
    TcgHashPassword(otherCount, "pw", salt("serial A"), 51, 32);
    EXPECT_EQ(first, again);
    EXPECT_NE(first, otherSalt);
    EXPECT_NE(first, otherCount);
}

TEST(TcgHashPwd, DeviceDecidesHashingAndSalt) {
    struct Case {
        const char* what;
        bool hashingDisabled;
        const char* password;
        Bytes expected;  // empty: hashed, 34 bytes
    };
    const std::string forty(40, 'x');
    const Case cases[] = {
        {"clear", true, "abc", {0xD0, 0x03, 'a', 'b', 'c'}},
        {"clear, cut to 32", true, forty.c_str(),
         [] {
             Bytes b = {0xD0, 32};
             b.resize(34, 'x');
             return b;
         }()},
        {"clear empty", true, "", {0xD0, 0x00}},
        {"hashed empty", false, "", {0xD0, 0x00}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TcgDevGeneric dev;
        dev.hashingDisabled = c.hashingDisabled;
        Bytes token;
        TcgHashPwd(token, c.password, &dev);
        EXPECT_EQ(token, c.expected);
    }
}

TEST(TcgHashPwd, SerialNumberSaltsTheFullIterationCount) {
    // The one derivation at the real count: "test" on a drive whose serial field is
    // "        EMU000000001" (checked against OpenSSL's PBKDF2).
    TcgDevGeneric dev;
    std::memcpy(dev.diskInfo.serialNumber, "        EMU000000001", 20);
    Bytes token;
    TcgHashPwd(token, "test", &dev);
    EXPECT_EQ(token,
              fromHex("d020186d69d57e78d16830d44129c84ce9d8aa2b3eb73beb2ca62b8f337bad9cd112"));

    // Another drive, another credential.
    std::memcpy(dev.diskInfo.serialNumber, "        EMU000000002", 20);
    dev.hashingDisabled = 1;  // a clear token needs no derivation; the serial no longer matters
    Bytes clear;
    TcgHashPwd(clear, "test", &dev);
    EXPECT_EQ(clear, (Bytes{0xD0, 0x04, 't', 'e', 's', 't'}));
}

TEST(ValidatePbkdf2, PrintsEachVectorAndPasses) {
    testing::internal::CaptureStdout();
    const bool passed = validatePBKDF2();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(passed);
    EXPECT_EQ(out,
              "Password password Salt salt Iterations 1 Length 20\n"
              "Expected Result: 867f70cf1ade02cff3752599a3a53dc4af34c7a6\n"
              "Actual Result  : 867f70cf1ade02cff3752599a3a53dc4af34c7a6\n"
              "Password password Salt salt Iterations 2 Length 20\n"
              "Expected Result: e1d9c16aa681708a45f5c7c4e215ceb66e011a2e\n"
              "Actual Result  : e1d9c16aa681708a45f5c7c4e215ceb66e011a2e\n"
              "Password password Salt salt Iterations 4096 Length 20\n"
              "Expected Result: d197b1b33db0143e018b12f3d1d1479e6cdebdcc\n"
              "Actual Result  : d197b1b33db0143e018b12f3d1d1479e6cdebdcc\n"
              "Password passwordPASSWORDpassword Salt saltSALTsaltSALTsaltSALTsaltSALTsalt "
              "Iterations 4096 Length 25\n"
              "Expected Result: 8c0511f4c6e597c6ac6315d8f0362e225f3c501495ba23b868\n"
              "Actual Result  : 8c0511f4c6e597c6ac6315d8f0362e225f3c501495ba23b868\n");
}

}  // namespace
