#include "atoms.h"

#include <gtest/gtest.h>

namespace emu::tcg {
namespace {

Bytes Prefix(std::initializer_list<uint8_t> head, size_t zeros = 0) {
    Bytes b(head);
    b.insert(b.end(), zeros, 0);
    return b;
}

TEST(Atoms, UnsignedIntegersTakeTheShortestForm) {
    const struct {
        uint64_t value;
        Bytes wire;
    } cases[] = {
        {0, {0x00}},
        {63, {0x3F}},
        {64, {0x81, 0x40}},
        {255, {0x81, 0xFF}},
        {256, {0x82, 0x01, 0x00}},
        {65535, {0x82, 0xFF, 0xFF}},
        {65536, {0x83, 0x01, 0x00, 0x00}},
        {0x060000, {0x83, 0x06, 0x00, 0x00}},
        {0xFFFFFFFFu, {0x84, 0xFF, 0xFF, 0xFF, 0xFF}},
        {uint64_t(1) << 32, {0x85, 0x01, 0x00, 0x00, 0x00, 0x00}},
        {~uint64_t(0), {0x88, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        Bytes out;
        PutUint(out, c.value);
        EXPECT_EQ(Hex(out), Hex(c.wire));
        Token t;
        std::string error;
        ASSERT_TRUE(DecodeToken(out.data(), out.size(), t, error)) << error;
        EXPECT_TRUE(t.IsUint());
        EXPECT_EQ(t.uint, c.value);
        EXPECT_EQ(t.size, out.size());
    }
}

TEST(Atoms, DecodesEveryIntegerForm) {
    const struct {
        Bytes wire;
        bool isSigned;
        int64_t value;
    } cases[] = {
        {{0x7F}, true, -1},
        {{0x60}, true, -32},
        {{0x5F}, true, 31},
        {{0x91, 0xFF}, true, -1},
        {{0x81, 0xFF}, false, 255},
        {{0x80}, false, 0},
        {{0x84, 0x00, 0x01, 0x00, 0x00}, false, 65536},  // wider than needed is still read
        {{0xC0, 0x02, 0x01, 0x00}, false, 256},          // medium integer
        {{0xC8, 0x01, 0xFE}, true, -2},                  // medium signed
        {{0xE0, 0x00, 0x00, 0x01, 0x07}, false, 7},      // long integer
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Hex(c.wire));
        Token t;
        std::string error;
        ASSERT_TRUE(DecodeToken(c.wire.data(), c.wire.size(), t, error)) << error;
        if (c.isSigned) {
            EXPECT_EQ(t.kind, Token::Kind::Int);
            EXPECT_EQ(t.sint, c.value);
        } else {
            EXPECT_EQ(t.kind, Token::Kind::Uint);
            EXPECT_EQ(int64_t(t.uint), c.value);
        }
    }
    for (int64_t v : {-1000000, -129, -128, -33, -32, 0, 31, 32, 127, 128, 1000000}) {
        SCOPED_TRACE(v);
        Bytes out;
        PutInt(out, v);
        Token t;
        std::string error;
        ASSERT_TRUE(DecodeToken(out.data(), out.size(), t, error)) << error;
        EXPECT_EQ(t.sint, v);
    }
}

TEST(Atoms, ByteStringsOfEveryLength) {
    const struct {
        size_t length;
        Bytes head;
    } cases[] = {
        {0, {0xA0}},
        {1, {0xA1}},
        {15, {0xAF}},
        {16, {0xD0, 0x10}},
        {258, {0xD1, 0x02}},
        {2047, {0xD7, 0xFF}},
        {2048, {0xE2, 0x00, 0x08, 0x00}},
        {70000, {0xE2, 0x01, 0x11, 0x70}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        Bytes data(c.length);
        for (size_t i = 0; i < c.length; ++i) data[i] = uint8_t(i * 13);
        Bytes out;
        PutBytes(out, data);
        ASSERT_EQ(out.size(), c.head.size() + c.length);
        EXPECT_EQ(Hex(Bytes(out.begin(), out.begin() + long(c.head.size()))), Hex(c.head));
        Token t;
        std::string error;
        ASSERT_TRUE(DecodeToken(out.data(), out.size(), t, error)) << error;
        EXPECT_TRUE(t.IsBytes());
        EXPECT_EQ(t.bytes, data);
        EXPECT_EQ(t.size, out.size());
    }
    // A short atom of no bytes is the empty string.
    Token t;
    std::string error;
    const Bytes empty{0xA0};
    ASSERT_TRUE(DecodeToken(empty.data(), 1, t, error));
    EXPECT_TRUE(t.IsBytes() && t.bytes.empty());
}

TEST(Atoms, RefusesWhatIsNotAToken) {
    const struct {
        const char* what;
        Bytes wire;
        const char* message;
    } cases[] = {
        {"short string past the end", {0xA5, 1, 2}, "runs past the end"},
        {"medium header cut", {0xD0}, "medium atom header cut off"},
        {"medium past the end", Prefix({0xD1, 0x02}, 257), "runs past the end"},
        {"long header cut", {0xE2, 0x00}, "long atom header cut off"},
        {"long past the end", {0xE2, 0x00, 0x01, 0x00, 1}, "runs past the end"},
        {"reserved long form", {0xE4, 0, 0, 0}, "reserved token E4"},
        {"reserved control", {0xF5}, "reserved token F5"},
        {"continued atom", {0xB1, 0x00}, "continued"},
        {"nine-byte integer", Prefix({0x89}, 9), "integer of 9 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Token> t;
        std::string error;
        EXPECT_FALSE(DecodeTokens(c.wire, t, error));
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

TEST(Atoms, StreamKeepsOffsetsAndControlTokens) {
    Bytes s{kCall};
    PutUid(s, Uid{0, 0, 0, 0, 0, 0, 0, 0xFF});
    s.push_back(kStartList);
    PutText(s, "MaxComPacketSize");
    PutUint(s, 2048);
    s.push_back(kEndList);
    std::vector<Token> t;
    std::string error;
    ASSERT_TRUE(DecodeTokens(s, t, error)) << error;
    ASSERT_EQ(t.size(), 6u);
    EXPECT_TRUE(t[0].IsControl(kCall));
    EXPECT_EQ(t[1].offset, 1u);
    EXPECT_TRUE(t[1].IsUid());
    EXPECT_EQ(t[3].Text(), "MaxComPacketSize");
    EXPECT_EQ(t[4].uint, 2048u);
    EXPECT_EQ(t[5].offset, s.size() - 1);
}

}  // namespace
}  // namespace emu::tcg
