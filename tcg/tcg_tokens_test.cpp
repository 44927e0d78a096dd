#include "tcg_tokens.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

TEST(TcgTokens, UnsignedIntegersTakeTheShortestEncoding) {
    struct Case {
        uint64_t value;
        Bytes expected;
    };
    const Case cases[] = {
        {0, {0x00}},
        {63, {0x3F}},
        {64, {0x81, 0x40}},
        {255, {0x81, 0xFF}},
        {256, {0x82, 0x01, 0x00}},
        {65535, {0x82, 0xFF, 0xFF}},
        {65536, {0x84, 0x00, 0x01, 0x00, 0x00}},
        {0xFFFFFFFFull, {0x84, 0xFF, 0xFF, 0xFF, 0xFF}},
        {0x100000000ull, {0x88, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}},
        {~0ull, {0x88, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        Bytes out;
        tcgEncodeUint(out, c.value);
        EXPECT_EQ(out, c.expected);
        // And back.
        TcgToken t;
        ASSERT_TRUE(t.parse(out.data(), out.size()));
        EXPECT_EQ(t.value, c.value);
        EXPECT_EQ(t.totalLength, out.size());
        EXPECT_FALSE(t.isSigned);
        EXPECT_FALSE(t.isByteString);
    }
}

TEST(TcgTokens, ByteStringsTakeTheShortOrMediumForm) {
    struct Case {
        size_t length;
        Bytes header;  // empty: refused
    };
    const Case cases[] = {
        {0, {0xA1, 0x00}},   {1, {0xA1}},         {15, {0xAF}},         {16, {0xD0, 0x10}},
        {255, {0xD0, 0xFF}}, {256, {0xD1, 0x00}}, {2047, {0xD7, 0xFF}}, {2048, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        Bytes data(c.length);
        for (size_t i = 0; i < c.length; ++i) data[i] = uint8_t(i * 7 + 1);
        Bytes out;
        const bool ok = tcgEncodeBytes(out, data.data(), data.size());
        if (c.header.empty()) {
            EXPECT_FALSE(ok);
            EXPECT_TRUE(out.empty());
            continue;
        }
        ASSERT_TRUE(ok);
        ASSERT_GE(out.size(), c.header.size());
        EXPECT_EQ(Bytes(out.begin(), out.begin() + long(c.header.size())), c.header);
        TcgToken t;
        ASSERT_TRUE(t.parse(out.data(), out.size()));
        EXPECT_TRUE(t.isByteString);
        EXPECT_EQ(t.totalLength, out.size());
        if (c.length == 0) continue;  // 0xA1 0x00 is a one-byte string holding 0
        EXPECT_EQ(t.dataLength, c.length);
        ASSERT_NE(t.bytes, nullptr);
        EXPECT_EQ(Bytes(t.bytes, t.bytes + t.dataLength), data);
    }
}

TEST(TcgTokens, ParseDecodesEveryAtomForm) {
    struct Case {
        const char* what;
        Bytes bytes;
        TcgToken::Kind kind;
        uint32_t headerLength;
        uint32_t dataLength;
        uint64_t value;
        bool isSigned;
        bool isByteString;
    };
    Bytes medium = {0xD1, 0x02};
    medium.resize(260, 0x55);
    Bytes longAtom = {0xE2, 0x00, 0x01, 0x00};
    longAtom.resize(260, 0x66);
    const Case cases[] = {
        {"unsigned tiny", {0x05}, TcgToken::TINY, 1, 0, 5, false, false},
        {"signed tiny -1", {0x7F}, TcgToken::TINY, 1, 0, ~0ull, true, false},
        {"signed tiny +31", {0x5F}, TcgToken::TINY, 1, 0, 31, true, false},
        {"unsigned short", {0x81, 0xFF}, TcgToken::SHORT, 1, 1, 255, false, false},
        {"signed short -1", {0x91, 0xFF}, TcgToken::SHORT, 1, 1, ~0ull, true, false},
        {"signed short +127", {0x91, 0x7F}, TcgToken::SHORT, 1, 1, 127, true, false},
        {"empty integer", {0x80}, TcgToken::SHORT, 1, 0, 0, false, false},
        {"medium byte string", medium, TcgToken::MEDIUM, 2, 258, 0, false, true},
        {"long byte string", longAtom, TcgToken::LONG, 4, 256, 0, false, true},
        {"control", {0xF9}, TcgToken::CONTROL, 1, 0, 0xF9, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TcgToken t;
        ASSERT_TRUE(t.parse(c.bytes.data(), c.bytes.size()));
        EXPECT_EQ(t.kind, c.kind);
        EXPECT_EQ(t.headerLength, c.headerLength);
        EXPECT_EQ(t.dataLength, c.dataLength);
        EXPECT_EQ(t.totalLength, c.headerLength + c.dataLength);
        EXPECT_EQ(t.value, c.value);
        EXPECT_EQ(t.isSigned, c.isSigned);
        EXPECT_EQ(t.isByteString, c.isByteString);
        EXPECT_EQ(t.bytes != nullptr, c.isByteString);
    }
}

TEST(TcgTokens, ParseRefusesATokenRunningPastTheData) {
    struct Case {
        const char* what;
        Bytes bytes;
    };
    const Case cases[] = {
        {"nothing", {}},
        {"short atom missing data", {0x84, 0x00, 0x01}},
        {"medium header cut", {0xD0}},
        {"medium data cut", {0xD0, 0x05, 'a', 'b'}},
        {"long header cut", {0xE2, 0x00, 0x01}},
        {"long data cut", {0xE2, 0x00, 0x00, 0x02, 'a'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Exactly sized, so that a read past the end is caught by the sanitizers.
        auto copy = std::make_unique<uint8_t[]>(c.bytes.size() + 1);
        std::copy(c.bytes.begin(), c.bytes.end(), copy.get());
        TcgToken t;
        EXPECT_FALSE(t.parse(c.bytes.empty() ? nullptr : copy.get(), c.bytes.size()));
    }
}

TEST(TcgTokens, TablesKeepTheirOrder) {
    // Operations pick rows by index: a row out of place names another object.
    EXPECT_EQ(Bytes(OPALUID[OPAL_SMUID_UID], OPALUID[OPAL_SMUID_UID] + 8),
              (Bytes{0, 0, 0, 0, 0, 0, 0, 0xFF}));
    EXPECT_EQ(Bytes(OPALUID[OPAL_C_PIN_MSID], OPALUID[OPAL_C_PIN_MSID] + 8),
              (Bytes{0, 0, 0, 0x0B, 0, 0, 0x84, 0x02}));
    EXPECT_EQ(Bytes(OPALUID[OPAL_PSID_UID], OPALUID[OPAL_PSID_UID] + 8),
              (Bytes{0, 0, 0, 0x09, 0, 0x01, 0xFF, 0x01}));
    EXPECT_EQ(Bytes(OPALUID[OPAL_UID_HEXFF], OPALUID[OPAL_UID_HEXFF] + 8), Bytes(8, 0xFF));
    EXPECT_EQ(int(OPAL_UID_HEXFF), 30);
    EXPECT_EQ(Bytes(OPALMETHOD[AUTHENTICATE], OPALMETHOD[AUTHENTICATE] + 8),
              (Bytes{0, 0, 0, 0x06, 0, 0, 0, 0x1C}));
    EXPECT_EQ(Bytes(OPALMETHOD[ERASE], OPALMETHOD[ERASE] + 8),
              (Bytes{0, 0, 0, 0x06, 0, 0, 0x08, 0x03}));
    EXPECT_EQ(int(ERASE), 15);
    EXPECT_EQ(tcgUidToken(OPAL_ADMIN1_UID), (Bytes{0xA8, 0, 0, 0, 0x09, 0, 0x01, 0, 0x01}));
}

TEST(TcgTokens, ControlTokenNames) {
    EXPECT_STREQ(tcgControlTokenName(0xF0), "Start_List");
    EXPECT_STREQ(tcgControlTokenName(0xFA), "End_of_Session");
    EXPECT_STREQ(tcgControlTokenName(0xFF), "Empty_Atom");
    EXPECT_STREQ(tcgControlTokenName(0xF4), "unrecognized token");
}

}  // namespace
