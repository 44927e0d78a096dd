#include "tcg_command.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

Bytes frame(const TcgCommand& c) {
    return Bytes(c.getCmdBuffer(), c.getCmdBuffer() + c.position());
}

TEST(TcgCommand, EmptyMethodCallFrame) {
    TcgCommand cmd;
    cmd.reset(OPAL_THISSP_UID, GET);
    cmd.addToken(STARTLIST);
    cmd.addToken(ENDLIST);
    ASSERT_EQ(cmd.complete(1), 0);

    Bytes expected(56, 0);
    expected[19] = 64;  // ComPacket length
    expected[43] = 40;  // Packet length
    expected[55] = 27;  // SubPacket length, before padding
    const Bytes payload = {0xF8, 0xA8, 0, 0, 0,    0,    0,    0,    0,    0x01, 0xA8, 0, 0,   0,
                           0x06, 0,    0, 0, 0x16, 0xF0, 0xF1, 0xF9, 0xF0, 0,    0,    0, 0xF1};
    expected.insert(expected.end(), payload.begin(), payload.end());
    expected.resize(84, 0);  // padding to a multiple of 4
    EXPECT_EQ(frame(cmd), expected);
}

TEST(TcgCommand, EndOfSessionFrame) {
    TcgCommand cmd;
    cmd.reset();
    cmd.addToken(ENDOFSESSION);
    ASSERT_EQ(cmd.complete(0), 0);
    ASSERT_EQ(cmd.position(), 60u);
    EXPECT_EQ(be32(cmd.getCmdBuffer() + 16), 40u);
    EXPECT_EQ(be32(cmd.getCmdBuffer() + 40), 16u);
    EXPECT_EQ(be32(cmd.getCmdBuffer() + 52), 1u);
    EXPECT_EQ(cmd.getCmdBuffer()[56], 0xFA);
}

TEST(TcgCommand, HeaderFieldsAreBigEndian) {
    TcgCommand cmd(OPAL_SMUID_UID, PROPERTIES);
    cmd.setcomID(0x07FE);
    cmd.setTSN(0x01020304);
    cmd.setHSN(105);
    ASSERT_EQ(cmd.complete(1), 0);
    const uint8_t* b = cmd.getCmdBuffer();
    EXPECT_EQ(Bytes(b + 4, b + 8), (Bytes{0x07, 0xFE, 0x00, 0x00}));
    EXPECT_EQ(Bytes(b + 20, b + 24), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(Bytes(b + 24, b + 28), (Bytes{0, 0, 0, 105}));
    EXPECT_EQ(Bytes(b + 56, b + 75),
              (Bytes{0xF8, 0xA8, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xA8, 0, 0, 0, 0, 0, 0, 0xFF, 0x01}));
}

TEST(TcgCommand, CommandsStopAtTheBufferEnd) {
    struct Case {
        const char* what;
        size_t payload;  // bytes appended after the header
        bool fits;
    };
    const Case cases[] = {
        {"ends exactly at 1024", 1024 - 56, true},
        {"one byte more", 1024 - 56 + 1, false},
        {"far beyond", 5000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TcgCommand cmd;
        cmd.reset();
        cmd.addToken(Bytes(c.payload, 0x11));
        EXPECT_EQ(cmd.failed(), !c.fits);
        EXPECT_EQ(cmd.complete(0), c.fits ? 0 : kTcgCommandFailed);
        EXPECT_LE(cmd.position(), TcgCommand::kBufferSize);
        // Nothing spilled into the reply buffer behind the command buffer.
        const uint8_t* reply = cmd.getRespBuffer();
        EXPECT_EQ(Bytes(reply, reply + TcgCommand::kBufferSize), Bytes(TcgCommand::kBufferSize));
        if (c.fits) {
            EXPECT_EQ(be32(cmd.getCmdBuffer() + 16), 1004u);
        }
    }
}

TEST(TcgCommand, AppendsThatDoNotFitFailTheCommand) {
    struct Case {
        const char* what;
        void (*build)(TcgCommand&);
    };
    const Case cases[] = {
        {"text of 2048 bytes", [](TcgCommand& c) { c.addToken(std::string(2048, 'x').c_str()); }},
        {"text that overruns", [](TcgCommand& c) { c.addToken(std::string(1000, 'x').c_str()); }},
        {"status list that no longer fits", [](TcgCommand& c) { c.addToken(Bytes(965, 0)); }},
        {"uid at the very end",
         [](TcgCommand& c) {
             c.addToken(Bytes(1024 - 56 - 8, 0));
             c.addToken(OPAL_ADMIN1_UID);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TcgCommand cmd;
        cmd.reset();
        c.build(cmd);
        EXPECT_EQ(cmd.complete(1), kTcgCommandFailed);
        EXPECT_TRUE(cmd.failed());
        // A failed command stays failed until reset, whatever is appended after.
        cmd.addToken(ENDLIST);
        EXPECT_EQ(cmd.complete(0), kTcgCommandFailed);
        cmd.reset();
        EXPECT_FALSE(cmd.failed());
        EXPECT_EQ(cmd.complete(0), 0);
    }
}

TEST(TcgCommand, TokensAsWritten) {
    TcgCommand cmd;
    cmd.reset(OPAL_UID_HEXFF, Bytes{0xA8, 1, 2, 3, 4, 5, 6, 7, 8});
    cmd.changeInvokingUid(Bytes{0xA8, 0, 0, 0, 0x0B, 0, 0, 0x84, 0x02});
    cmd.addToken(uint64_t(60000));
    cmd.addToken("SessionTimeout");
    cmd.addToken("");
    cmd.addToken(UINT_03);
    cmd.addToken(UINT_2);
    ASSERT_EQ(cmd.complete(0), 0);
    const Bytes expected = {0xF8, 0xA8, 0,   0,   0,    0x0B, 0,    0,   0x84, 0x02, 0xA8,
                            1,    2,    3,   4,   5,    6,    7,    8,   0x82, 0xEA, 0x60,
                            0xAE, 'S',  'e', 's', 's',  'i',  'o',  'n', 'T',  'i',  'm',
                            'e',  'o',  'u', 't', 0xA1, 0x00, 0x03, 0x82};
    const uint8_t* b = cmd.getCmdBuffer() + 56;
    EXPECT_EQ(Bytes(b, b + expected.size()), expected);
}

TEST(TcgCommand, CredentialsAreMarked) {
    TcgCommand cmd;
    cmd.reset(OPAL_SMUID_UID, STARTSESSION);
    cmd.addToken(STARTNAME);
    const uint32_t start = cmd.position();
    cmd.addCredential(Bytes{0xD0, 0x03, 'p', 'w', 'd'});
    cmd.addCredentialText("secret");
    ASSERT_EQ(cmd.complete(1), 0);
    ASSERT_EQ(cmd.secretSpans().size(), 2u);
    EXPECT_EQ(cmd.secretSpans()[0], std::make_pair(start, start + 5));
    EXPECT_EQ(cmd.secretSpans()[1], std::make_pair(start + 5, start + 12));
}

}  // namespace
