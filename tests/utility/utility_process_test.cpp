// arkutil-emu run as a process over tests/utility/rich.json. Every expected printout under
// testdata/ was written from the printout rules, never taken from the program.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kData = UTILITY_TESTDATA;
const std::string kRich = kData + "/rich.json";

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string golden(const std::string& name) {
    const std::string path = kData + "/testdata/" + name + ".txt";
    EXPECT_TRUE(fs::exists(path)) << path;
    return readFile(path);
}

// A folder of the test's own.
class TempDir {
public:
    TempDir() {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        m_path = fs::path(testing::TempDir()) /
                 ("arkutil_" + std::string(info->name()) + "_" + std::to_string(getpid()));
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    ~TempDir() { fs::remove_all(m_path); }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }

private:
    fs::path m_path;
};

struct Outcome {
    int status = -1;
    std::string out, err;
};

// Runs arkutil-emu with `args`, the environment variables `env` set (an empty value unsets).
Outcome runUtility(const std::vector<std::string>& args,
                   const std::map<std::string, std::string>& env, const TempDir& dir) {
    const std::string outPath = dir / "stdout", errPath = dir / "stderr";
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0) _exit(127);
        dup2(out, 1);
        dup2(err, 2);
        for (const auto& [name, value] : env) {
            if (value.empty())
                unsetenv(name.c_str());
            else
                setenv(name.c_str(), value.c_str(), 1);
        }
        std::vector<char*> argv;
        std::string program = ARKUTIL_EMU;
        argv.push_back(program.data());
        std::vector<std::string> copy = args;
        for (std::string& a : copy) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    Outcome run;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    run.out = readFile(outPath);
    run.err = readFile(errPath);
    return run;
}

Outcome runRich(const std::vector<std::string>& args, const TempDir& dir) {
    return runUtility(args, {{"ARK_EMULATOR_SCENARIO", kRich}, {"ARK_EMULATOR_STATE", ""}}, dir);
}

std::string describe(const std::vector<std::string>& args) {
    std::string text;
    for (const std::string& a : args) text += " [" + a + "]";
    return text.empty() ? "(no arguments)" : text;
}

TEST(UtilityProcess, EntryHelpVersionAndStartUp) {
    const std::string usage = golden("usage"), query = golden("query_help");
    const struct {
        std::vector<std::string> args;
        std::string out;
        int status;
    } cases[] = {
        {{}, usage, 1},
        {{"-H"}, usage, 1},
        {{"-H", "Q"}, query, 1},
        {{"-H", "query"}, query, 1},
        {{"-H", "--query"}, query, 1},
        {{"-HQ"}, query, 1},
        {{"--help=query"}, query, 1},
        {{"--help", "-Q"}, query, 1},
        {{"-H", "grow"}, usage, 1},  // no help row for grow
        {{"-H", "nothing"}, usage, 1},
        {{"-H", "tcgtool"}, "Please run 'arkutil --tcgtool' for help.\n", 1},
        {{"-v"}, "2.0.265\n", 0},
        {{"--ver"}, "2.0.265\n", 0},
        {{"--version=9"}, "2.0.265\n", 0},
        {{"-2", "-v"}, "2.0.265\n", 0},
        {{"-5"}, usage, 1},
        {{"-x"}, usage, 1},
        {{"--bogus"}, usage, 1},
        {{"-0"}, usage, 1},
        {{"query"}, usage, 1},
        {{"-Q"}, query, 1},
        {{"-Q", "-p", "1"}, query, 1},
        {{"-3", "-Q", "-a"}, "Initialization failed.\n", 1},  // the scenario has two domains
        {{"-2", "--events"}, "Initialization failed.\n", 1},
        {{"--tcgtool", "--query", "9/9"}, "ERR : Invalid or unsupported disk 9/9\n", 136},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(describe(c.args));
        TempDir dir;
        const Outcome r = runRich(c.args, dir);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, "");
    }
}

TEST(UtilityProcess, PrintoutsMatchTheGoldenFiles) {
    const struct {
        std::vector<std::string> args;
        const char* golden;
    } cases[] = {
        {{"-Q", "-c"}, "d0_controllers"},
        {{"-Qc"}, "d0_controllers"},
        {{"--q", "--controllers"}, "d0_controllers"},
        {{"-1", "-Q", "-c"}, "d1_controllers"},
        {{"-Q", "-a"}, "d0_arrays"},
        {{"-Q", "-e", "-a"}, "d0_arrays"},  // the last of a, c, e decides
        {{"-1", "--query", "--arrays"}, "d1_arrays"},
        {{"-Q", "-a", "-e"}, "d0_disks"},
        {{"-Q", "-a", "-p", "1"}, "d0_array1"},
        {{"-Q", "-a", "-p", "2"}, "d0_array2"},
        {{"-Q", "-ap3"}, "d0_array3"},
        {{"-Q", "--detail=3-2", "-a"}, "d0_array3_2"},
        {{"-Q", "-a", "-p", "4"}, "d0_array4"},
        {{"-Q", "-e", "-p", "1/E1/2"}, "d0_disk_E1_2"},
        {{"-Q", "-e", "-p", "1/5"}, "d0_disk_5"},
        {{"-Q", "-e", "-p", "2/*"}, "d0_disk_2_1"},
        {{"-Q", "-e", "-p", "1/6"}, "d0_disk_6"},
        {{"-1", "-B"}, "d1_battery"},
        {{"--hwmon"}, "d0_hwmon"},
        {{"-E"}, "d0_events"},
        {{"-1", "-E"}, "d1_events"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(describe(c.args));
        TempDir dir;
        const Outcome r = runRich(c.args, dir);
        EXPECT_EQ(r.out, golden(c.golden));
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
    }
}

TEST(UtilityProcess, SmallAnswers) {
    const struct {
        std::vector<std::string> args;
        std::string out;
        int status;
    } cases[] = {
        {{"-B"}, "BBU not installed\n", 1},
        {{"-1", "--pcache"}, "PCache sectors: 2048\n", 0},
        {{"--config", "SpinupDelay"}, "SpinupDelay=3\n", 0},
        {{"--config", "SpinupDelay=x"}, "invalid value\n", 1},
        {{"-P"}, "", 0},
        {{"-C"}, "give the array type (-l) and its disks (-d)\n", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(describe(c.args));
        TempDir dir;
        const Outcome r = runRich(c.args, dir);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, "");
    }
}

TEST(UtilityProcess, StateIsKeptBetweenRuns) {
    TempDir dir;
    const std::string state = dir / "machine.json";
    const std::map<std::string, std::string> env = {{"ARK_EMULATOR_SCENARIO", kRich},
                                                    {"ARK_EMULATOR_STATE", state}};
    Outcome r = runUtility({"-1", "-E"}, env, dir);
    EXPECT_EQ(r.out, golden("d1_events"));
    EXPECT_TRUE(fs::exists(state));
    r = runUtility({"-1", "-E"}, env, dir);
    EXPECT_EQ(r.out, "No event pending\n");
    EXPECT_EQ(r.err, "");

    r = runUtility({"--config", "DiskIdleTimer=10"}, env, dir);
    EXPECT_EQ(r.status, 0);
    r = runUtility({"--config", "DiskIdleTimer"}, env, dir);
    EXPECT_EQ(r.out, "DiskIdleTimer=10\n");

    // Without the state file every run starts from the scenario.
    r = runRich({"--config", "DiskIdleTimer"}, dir);
    EXPECT_EQ(r.out, "DiskIdleTimer=0\n");
}

TEST(UtilityProcess, TimeBetweenRunsMovesTasksOn) {
    TempDir dir;
    const std::string state = dir / "machine.json";
    const std::map<std::string, std::string> env = {{"ARK_EMULATOR_SCENARIO", kRich},
                                                    {"ARK_EMULATOR_STATE", state}};
    Outcome r = runUtility({"-1", "-E"}, env, dir);  // empties the queue, writes the state
    ASSERT_EQ(r.status, 0);
    // As if the state had been saved long ago: the verify of domain 1 runs to its end.
    nlohmann::json saved = nlohmann::json::parse(readFile(state));
    saved["saved_at"] = saved["saved_at"].get<int64_t>() - 100000;
    std::ofstream(state, std::ios::trunc) << saved.dump();
    r = runUtility({"-1", "-Q", "-a"}, env, dir);
    EXPECT_NE(r.out.find("RAID1   Normal            --"), std::string::npos) << r.out;
    r = runUtility({"-1", "-E"}, env, dir);
    EXPECT_EQ(r.out, "Event: code 12, devid 600\n");
}

TEST(UtilityProcess, ABadStateFileIsReportedAndKept) {
    TempDir dir;
    const std::string state = dir / "machine.json";
    std::ofstream(state) << "{\"format\": 1, \"domains\": []}";
    const Outcome r = runUtility(
        {"-Q", "-a"}, {{"ARK_EMULATOR_SCENARIO", kRich}, {"ARK_EMULATOR_STATE", state}}, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("emulator state error: " + state), std::string::npos) << r.err;
    EXPECT_EQ(readFile(state), "{\"format\": 1, \"domains\": []}");
}

}  // namespace
