// The TCG tool run through the utility's --tcgtool option, over an emulated machine: what the
// command line accepts, which disks it may open and what it sends.

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

// Three plain disks (no TCG drive): 1/1, 1/2 and 1/3.
const char* const kPlainDisks = R"({"domains": [{
  "first_id": 256,
  "disks": [
    {"port": 0, "capacity": 2000000, "model": "HD7200 4T0A610", "serial": "K4K1ZB7B",
     "fwrev": "A5GNT920"},
    {"port": 1, "capacity": 2000000},
    {"port": 2, "capacity": 2000000}
  ]
}]})";

std::string usageText() {
    std::ifstream in(std::string(TCG_TESTDATA_DIR) + "/tcgtool_usage.txt", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(TcgTool, CommandLinesThatSendNothing) {
    const std::string usage = usageText();
    ASSERT_FALSE(usage.empty());
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;
    };
    const Case cases[] = {
        {{"--tcgtool"}, 136, usage},
        {{"--tcgtool", "--help"}, 136, usage},
        {{"--tcgtool", "--scan"}, 134, "ERR : Unable to determine what you want to do \n" + usage},
        // No action: the tool's argument 0 names no disk.
        {{"--tcgtool", "-v"},
         136,
         "DBG : Log level set to DBG \nERR : Invalid or unsupported disk --tcgtool\n"},
        {{"--tcgtool", "--enableuser", "pw", "1/1"},
         136,
         "ERR : Incorrect number of paramaters for --enableuser command\n"},
        {{"--tcgtool", "--setLockingRange", "16", "RW", "pw", "1/1"},
         136,
         "ERR : Invalid Locking Range (0-15) 16\n"},
        {{"--tcgtool", "--setupLockingRange", "1", "0x10", "8", "pw", "1/1"},
         136,
         "ERR : Invalid RangeStart (a whole decimal number) 0x10\n"},
        // A disk that does not exist is never addressed (not even as disk id 0).
        {{"--tcgtool", "--initialSetup", "pw", "1/9"},
         136,
         "ERR : Invalid or unsupported disk 1/9\n"},
        {{"--tcgtool", "--query", "2/1"}, 136, "ERR : Invalid or unsupported disk 2/1\n"},
        // isValidSED reports on any name and always ends with 0.
        {{"--tcgtool", "--isValidSED", ""}, 0, "ERR : Invalid or unsupported disk \n"},
        {{"--tcgtool", "--isValidSED", "9/9"}, 0, "ERR : Invalid or unsupported disk 9/9\n"},
        // Whatever may change a drive names exactly one disk.
        {{"--tcgtool", "--revertTPer", "pw", "*"}, 136, "ERR : Invalid or unsupported disk *\n"},
        {{"--tcgtool", "--takeOwnership", "pw", "1/*"},
         136,
         "ERR : Invalid or unsupported disk 1/*\n"},
        {{"--tcgtool", "-n", "--setLockingRange", "1", "LK", "pw", "1/*"},
         136,
         "ERR : Invalid or unsupported disk 1/*\n"},
        {{"--tcgtool", "--PSIDrevert", "psid", "1/1*"},
         136,
         "ERR : Invalid or unsupported disk 1/1*\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        UtilityMachine m(kPlainDisks);
        const utiltest::RunResult r = m.run(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, c.out);
        EXPECT_TRUE(m.requests(ARK_REQ_ATA_PASSTHROUGH).empty());
    }
}

TEST(TcgTool, DisksThatAreNoTcgDrives) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;  // the whole output, or a line of it at DBG1
    };
    const Case cases[] = {
        // IDENTIFY answers, the drive refuses TRUSTED RECEIVE.
        {{"--tcgtool", "--isValidSED", "1/1"},
         0,
         "sendCmd failed!\n1/1 NO  ------- HD7200 4T0A610" + std::string(26, ' ') + " A5GNT920\n"},
        {{"--tcgtool", "--query", "1/1"},
         136,
         "sendCmd failed!\nERR : Invalid or unsupported disk 1/1\n"},
        // A pattern is fine for reading: the first disk it matches.
        {{"--tcgtool", "--printDefaultPassword", "1/*"},
         136,
         "sendCmd failed!\nERR : Invalid or unsupported disk 1/*\n"},
        // At DBG1 the probe's traces surround it; the verdict is the same.
        {{"--tcgtool", "-vvvv", "--takeOwnership", "pw", "1/2"},
         136,
         "ERR : Invalid or unsupported disk 1/2\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1]);
        UtilityMachine m(kPlainDisks);
        const utiltest::RunResult r = m.run(c.args);
        EXPECT_EQ(r.status, c.status);
        if (c.args[1] == "-vvvv") {
            EXPECT_NE(r.out.find("DBG1: "), std::string::npos);
            EXPECT_NE(r.out.find(c.out), std::string::npos);
        } else {
            EXPECT_EQ(r.out, c.out);
        }
        // IDENTIFY and one Level 0 Discovery, to the disk named.
        const auto sent = m.requests(ARK_REQ_ATA_PASSTHROUGH);
        ASSERT_EQ(sent.size(), 2u);
        for (const auto& request : sent) {
            ARK_ATA_PASSTHROUGH header;
            std::memcpy(&header, request.input.data(), sizeof header);
            EXPECT_EQ(header.disk, c.args.back() == "1/2" ? 257u : 256u);
        }
    }
}

}  // namespace
