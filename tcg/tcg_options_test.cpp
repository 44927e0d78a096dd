// The TCG tool's command line: argument counts, values, options and the usage text.

#include "tcg_options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tcg_log.h"

namespace {

struct Parsed {
    uint8_t rc;
    TcgOptions opts;
    std::string out;
};

Parsed parse(std::vector<std::string> args) {
    args.insert(args.begin(), "--tcgtool");
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    Parsed p{};
    testing::internal::CaptureStdout();
    p.rc = parseTcgOptions(int(args.size()), argv.data(), &p.opts);
    p.out = testing::internal::GetCapturedStdout();
    return p;
}

std::string usageText() {
    std::ifstream in(std::string(TCG_TESTDATA_DIR) + "/tcgtool_usage.txt", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(TcgOptions, UsageIsPrintedByteForByte) {
    const std::string golden = usageText();
    ASSERT_FALSE(golden.empty());
    testing::internal::CaptureStdout();
    printTcgUsage();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), golden);
    // Help and a missing action both show it and fail with 134.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"-h"}, {"--help"}, {"-n", "--help", "--query", "1/1"}}) {
        const Parsed p = parse(args);
        EXPECT_EQ(p.rc, 134);
        EXPECT_EQ(p.out, golden);
    }
}

TEST(TcgOptions, ArgumentCountsOfEveryAction) {
    struct Case {
        const char* keyword;
        int arguments;  // including the device
    };
    const Case cases[] = {
        {"initialSetup", 2},
        {"setSIDPassword", 3},
        {"setup_SUM", 6},
        {"setAdmin1Pwd", 3},
        {"setPassword", 4},
        {"setPassword_SUM", 4},
        {"loadPBAimage", 3},
        {"setLockingRange", 4},
        {"revertTPer", 2},
        {"revertNoErase", 2},
        {"setLockingRange_SUM", 4},
        {"revertLockingSP", 2},
        {"PSIDrevert", 2},
        {"PSIDrevertAdminSP", 2},
        {"yesIreallywanttoERASEALLmydatausingthePSID", 2},
        {"enableLockingRange", 3},
        {"disableLockingRange", 3},
        {"readonlyLockingRange", 3},
        {"setupLockingRange", 5},
        {"setupLockingRange_SUM", 5},
        {"listLockingRanges", 2},
        {"listLockingRange", 3},
        {"rekeyLockingRange", 3},
        {"setBandsEnabled", 2},
        {"setBandEnabled", 3},
        {"setMBREnable", 3},
        {"setMBRDone", 3},
        {"enableuser", 3},
        {"activateLockingSP", 2},
        {"activateLockingSP_SUM", 3},
        {"eraseLockingRange_SUM", 3},
        {"query", 1},
        {"scan", 0},
        {"isValidSED", 1},
        {"eraseLockingRange", 3},
        {"takeOwnership", 2},
        {"validatePBKDF2", 0},
        {"objDump", 5},
        {"printDefaultPassword", 1},
        {"rawCmd", 7},
    };
    ASSERT_EQ(sizeof cases / sizeof cases[0], 40u);
    for (size_t n = 0; n < 40; ++n) {
        const Case& c = cases[n];
        SCOPED_TRACE(c.keyword);
        EXPECT_STREQ(tcgActionKeyword(uint8_t(n + 1)), c.keyword);
        // Values every kind of argument accepts, the device last.
        auto args = [&](int count) {
            std::vector<std::string> a = {"-n", std::string("--") + c.keyword};
            for (int i = 0; i < count; ++i) a.push_back(i == count - 1 ? "1/1" : "1");
            if (std::string(c.keyword) == "setLockingRange" ||
                std::string(c.keyword) == "setLockingRange_SUM")
                a[3] = "RW";
            if (std::string(c.keyword) == "setMBREnable" || std::string(c.keyword) == "setMBRDone")
                a[2] = "on";
            return a;
        };
        const Parsed ok = parse(args(c.arguments));
        EXPECT_EQ(ok.rc, 0) << ok.out;
        EXPECT_EQ(ok.opts.action, n + 1);
        EXPECT_EQ(ok.opts.noHashPasswords, 1);
        if (c.arguments > 0) {
            EXPECT_EQ(ok.opts.deviceIndex, 2 + c.arguments);
        }
        for (int wrong : {c.arguments - 1, c.arguments + 1}) {
            if (wrong < 0) continue;
            const Parsed bad = parse(args(wrong));
            EXPECT_EQ(bad.rc, 100);
            EXPECT_EQ(bad.out, std::string("ERR : Incorrect number of paramaters for --") +
                                   c.keyword + " command\n");
        }
    }
}

TEST(TcgOptions, ArgumentPositionsFollowTheTable) {
    const Parsed p = parse({"--setup_SUM", "3", "2048", "4096", "adminpw", "userpw", "1/2"});
    ASSERT_EQ(p.rc, 0);
    EXPECT_EQ(p.opts.lockingRange, 3);
    EXPECT_EQ(p.opts.rangeStartIndex, 3);
    EXPECT_EQ(p.opts.rangeLengthIndex, 4);
    EXPECT_EQ(p.opts.passwordIndex, 5);
    EXPECT_EQ(p.opts.newPasswordIndex, 6);
    EXPECT_EQ(p.opts.deviceIndex, 7);

    const Parsed u = parse({"-l", "--setPassword", "old", "User2", "new", "1/1"});
    ASSERT_EQ(u.rc, 0);
    EXPECT_EQ(u.opts.passwordIndex, 3);
    EXPECT_EQ(u.opts.userIndex, 4);
    EXPECT_EQ(u.opts.newPasswordIndex, 5);
    EXPECT_EQ(u.opts.outputStyle, 0u);

    const Parsed f = parse({"--loadPBAimage", "pw", "pba.img", "1/1"});
    ASSERT_EQ(f.rc, 0);
    EXPECT_EQ(f.opts.pbaFileIndex, 3);
}

TEST(TcgOptions, ValuesAreCheckedWhenParsed) {
    struct Case {
        std::vector<std::string> args;
        uint8_t rc;
        const char* out;
        uint8_t range = 0, state = 0, mbr = 0;
    };
    const Case cases[] = {
        {{"--setLockingRange", "15", "lk", "pw", "1/1"}, 0, "", 15, 3, 0},
        {{"--setLockingRange", "0", "RO", "pw", "1/1"}, 0, "", 0, 2, 0},
        {{"--setLockingRange", "1", "rw", "pw", "1/1"}, 0, "", 1, 1, 0},
        {{"--setLockingRange", "16", "RW", "pw", "1/1"},
         1,
         "ERR : Invalid Locking Range (0-15) 16\n"},
        {{"--setLockingRange", "01", "RW", "pw", "1/1"},
         1,
         "ERR : Invalid Locking Range (0-15) 01\n"},
        {{"--setLockingRange", "1", "Rw", "pw", "1/1"},
         1,
         "ERR : Invalid locking state <ro|rw|lk> Rw\n"},
        {{"--eraseLockingRange_SUM", "x", "pw", "1/1"},
         1,
         "ERR : Invalid Locking Range (1-15) x\n"},
        {{"--eraseLockingRange_SUM", "0", "pw", "1/1"}, 0, "", 0},
        {{"--setMBREnable", "OFF", "pw", "1/1"}, 0, "", 0, 0, 0},
        {{"--setMBRDone", "ON", "pw", "1/1"}, 0, "", 0, 0, 1},
        {{"--setMBREnable", "On", "pw", "1/1"},
         1,
         "ERR : Invalid setMBREnable argument not <on|off> On\n"},
        {{"--setMBRDone", "1", "pw", "1/1"},
         1,
         "ERR : Invalid setMBRDone argument not <on|off> 1\n"},
        {{"--setupLockingRange", "1", "0", "18446744073709551615", "pw", "1/1"}, 0, "", 1},
        {{"--setupLockingRange", "1", "-5", "100", "pw", "1/1"},
         1,
         "ERR : Invalid RangeStart (a whole decimal number) -5\n"},
        {{"--setupLockingRange", "1", "5", "1e3", "pw", "1/1"},
         1,
         "ERR : Invalid RangeLength (a whole decimal number) 1e3\n"},
        {{"--setup_SUM", "1", "5", "18446744073709551616", "a", "b", "1/1"},
         1,
         "ERR : Invalid RangeLength (a whole decimal number) 18446744073709551616\n"},
        {{"--setupLockingRange_SUM", "1", "", "8", "pw", "1/1"},
         1,
         "ERR : Invalid RangeStart (a whole decimal number) \n"},
        {{"initialSetup", "pw", "1/1"},
         134,
         "ERR : Argument 1 (initialSetup) should be a command\n"},
        {{"--initialsetup", "pw", "1/1"},
         134,
         "ERR : Invalid command line argument --initialsetup\n"},
        // Options after the action count as its arguments.
        {{"--query", "1/1", "-v"},
         100,
         "ERR : Incorrect number of paramaters for --query command\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        const Parsed p = parse(c.args);
        EXPECT_EQ(p.rc, c.rc);
        EXPECT_EQ(p.out, c.out);
        if (c.rc == 0) {
            EXPECT_EQ(p.opts.lockingRange, c.range);
            EXPECT_EQ(p.opts.lockingState, c.state);
            EXPECT_EQ(p.opts.mbrState, c.mbr);
        }
    }
}

TEST(TcgOptions, VerbosityRaisesTheLevelUpToSeven) {
    struct Case {
        std::vector<std::string> args;
        int level;
        const char* out;
    };
    const Case cases[] = {
        {{"--query", "1/1"}, 2, ""},
        {{"-v", "--query", "1/1"}, 3, "DBG : Log level set to DBG \n"},
        {{"-vv", "-n", "--query", "1/1"},
         4,
         "DBG : Log level set to DBG1\nDBG : Password hashing is disabled\n"},
        {{"-v", "-v", "--query", "1/1"},
         4,
         "DBG : Log level set to DBG \nDBG : Log level set to DBG1\n"},
        {{"-vvvvvvvv", "--query", "1/1"}, 7, "DBG : Log level set to DBG4\n"},
        // Anything with a 'v' second counts as verbosity.
        {{"xv", "--query", "1/1"}, 3, "DBG : Log level set to DBG \n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        tcgLogLevel() = 0;
        const Parsed p = parse(c.args);
        EXPECT_EQ(p.rc, 0);
        EXPECT_EQ(tcgLogLevel(), c.level);
        EXPECT_EQ(p.out, c.out);
    }
    tcgLogLevel() = TCG_INFO;
}

}  // namespace
