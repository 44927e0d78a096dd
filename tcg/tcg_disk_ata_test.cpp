#include "tcg_disk_ata.h"

#include <gtest/gtest.h>

#include <cstring>

#include "ark.h"
#include "domain.h"
#include "recording_port.h"
#include "selection.h"

namespace {

using Bytes = std::vector<uint8_t>;

ARK_ATA_PASSTHROUGH headerOf(const Bytes& request) {
    ARK_ATA_PASSTHROUGH h;
    std::memcpy(&h, request.data(), sizeof h);
    return h;
}

// The controller's reply: the header with the ATA status, then the data.
Bytes replyWith(uint8_t status, const Bytes& data = {}) {
    ARK_ATA_PASSTHROUGH h{};
    h.command = status;
    Bytes out(sizeof h + data.size());
    std::memcpy(out.data(), &h, sizeof h);
    if (!data.empty()) std::memcpy(out.data() + sizeof h, data.data(), data.size());
    return out;
}

// One recorded domain as domain 0 of the process.
class RecordedDomain : public testing::Test {
protected:
    void SetUp() override {
        arkResetDomainsForTest();
        port = new RecordingPort(&log);
        g_domains.push_back(new CSinglePortDomain(port));
        g_currentDomain = 0;
        disk.diskId = 0x101;
    }
    void TearDown() override { arkResetDomainsForTest(); }

    std::vector<RecordedRequest> log;
    RecordingPort* port = nullptr;
    TcgDiskATA disk;
};

TEST_F(RecordedDomain, ReceiveOf1024Bytes) {
    Bytes data(1024);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 3);
    port->script.push_back({0, replyWith(0x50, data)});
    Bytes buffer(1024, 0xEE);
    ASSERT_EQ(disk.sendCmd(0x5C, 0x01, 0x07FE, buffer.data(), 1024), 0);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].code, ARK_REQ_ATA_PASSTHROUGH);
    EXPECT_EQ(log[0].in.size(), 20u);
    EXPECT_EQ(log[0].outLen, 1044u);
    const ARK_ATA_PASSTHROUGH h = headerOf(log[0].in);
    EXPECT_EQ(h.disk, 0x101u);
    EXPECT_EQ(h.features, 1);
    EXPECT_EQ(h.sector_count, 2);
    EXPECT_EQ(h.sectors, 2);
    EXPECT_EQ(h.lba_low, 0);
    EXPECT_EQ(h.lba_mid, 0xFE);
    EXPECT_EQ(h.lba_high, 0x07);
    EXPECT_EQ(h.device, 0);
    EXPECT_EQ(h.command, 0x5C);
    EXPECT_EQ(h.protocol, ARK_ATA_DATA_IN);
    EXPECT_EQ(buffer, data);
}

TEST_F(RecordedDomain, SendOf512Bytes) {
    port->script.push_back({0, replyWith(0x50)});
    Bytes buffer(512, 0x5A);
    ASSERT_EQ(disk.sendCmd(0x5E, 0x01, 0x1000, buffer.data(), 512), 0);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].in.size(), 532u);
    EXPECT_EQ(log[0].outLen, 20u);
    const ARK_ATA_PASSTHROUGH h = headerOf(log[0].in);
    EXPECT_EQ(h.sector_count, 1);
    EXPECT_EQ(h.sectors, 1);
    EXPECT_EQ(h.lba_mid, 0x00);
    EXPECT_EQ(h.lba_high, 0x10);
    EXPECT_EQ(h.command, 0x5E);
    EXPECT_EQ(h.protocol, ARK_ATA_DATA_OUT);
    EXPECT_EQ(Bytes(log[0].in.begin() + 20, log[0].in.end()), buffer);
}

TEST_F(RecordedDomain, FailuresOfTheControllerOrTheDrive) {
    struct Case {
        const char* what;
        int result;
        uint8_t status;
        int domain;
        size_t requests;
        uint8_t expected;
    };
    const Case cases[] = {
        {"completed", 0, 0x50, 0, 1, 0},           {"drive aborted (ERR)", 0, 0x51, 0, 1, 1},
        {"drive fault (DF)", 0, 0x70, 0, 1, 1},    {"controller refused", -1, 0x50, 0, 1, 1},
        {"domain out of range", 0, 0x50, 1, 0, 1}, {"negative domain", 0, 0x50, -1, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        log.clear();
        g_currentDomain = c.domain;
        port->script.push_back({c.result, replyWith(c.status, Bytes(1024, 0x77))});
        Bytes buffer(1024, 0);
        testing::internal::CaptureStdout();
        EXPECT_EQ(disk.sendCmd(0x5C, 0x01, 0x0001, buffer.data(), 1024), c.expected);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  c.expected == 0 ? "" : "sendCmd failed!\n");
        EXPECT_EQ(log.size(), c.requests);
        // A failed receive hands over nothing.
        EXPECT_EQ(buffer, Bytes(1024, c.expected == 0 ? 0x77 : 0));
        port->script.clear();
    }
}

TEST_F(RecordedDomain, IdentifySwapsTheStringBytes) {
    Bytes id(512, ' ');
    const char serial[] = "ME0U00000010        ";  // as the drive stores it: pairs swapped
    std::memcpy(id.data() + 20, serial, 20);
    std::memcpy(id.data() + 46, ".1 0    ", 8);
    const char model[] = "aHdrD irev                              ";
    std::memcpy(id.data() + 54, model, 40);
    id[96] = 0x01;
    id[97] = 0x00;
    port->script.push_back({0, replyWith(0x50, id)});
    TcgDiskInfo info{};
    info.interfaceType = 7;
    disk.identify(info);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].in.size(), 20u);
    EXPECT_EQ(log[0].outLen, 532u);
    const ARK_ATA_PASSTHROUGH h = headerOf(log[0].in);
    EXPECT_EQ(h.command, 0xEC);
    EXPECT_EQ(h.sectors, 1);
    EXPECT_EQ(h.sector_count, 0);
    EXPECT_EQ(h.protocol, ARK_ATA_DATA_IN);
    EXPECT_STREQ(info.serialNumber, "EMU000000001        ");
    EXPECT_STREQ(info.firmwareRevision, "1.0     ");
    EXPECT_STREQ(info.modelNumber, "Hard Drive                              ");
    EXPECT_EQ(info.interfaceType, 0u);
}

TEST_F(RecordedDomain, FailedIdentifyLeavesTheRecord) {
    port->script.push_back({0, replyWith(0x51, Bytes(512, 'x'))});
    TcgDiskInfo info{};
    std::memcpy(info.modelNumber, "before", 7);
    testing::internal::CaptureStdout();
    disk.identify(info);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ATA IDENTIFY failed!\n");
    EXPECT_STREQ(info.modelNumber, "before");
    EXPECT_STREQ(info.serialNumber, "");
}

}  // namespace
