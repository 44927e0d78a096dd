#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>

#include "ark.h"
#include "disk_pages.h"
#include "emulator.h"
#include "test_support.h"

namespace emu {
namespace {

using testing::EmulatorFrom;

constexpr const char* kDisks = R"({"domains": [{"disks": [
    {"model": "Hard Disk Model 9", "serial": "SER123", "fwrev": "FW1", "capacity": 7814037168,
     "smart_family": "hdd"},
    {"capacity": 1000, "ssd": true, "smart_failing": true, "ncq": "unsupported"},
    {"capacity": 1000, "smart": false},
    {"capacity": 1000, "disabled": true}]}]})";

struct Reply {
    int rc = 0;
    ARK_ATA_PASSTHROUGH header{};
    std::vector<uint8_t> data;
};

// One pass-through request laid out as arkAtaPassthrough lays it out.
// NOLINTBEGIN(bugprone-easily-swappable-parameters): the ATA registers in task-file order
Reply Ata(Emulator& e, uint32_t disk, uint8_t command, uint16_t features, uint8_t protocol,
          uint16_t sectors, uint16_t mid = 0x4F, uint16_t high = 0xC2,
          const std::vector<uint8_t>& dataOut = {}) {
    // NOLINTEND(bugprone-easily-swappable-parameters)
    ARK_ATA_PASSTHROUGH h{};
    h.disk = disk;
    h.command = command;
    h.features = features;
    h.lba_mid = mid;
    h.lba_high = high;
    h.sectors = sectors;
    h.sector_count = sectors;
    h.protocol = protocol;
    const uint32_t data = sectors * 512u;
    const uint32_t inLen = 20 + (protocol == ARK_ATA_DATA_IN ? 0 : data);
    const uint32_t outLen = 20 + (protocol == ARK_ATA_DATA_IN ? data : 0);
    std::vector<uint8_t> buffer(inLen + outLen, 0xCC);
    std::memcpy(buffer.data(), &h, 20);
    if (protocol != ARK_ATA_DATA_IN) {
        std::fill(buffer.begin() + 20, buffer.begin() + inLen, 0);
        std::copy(dataOut.begin(), dataOut.end(), buffer.begin() + 20);
    }
    Reply r;
    r.rc = e.Handle(ARK_REQ_ATA_PASSTHROUGH, buffer.data(), inLen, buffer.data() + inLen, outLen,
                    nullptr);
    std::memcpy(&r.header, buffer.data() + inLen, 20);
    r.data.assign(buffer.begin() + inLen + 20, buffer.end());
    return r;
}

uint16_t Word(const std::vector<uint8_t>& page, size_t w) {
    return uint16_t(page[2 * w] | page[2 * w + 1] << 8);
}

// ATA text: each word's two bytes swapped.
std::string Text(const std::vector<uint8_t>& page, size_t firstWord, size_t words) {
    std::string s;
    for (size_t i = 0; i < 2 * words; ++i) s += char(page[2 * firstWord + (i ^ 1)]);
    return s;
}

uint8_t Sum(const std::vector<uint8_t>& page) {
    return uint8_t(std::accumulate(page.begin(), page.end(), 0u));
}

TEST(AtaIdentify, AnswersTheDisksIdentity) {
    auto e = EmulatorFrom(kDisks);
    const Reply r = Ata(*e, 256, 0xEC, 0, ARK_ATA_DATA_IN, 1, 0, 0);
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(r.header.command, 0x50);
    EXPECT_EQ(r.header.disk, 256u);
    ASSERT_EQ(r.data.size(), 512u);
    EXPECT_EQ(Text(r.data, 27, 20), "Hard Disk Model 9" + std::string(23, ' '));
    EXPECT_EQ(Text(r.data, 10, 10), "SER123" + std::string(14, ' '));
    EXPECT_EQ(Text(r.data, 23, 4), "FW1     ");
    EXPECT_EQ(r.data[54], 'a');  // "Ha" goes out as 'a', 'H'
    EXPECT_EQ(r.data[55], 'H');
    const uint64_t lba48 = uint64_t(Word(r.data, 100)) | uint64_t(Word(r.data, 101)) << 16 |
                           uint64_t(Word(r.data, 102)) << 32;
    EXPECT_EQ(lba48, 7814037168u);
    EXPECT_EQ(Word(r.data, 60) | Word(r.data, 61) << 16, 0x0FFFFFFF);
    EXPECT_EQ(Word(r.data, 49) & 0x0300, 0x0300);  // LBA and DMA
    EXPECT_EQ(Word(r.data, 83) & 0x0400, 0x0400);  // 48-bit LBA
    EXPECT_EQ(Word(r.data, 82) & 0x0001, 0x0001);  // SMART supported
    EXPECT_EQ(Word(r.data, 85) & 0x0001, 0x0001);  // SMART enabled
    EXPECT_EQ(Word(r.data, 48) & 0x0001, 0);       // no trusted computing
    EXPECT_EQ(Word(r.data, 128) & 0x0001, 0x0001);
    EXPECT_EQ(Word(r.data, 217), 7200);
    EXPECT_EQ(r.data[510], 0xA5);
    EXPECT_EQ(Sum(r.data), 0);

    const Reply ssd = Ata(*e, 257, 0xEC, 0, ARK_ATA_DATA_IN, 1, 0, 0);
    EXPECT_EQ(Word(ssd.data, 217), 1);
    EXPECT_EQ(Word(ssd.data, 76) & 0x0100, 0);  // no NCQ
    const Reply off = Ata(*e, 258, 0xEC, 0, ARK_ATA_DATA_IN, 1, 0, 0);
    EXPECT_EQ(Word(off.data, 85) & 0x0001, 0);
}

TEST(AtaSmart, PagesHaveTheStandardLayout) {
    auto e = EmulatorFrom(kDisks);
    const Reply data = Ata(*e, 256, 0xB0, 0xD0, ARK_ATA_DATA_IN, 1);
    const Reply thresholds = Ata(*e, 256, 0xB0, 0xD1, ARK_ATA_DATA_IN, 1);
    ASSERT_EQ(data.rc, 0);
    ASSERT_EQ(thresholds.rc, 0);
    EXPECT_EQ(data.header.command, 0x50);
    EXPECT_EQ(Sum(data.data), 0);
    EXPECT_EQ(Sum(thresholds.data), 0);
    const std::vector<SmartAttribute> hdd = SmartFamily("hdd");
    ASSERT_FALSE(hdd.empty());
    for (size_t i = 0; i < 30; ++i) {
        SCOPED_TRACE(i);
        const uint8_t* slot = data.data.data() + 2 + 12 * i;
        const uint8_t* limit = thresholds.data.data() + 2 + 12 * i;
        if (i >= hdd.size()) {
            EXPECT_EQ(slot[0], 0);
            continue;
        }
        EXPECT_EQ(slot[0], hdd[i].id);
        EXPECT_EQ(slot[1] | slot[2] << 8, hdd[i].flags);
        EXPECT_EQ(slot[3], hdd[i].current);
        EXPECT_EQ(slot[4], hdd[i].worst);
        EXPECT_EQ(std::memcmp(slot + 5, hdd[i].raw.data(), 6), 0);
        EXPECT_EQ(limit[0], hdd[i].id);
        EXPECT_EQ(limit[1], hdd[i].threshold);
    }
    // Power-on hours of this family: raw 8760.
    EXPECT_EQ(data.data[2 + 12 * 5 + 0], 9);
    EXPECT_EQ(data.data[2 + 12 * 5 + 5] | data.data[2 + 12 * 5 + 6] << 8, 8760);
}

TEST(AtaSmart, FamiliesDiffer) {
    for (const char* family : {"hdd", "hdd_enterprise", "ssd", "ssd_tlc"}) {
        SCOPED_TRACE(family);
        EXPECT_TRUE(IsSmartFamily(family));
        EXPECT_GE(SmartFamily(family).size(), 10u);
        EXPECT_LE(SmartFamily(family).size(), 30u);
    }
    EXPECT_NE(SmartFamily("ssd")[3].id, SmartFamily("ssd_tlc")[3].id);
    EXPECT_FALSE(IsSmartFamily("floppy"));
}

TEST(AtaSmart, CommandsAndRejections) {
    auto e = EmulatorFrom(kDisks);
    struct Row {
        const char* name;
        uint32_t disk;
        uint8_t command;
        uint16_t features;
        uint8_t protocol;
        uint16_t sectors;
        uint16_t mid, high;
        uint8_t status;  // in the reply header
        uint16_t replyMid, replyHigh;
    };
    const Row rows[] = {
        {"status good", 256, 0xB0, 0xDA, 0, 0, 0x4F, 0xC2, 0x50, 0x4F, 0xC2},
        {"status threshold exceeded", 257, 0xB0, 0xDA, 0, 0, 0x4F, 0xC2, 0x50, 0xF4, 0x2C},
        {"no signature", 256, 0xB0, 0xDA, 0, 0, 0, 0, 0x51, 0, 0},
        {"smart disabled", 258, 0xB0, 0xD0, ARK_ATA_DATA_IN, 1, 0x4F, 0xC2, 0x51, 0x4F, 0xC2},
        {"status with smart disabled", 258, 0xB0, 0xDA, 0, 0, 0x4F, 0xC2, 0x51, 0x4F, 0xC2},
        {"unknown feature", 256, 0xB0, 0xD5, ARK_ATA_DATA_IN, 1, 0x4F, 0xC2, 0x51, 0x4F, 0xC2},
        {"identify of two sectors", 256, 0xEC, 0, ARK_ATA_DATA_IN, 2, 0, 0, 0x51, 0, 0},
        {"unknown command", 256, 0x25, 0, ARK_ATA_DATA_IN, 1, 0, 0, 0x51, 0, 0},
        {"trusted receive without model", 256, 0x5C, 1, ARK_ATA_DATA_IN, 1, 1, 0, 0x51, 1, 0},
        {"trusted send without model", 256, 0x5E, 1, ARK_ATA_DATA_OUT, 1, 1, 0, 0x51, 1, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Reply r = Ata(*e, row.disk, row.command, row.features, row.protocol, row.sectors,
                            row.mid, row.high);
        ASSERT_EQ(r.rc, 0);
        EXPECT_EQ(r.header.command, row.status);
        EXPECT_EQ(r.header.features, row.status == 0x51 ? 0x04 : row.features);
        EXPECT_EQ(r.header.lba_mid, row.replyMid);
        EXPECT_EQ(r.header.lba_high, row.replyHigh);
        EXPECT_EQ(r.header.disk, row.disk);
    }
    // A disk that is gone or failed does not answer at all.
    EXPECT_EQ(Ata(*e, 259, 0xEC, 0, ARK_ATA_DATA_IN, 1, 0, 0).rc, -1);
    EXPECT_EQ(Ata(*e, 999, 0xEC, 0, ARK_ATA_DATA_IN, 1, 0, 0).rc, -1);
}

TEST(AtaSmart, EnableAndDisableFollowTheDiskFlag) {
    auto e = EmulatorFrom(kDisks);
    ASSERT_EQ(Ata(*e, 258, 0xB0, 0xD8, 0, 0).header.command, 0x50);
    EXPECT_TRUE(e->Snapshot().disks.at(258).flags & ARK_DISK_SMART_ON);
    EXPECT_EQ(Ata(*e, 258, 0xB0, 0xD0, ARK_ATA_DATA_IN, 1).header.command, 0x50);
    ASSERT_EQ(Ata(*e, 258, 0xB0, 0xD9, 0, 0).header.command, 0x50);
    EXPECT_FALSE(e->Snapshot().disks.at(258).flags & ARK_DISK_SMART_ON);
}

// Records what reached it and answers receives with a pattern.
class RecordingDrive : public TrustedDevice {
public:
    bool TrustedSend(uint8_t protocol, uint16_t comId, const uint8_t* data,
                     size_t length) override {
        sent.assign(data, data + length);
        lastProtocol = protocol;
        lastComId = comId;
        return accept;
    }
    bool TrustedReceive(uint8_t protocol, uint16_t comId, uint8_t* data, size_t length) override {
        for (size_t i = 0; i < length; ++i) data[i] = uint8_t(i * 7);
        lastProtocol = protocol;
        lastComId = comId;
        return accept;
    }
    std::vector<uint8_t> sent;
    uint8_t lastProtocol = 0;
    uint16_t lastComId = 0;
    bool accept = true;
};

TEST(AtaTrusted, SendAndReceiveReachTheDrive) {
    auto drive = std::make_shared<RecordingDrive>();
    RegisterTrustedDeviceProfile("recording", [drive] { return drive; });
    auto e = EmulatorFrom(R"({"domains": [{"disks": [{"capacity": 100, "tcg": "recording"}]}]})");
    const Reply id = Ata(*e, 256, 0xEC, 0, ARK_ATA_DATA_IN, 1, 0, 0);
    EXPECT_EQ(Word(id.data, 48) & 0x0001, 0x0001);

    std::vector<uint8_t> payload(512, 0);
    payload[0] = 0x42;
    payload[511] = 0x24;
    const Reply sent = Ata(*e, 256, 0x5E, 0x01, ARK_ATA_DATA_OUT, 1, 0xFE, 0x07, payload);
    ASSERT_EQ(sent.rc, 0);
    EXPECT_EQ(sent.header.command, 0x50);
    EXPECT_EQ(drive->sent, payload);
    EXPECT_EQ(drive->lastProtocol, 0x01);
    EXPECT_EQ(drive->lastComId, 0x07FE);

    const Reply got = Ata(*e, 256, 0x5C, 0x02, ARK_ATA_DATA_IN, 2, 0x01, 0x00);
    ASSERT_EQ(got.rc, 0);
    EXPECT_EQ(got.header.command, 0x50);
    ASSERT_EQ(got.data.size(), 1024u);
    EXPECT_EQ(got.data[3], 21);
    EXPECT_EQ(drive->lastProtocol, 0x02);
    EXPECT_EQ(drive->lastComId, 0x0001);

    drive->accept = false;
    const Reply refused = Ata(*e, 256, 0x5C, 0x01, ARK_ATA_DATA_IN, 1, 0x01, 0x00);
    EXPECT_EQ(refused.header.command, 0x51);
    EXPECT_EQ(refused.header.features, 0x04);
    // What the drive wrote before it refused does not reach the host.
    EXPECT_EQ(std::count(refused.data.begin(), refused.data.end(), 0), 512);
}

}  // namespace
}  // namespace emu
