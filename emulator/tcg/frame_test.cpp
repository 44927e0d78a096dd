#include "frame.h"

#include <gtest/gtest.h>

#include "test_host.h"

namespace emu::tcg {
namespace {

// The empty Get on ThisSP: Call, two UIDs, an empty list, End_of_Data and the status list.
Bytes EmptyGet() {
    return test::CallPayload(uid::kThisSp, method::kGet, {});
}

TEST(Frame, BuildsTheLengthsOfAHandCountedFrame) {
    const Bytes get = EmptyGet();
    ASSERT_EQ(get.size(), 27u);
    const Bytes f = BuildFrame(0x1000, 0, 0, get);
    EXPECT_EQ(f.size(), 84u);
    EXPECT_EQ(GetBig16(&f[4]), 0x1000);
    EXPECT_EQ(GetBig32(&f[16]), 64u);  // ComPacket
    EXPECT_EQ(GetBig32(&f[40]), 40u);  // Packet
    EXPECT_EQ(GetBig32(&f[52]), 27u);  // SubPacket, without its padding
    EXPECT_EQ(f[83], 0);

    const Bytes eos = BuildFrame(0x1000, 7, 105, Bytes{kEndOfSession});
    EXPECT_EQ(eos.size(), 60u);
    EXPECT_EQ(GetBig32(&eos[16]), 40u);
    EXPECT_EQ(GetBig32(&eos[40]), 16u);
    EXPECT_EQ(GetBig32(&eos[52]), 1u);
    EXPECT_EQ(GetBig32(&eos[20]), 7u);
    EXPECT_EQ(GetBig32(&eos[24]), 105u);
}

TEST(Frame, AcceptsAWellFormedTransfer) {
    const Bytes f = test::Sectors(BuildFrame(0x07FE, 3, 105, EmptyGet()));
    ASSERT_EQ(f.size(), 512u);
    Frame out;
    std::string error;
    ASSERT_TRUE(ParseFrame(f.data(), f.size(), 0x07FE, 2048, out, error)) << error;
    EXPECT_EQ(out.tsn, 3u);
    EXPECT_EQ(out.hsn, 105u);
    EXPECT_EQ(out.payload, EmptyGet());
}

TEST(Frame, RefusesEveryInconsistency) {
    const struct {
        const char* what;
        size_t offset;  // byte to change, or SIZE_MAX for none
        uint32_t value;
        int width;  // 1, 2 or 4 bytes
        uint16_t comId;
        const char* message;
    } cases[] = {
        {"ComPacket reserved", 0, 1, 1, 0x1000, "ComPacket reserved"},
        {"other ComID", SIZE_MAX, 0, 0, 0x1001, "ComPacket ComID 4096 sent on ComID 4097"},
        {"ComID extension", 6, 1, 2, 0x1000, "extension"},
        {"OutstandingData", 8, 1, 4, 0x1000, "OutstandingData"},
        {"MinTransfer", 12, 1, 4, 0x1000, "MinTransfer"},
        {"ComPacket past the transfer", 16, 600, 4, 0x1000, "runs past the transfer"},
        {"ComPacket one short", 16, 63, 4, 0x1000, "does not fill the ComPacket"},
        {"ComPacket one long", 16, 65, 4, 0x1000, "does not fill the ComPacket"},
        {"sequence number", 28, 1, 4, 0x1000, "sequence number"},
        {"AckType", 34, 1, 2, 0x1000, "acknowledgement"},
        {"Packet one short", 40, 39, 4, 0x1000, "does not fill the ComPacket"},
        {"Packet one long", 40, 41, 4, 0x1000, "does not fill the ComPacket"},
        {"SubPacket kind", 50, 1, 2, 0x1000, "not a data SubPacket"},
        {"SubPacket past padding", 52, 29, 4, 0x1000, "padded to 4"},
        {"SubPacket one short", 52, 26, 4, 0x1000, "padding bytes"},  // F1 becomes padding
        {"SubPacket much too short", 52, 20, 4, 0x1000, "padded to 4"},
        {"empty SubPacket", 52, 0, 4, 0x1000, "empty SubPacket"},
        {"non-zero padding", 83, 1, 1, 0x1000, "padding bytes are not zero"},
        {"garbage after the ComPacket", 100, 1, 1, 0x1000, "after the ComPacket"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes f = test::Sectors(BuildFrame(0x1000, 0, 0, EmptyGet()));
        if (c.width == 1) f[c.offset] = uint8_t(c.value);
        if (c.width == 2) PutBig16(&f[c.offset], uint16_t(c.value));
        if (c.width == 4) PutBig32(&f[c.offset], c.value);
        Frame out;
        std::string error;
        EXPECT_FALSE(ParseFrame(f.data(), f.size(), c.comId, 2048, out, error));
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
    // Larger than the TPer takes.
    Bytes big(4096, 0);
    const Bytes frame = BuildFrame(0x1000, 0, 0, Bytes(3000, 0x00));
    std::copy(frame.begin(), frame.end(), big.begin());
    Frame out;
    std::string error;
    EXPECT_FALSE(ParseFrame(big.data(), big.size(), 0x1000, 2048, out, error));
    EXPECT_NE(error.find("above 2048"), std::string::npos) << error;
    EXPECT_FALSE(ParseFrame(big.data(), 40, 0x1000, 2048, out, error));
    EXPECT_NE(error.find("shorter than the frame headers"), std::string::npos) << error;
}

}  // namespace
}  // namespace emu::tcg
