#include "smart_commands.h"

#include <gtest/gtest.h>

#include <vector>

#include "domain.h"
#include "fake_disk_port.h"

namespace {

constexpr uint32_t kDisk = 0x01020304;

class SmartCommands : public testing::Test {
protected:
    void SetUp() override {
        arkResetDomainsForTest();
        port = new FakeDiskPort;
        port->log = &log;
        ASSERT_TRUE(AttachPort(port));
    }
    void TearDown() override { arkResetDomainsForTest(); }

    FakeDiskPort* port = nullptr;  // owned by its domain
    std::vector<PassthroughRecord> log;
};

std::vector<uint8_t> page(uint8_t fill) {
    return std::vector<uint8_t>(512, fill);
}

TEST_F(SmartCommands, RequestHeadersAndLengths) {
    struct Case {
        const char* routine;
        int (*call)(int, uint32_t, uint8_t*);
        std::vector<uint8_t> header;
        uint32_t outLen;
    };
    // disk id, features, count, lba low/mid/high (u16 each), device, command, sectors, protocol
    const Case cases[] = {
        {"smart_enable",
         [](int d, uint32_t i, uint8_t*) { return smart_enable(d, i); },
         {0x04, 0x03, 0x02, 0x01, 0xD8, 0, 0, 0, 0, 0, 0x4F, 0, 0xC2, 0, 0xA0, 0xB0, 0, 0, 0, 0},
         20},
        {"smart_disable",
         [](int d, uint32_t i, uint8_t*) { return smart_disable(d, i); },
         {0x04, 0x03, 0x02, 0x01, 0xD9, 0, 0, 0, 0, 0, 0x4F, 0, 0xC2, 0, 0xA0, 0xB0, 0, 0, 0, 0},
         20},
        {"smart_status",
         [](int d, uint32_t i, uint8_t*) { return smart_status(d, i); },
         {0x04, 0x03, 0x02, 0x01, 0xDA, 0, 0, 0, 0, 0, 0x4F, 0, 0xC2, 0, 0xA0, 0xB0, 0, 0, 0, 0},
         20},
        {"smart_read_values",
         smart_read_values,
         {0x04, 0x03, 0x02, 0x01, 0xD0, 0, 0, 0, 0, 0, 0x4F, 0, 0xC2, 0, 0xA0, 0xB0, 1, 0, 1, 0},
         532},
        {"smart_read_thresholds",
         smart_read_thresholds,
         {0x04, 0x03, 0x02, 0x01, 0xD1, 0, 0, 0, 0, 0, 0x4F, 0, 0xC2, 0, 0xA0, 0xB0, 1, 0, 1, 0},
         532},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.routine);
        log.clear();
        std::vector<uint8_t> buffer = page(0);
        EXPECT_EQ(c.call(0, kDisk, buffer.data()), 0);
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].in, c.header);  // exactly the 20-byte header, nothing else
        EXPECT_EQ(log[0].outLen, c.outLen);
        EXPECT_EQ(log[0].outOffset, 20);  // the reply lands right behind the request header
    }
}

TEST_F(SmartCommands, ReadsCopyTheSectorOnly) {
    for (size_t i = 0; i < 512; ++i) {
        port->values[i] = static_cast<uint8_t>(i * 7);
        port->thresholds[i] = static_cast<uint8_t>(255 - i);
    }
    std::vector<uint8_t> values = page(0xEE), thresholds = page(0xEE);
    ASSERT_EQ(smart_read_values(0, kDisk, values.data()), 0);
    ASSERT_EQ(smart_read_thresholds(0, kDisk, thresholds.data()), 0);
    EXPECT_EQ(values, std::vector<uint8_t>(port->values.begin(), port->values.end()));
    EXPECT_EQ(thresholds, std::vector<uint8_t>(port->thresholds.begin(), port->thresholds.end()));
}

TEST_F(SmartCommands, ReturnStatusReadsTheSignature) {
    struct Case {
        uint16_t mid, high;
        int expected;
    } cases[] = {
        {0x4F, 0xC2, 0}, {0xF4, 0x2C, 1},                    // threshold exceeded
        {0x4F, 0x2C, 1}, {0xF4, 0xC2, 1}, {0x14F, 0xC2, 1},  // the whole register is compared
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.mid << " " << c.high);
        port->statusLbaMid = c.mid;
        port->statusLbaHigh = c.high;
        EXPECT_EQ(smart_status(0, kDisk), c.expected);
    }
}

TEST_F(SmartCommands, FailedRequestGivesOneAndLeavesThePage) {
    port->failingFeatures = {0xD0, 0xD1, 0xD8, 0xD9, 0xDA};
    std::vector<uint8_t> values = page(0xEE), thresholds = page(0xEE);
    EXPECT_EQ(smart_enable(0, kDisk), 1);
    EXPECT_EQ(smart_disable(0, kDisk), 1);
    EXPECT_EQ(smart_status(0, kDisk), 1);
    EXPECT_EQ(smart_read_values(0, kDisk, values.data()), 1);
    EXPECT_EQ(smart_read_thresholds(0, kDisk, thresholds.data()), 1);
    EXPECT_EQ(values, page(0xEE));
    EXPECT_EQ(thresholds, page(0xEE));
    EXPECT_EQ(log.size(), 5u);  // one try each, no retry
}

// The request goes through, but the disk's status register says it refused or faulted.
TEST_F(SmartCommands, RejectedCommandGivesOneAndLeavesThePage) {
    port->rejectedFeatures = {0xD0, 0xD1, 0xD8, 0xD9, 0xDA};
    for (uint8_t status : {0x51, 0x70}) {
        SCOPED_TRACE(testing::Message() << "status " << int(status));
        port->rejectStatus = status;
        std::vector<uint8_t> values = page(0xEE), thresholds = page(0xEE);
        EXPECT_EQ(smart_enable(0, kDisk), 1);
        EXPECT_EQ(smart_disable(0, kDisk), 1);
        EXPECT_EQ(smart_status(0, kDisk), 1);  // the signature is still 4F C2 in the reply
        EXPECT_EQ(smart_read_values(0, kDisk, values.data()), 1);
        EXPECT_EQ(smart_read_thresholds(0, kDisk, thresholds.data()), 1);
        EXPECT_EQ(values, page(0xEE));
        EXPECT_EQ(thresholds, page(0xEE));
    }
}

TEST_F(SmartCommands, BadDomainOrNullPageSendsNothing) {
    std::vector<uint8_t> values = page(0xEE);
    EXPECT_EQ(smart_enable(1, kDisk), 1);
    EXPECT_EQ(smart_status(-1, kDisk), 1);
    EXPECT_EQ(smart_read_values(1, kDisk, values.data()), 1);
    EXPECT_EQ(smart_read_values(0, kDisk, nullptr), 1);
    EXPECT_EQ(smart_read_thresholds(0, kDisk, nullptr), 1);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(values, page(0xEE));
}

}  // namespace
