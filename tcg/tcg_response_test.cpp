#include "tcg_response.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (24 - 8 * i));
}

// A reply frame carrying `payload`, with consistent lengths, in a 1024-byte buffer.
Bytes reply(const Bytes& payload) {
    Bytes b(1024, 0);
    std::copy(payload.begin(), payload.end(), b.begin() + 56);
    const uint32_t padded = uint32_t(56 + (payload.size() + 3) / 4 * 4);
    put32(b, 16, padded - 20);
    put32(b, 40, padded - 44);
    put32(b, 52, uint32_t(payload.size()));
    return b;
}

TEST(TcgResponse, SplitsTheReplyIntoTokens) {
    const Bytes payload = {0xF0, 0x05, 0x81, 0xFF, 0xD0, 0x03, 'a',  'b',
                           'c',  0xF1, 0xF9, 0xF0, 0x00, 0x00, 0x00, 0xF1};
    const Bytes buffer = reply(payload);
    TcgResponse r;
    r.init(buffer.data(), buffer.size());
    EXPECT_FALSE(r.truncated());
    ASSERT_EQ(r.getTokenCount(), 11u);
    EXPECT_EQ(*r.getRawToken(3), (Bytes{0xD0, 0x03, 'a', 'b', 'c'}));
    EXPECT_EQ(r.tokenIs(0), STARTLIST);
    EXPECT_EQ(r.tokenIs(1), DTA_TOKENID_UINT);
    EXPECT_EQ(r.tokenIs(3), DTA_TOKENID_BYTESTRING);
    EXPECT_EQ(r.tokenIs(5), ENDOFDATA);
    EXPECT_EQ(r.tokenIs(11), NO_TOKEN);
    EXPECT_EQ(r.getComPacketLength(), 52u);
    EXPECT_EQ(r.getSubPacketLength(), 16u);

    // A new reply replaces the old one.
    const Bytes empty(1024, 0);
    r.init(empty.data(), empty.size());
    EXPECT_EQ(r.getTokenCount(), 0u);
    EXPECT_EQ(r.getComPacketLength(), 0u);
}

TEST(TcgResponse, TypedAccessors) {
    struct Case {
        const char* what;
        Bytes token;
        std::optional<uint64_t> u64;
        std::optional<uint8_t> u8;
        std::optional<std::string> text;
    };
    const Case cases[] = {
        {"tiny", {0x05}, 5, 5, std::nullopt},
        {"signed tiny", {0x45}, std::nullopt, std::nullopt, std::nullopt},
        {"short 255", {0x81, 0xFF}, 255, 255, std::string("\xFF")},
        {"short 256 truncated to a byte", {0x82, 0x01, 0x00}, 256, 0, std::string("\x01\x00", 2)},
        {"short byte string read as a number", {0xA1, 0x05}, 5, 5, std::string("\x05")},
        {"signed short", {0x91, 0xFF}, std::nullopt, std::nullopt, std::string("\xFF")},
        {"short of 9 bytes",
         {0x89, 1, 2, 3, 4, 5, 6, 7, 8, 9},
         std::nullopt,
         std::nullopt,
         std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09")},
        {"empty short", {0x80}, 0, 0, std::string()},
        {"medium", {0xD0, 0x03, 'a', 'b', 'c'}, std::nullopt, std::nullopt, std::string("abc")},
        {"long", {0xE2, 0x00, 0x00, 0x02, 'h', 'i'}, std::nullopt, std::nullopt, std::string("hi")},
        {"control token", {0xF0}, std::nullopt, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes buffer = reply(c.token);
        TcgResponse r;
        r.init(buffer.data(), buffer.size());
        ASSERT_EQ(r.getTokenCount(), 1u);
        EXPECT_EQ(r.getUint64(0), c.u64);
        EXPECT_EQ(r.getUint8(0), c.u8);
        EXPECT_EQ(r.getString(0), c.text);
        // Past the end there is nothing to read, whatever the kind asked for.
        EXPECT_EQ(r.getUint64(1), std::nullopt);
        EXPECT_EQ(r.getUint32(7), std::nullopt);
        EXPECT_EQ(r.getString(1), std::nullopt);
        EXPECT_EQ(r.getRawToken(1), nullptr);
    }
}

TEST(TcgResponse, TruncationIsLogged) {
    const Bytes buffer = reply({0x82, 0x01, 0x00, 0x84, 0x00, 0x01, 0x00, 0x00});
    TcgResponse r;
    r.init(buffer.data(), buffer.size());
    testing::internal::CaptureStdout();
    EXPECT_EQ(r.getUint8(0), 0);
    EXPECT_EQ(r.getUint16(1), 0);
    EXPECT_EQ(r.getUint32(1), 65536u);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ERR : UINT8 truncated \nERR : UINT16 truncated \n");
}

TEST(TcgResponse, MalformedRepliesStayInsideTheBuffer) {
    struct Case {
        const char* what;
        Bytes buffer;
        uint32_t tokens;
        bool truncated;
    };
    Bytes zero(1024, 0);
    Bytes hugeSubPacket = reply({0xF0, 0xF1});
    put32(hugeSubPacket, 52, 0xFFFFFFF0u);
    Bytes atomPastData = reply({0xF0, 0xD0, 0x20, 'a'});  // says 32 bytes, the data ends first
    Bytes atomPastBuffer(1024, 0);
    put32(atomPastBuffer, 52, 1024 - 56);
    atomPastBuffer[1023] = 0xE2;  // a long atom header cut by the buffer end
    Bytes shortBuffer = reply({0xF0, 0xF1});
    shortBuffer.resize(20);
    const Case cases[] = {
        {"zero header", zero, 0, false},
        {"subpacket length past the buffer", hugeSubPacket, 1024 - 56, true},
        {"atom past the data", atomPastData, 1, true},
        {"atom header past the buffer", atomPastBuffer, 1024 - 56 - 1, true},
        {"buffer shorter than a header", shortBuffer, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Exactly sized, so that a read past the end is caught by the sanitizers.
        auto copy = std::make_unique<uint8_t[]>(c.buffer.size());
        std::copy(c.buffer.begin(), c.buffer.end(), copy.get());
        TcgResponse r;
        r.init(copy.get(), c.buffer.size());
        EXPECT_EQ(r.getTokenCount(), c.tokens);
        EXPECT_EQ(r.truncated(), c.truncated);
    }
}

}  // namespace
