// --pdcmd through the entry over an emulated machine.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ark.h"
#include "util_harness.h"

namespace {

using utiltest::UtilityMachine;

const char* const kMachine = R"({"domains": [{
   "first_id": 256,
   "disks": [{"port": 0, "capacity": 4000000, "model": "HD7200 2T0DM08"},
             {"port": 1, "capacity": 4000000, "model": "HD7200 2T0DM08", "smart_failing": true},
             {"port": 2, "capacity": 4000000, "smart": false},
             {"port": 3, "capacity": 4000000, "ncq": "unsupported"}]
}]})";

class PdCommand : public ::testing::Test {
protected:
    UtilityMachine m{kMachine};
};

TEST_F(PdCommand, SettingsSendTheirRecords) {
    const struct {
        std::vector<std::string> args;
        uint32_t code;
        uint8_t value;
    } cases[] = {
        {{"--pdcmd", "1/1", "-l", "on"}, ARK_REQ_IDENTIFY_DISK, 1},
        {{"--pdcmd", "1/1", "--locate=off"}, ARK_REQ_IDENTIFY_DISK, 0},
        {{"--pdcmd", "1/1", "-r", "OFF"}, ARK_REQ_SET_DISK_RA, 0},
        {{"--pdcmd", "1/1", "-w", "off"}, ARK_REQ_SET_DISK_WC, 0},
        {{"--pdcmd", "1/1", "-q", "on"}, ARK_REQ_SET_DISK_QD, 1},
        {{"--pdcmd", "1/2", "-s", "off"}, ARK_REQ_SET_DISK_SMART, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[2]);
        const auto r = m.run(c.args);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.status, 0);
        const auto sent = m.requests(c.code);
        ASSERT_EQ(sent.size(), 1u);
        ARK_ID_SETTING rec;
        ASSERT_EQ(sent[0].input.size(), sizeof rec);
        std::memcpy(&rec, sent[0].input.data(), sizeof rec);
        EXPECT_EQ(rec.id, c.args[1] == "1/1" ? 256u : 257u);
        EXPECT_EQ(rec.value, c.value);
        EXPECT_EQ(rec.reserved[0] | rec.reserved[1] | rec.reserved[2], 0);
    }
}

TEST_F(PdCommand, Refusals) {
    const struct {
        std::vector<std::string> args;
        const char* out;
    } cases[] = {
        {{"--pdcmd", "1/*", "-i"}, "give one disk, not a pattern: 1/*\n"},
        {{"--pdcmd", "9/9", "-i"}, "no such disk\n"},
        {{"--pdcmd", "1/1"}, "give one disk action; see arkutil -H pdcmd\n"},
        {{"--pdcmd", "1/1", "-i", "-t"}, "give one disk action per run\n"},
        {{"--pdcmd", "1/1", "-l", "maybe"}, "invalid value maybe, give on or off\n"},
        {{"--pdcmd", "1/1", "-l"}, "option needs a value\n"},
        {{"--pdcmd", "1/1", "-x"}, "invalid option\n"},
        {{"--pdcmd", "1/1", "-B"}, "invalid option\n"},
        {{"--pdcmd", "1/1", "--overwrite-passes", "0", "--sanitize-overwrite", "0"},
         "invalid pass count (1 to 16)\n"},
        {{"--pdcmd", "1/4", "-q", "on"}, "fail to turn NCQ on on disk 1/4\n"},
        {{"--pdcmd", "1/3", "-t"}, "SMART is off on this disk; turn it on with -s on\n"},
        {{"--pdcmd", "1/3", "-v"}, "SMART feature not enabled\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out);
        const auto r = m.run(c.args);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, 1);
    }
}

TEST_F(PdCommand, SmartStatus) {
    auto r = m.run({"--pdcmd", "1/1", "-t"});
    EXPECT_EQ(r.out, "SMART overall health: PASSED\n");
    EXPECT_EQ(r.status, 0);
    r = m.run({"--pdcmd", "1/2", "--smartstatus"});
    EXPECT_EQ(r.out, "SMART overall health: FAILED (a threshold is exceeded)\n");
    EXPECT_EQ(r.status, 0);
    m.emulator().InjectFault({ARK_REQ_ATA_PASSTHROUGH, emu::Fault::Kind::Fail});
    r = m.run({"--pdcmd", "1/1", "-t"});
    EXPECT_EQ(r.out, "fail to read the SMART status\n");
    EXPECT_EQ(r.status, 1);
}

TEST_F(PdCommand, SmartReportMarksFailingAttributes) {
    m.emulator().Modify([](emu::State& s) {
        auto& attrs = s.disks.at(256).smart;
        attrs.clear();
        emu::SmartAttribute now, past, fine;
        now.id = 5;
        now.flags = 0x33;
        now.current = now.worst = now.threshold = 10;
        past.id = 7;
        past.flags = 0x0F;
        past.current = 80;
        past.worst = 25;
        past.threshold = 30;
        past.raw = {0x78, 0x0A, 0, 0, 0, 0};
        fine.id = 9;
        fine.flags = 0x32;
        fine.current = fine.worst = 90;
        attrs = {now, past, fine};
    });
    const auto r = m.run({"--pdcmd", "1/1", "-v"});
    EXPECT_EQ(r.status, 0);
    std::istringstream lines(r.out);
    std::string line;
    std::vector<std::string> rows;
    while (std::getline(lines, line)) rows.push_back(line);
    ASSERT_EQ(rows.size(), 5u) << r.out;
    EXPECT_EQ(rows[0], "SMART overall health: FAILED");
    // Id, flags, values, threshold, raw bytes and the mark; the names come from the drive's
    // profile and are checked by the SMART database's own tests.
    EXPECT_EQ(rows[2].substr(0, 4), "  5 ");
    EXPECT_EQ(rows[2].substr(35), "0x0033    10    10     10 00 00 00 00 00 00  NOW");
    EXPECT_EQ(rows[3].substr(35), "0x000F    80    25     30 78 0A 00 00 00 00  in the past");
    EXPECT_EQ(rows[4].substr(35), "0x0032    90    90      0 00 00 00 00 00 00  -");
}

TEST_F(PdCommand, IdentifyPrintout) {
    const auto r = m.run({"--pdcmd", "1/4", "-i"});
    EXPECT_EQ(r.status, 0);
    std::ifstream in(std::string(UTILITY_TESTDATA) + "/testdata/identify_1_4.txt");
    std::stringstream expected;
    expected << in.rdbuf();
    EXPECT_EQ(r.out, expected.str());
}

TEST_F(PdCommand, AFailedIdentifyIsAFailure) {
    m.emulator().InjectFault({ARK_REQ_ATA_PASSTHROUGH, emu::Fault::Kind::Fail});
    const auto r = m.run({"--pdcmd", "1/4", "-i"});
    EXPECT_EQ(r.out, "fail to send IDENTIFY DEVICE to the disk\n");
    EXPECT_EQ(r.status, 1);
}

}  // namespace

namespace {

TEST_F(PdCommand, SmartReportOfAScenarioDisk) {
    const auto r = m.run({"--pdcmd", "1/1", "--smartvalues"});
    EXPECT_EQ(r.status, 0);
    std::ifstream in(std::string(UTILITY_TESTDATA) + "/testdata/smart_1_1.txt");
    std::stringstream expected;
    expected << in.rdbuf();
    EXPECT_EQ(r.out, expected.str());
}

}  // namespace
