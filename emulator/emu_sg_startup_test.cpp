#include "emu_sg_startup.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "ark.h"
#include "domain.h"
#include "emu_startup.h"
#include "sg_port.h"

namespace {

namespace fs = std::filesystem;

class EmuSgStartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        char pattern[] = "/tmp/emu_sg_startup_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        arkResetDomainsForTest();
    }
    void TearDown() override {
        arkResetDomainsForTest();
        SetSgSys(nullptr);
        fs::remove_all(dir);
    }

    std::string writeScenario(const std::string& name, const std::string& text) {
        std::string path = (fs::path(dir) / name).string();
        std::ofstream(path) << text;
        return path;
    }

    std::string dir;
};

// Domains of a scenario as discovery finds them over the SG front: the two-controller domain's
// two nodes share one domain, a miniport-only port has no node, and the scan order is numeric.
TEST_F(EmuSgStartupTest, MachinePortsBecomeSgNodes) {
    const std::string text = R"({"domains": [
        {"controllers": [{"serial": "A0", "pci": [0, 2, 0, 0]}, {"serial": "A1", "pci": [0, 2, 0, 1]}],
         "ports": [{"path": "/dev/sg10"}, {"path": "/dev/sg2"}]},
        {"controllers": [{"serial": "B0", "pci": [0, 5, 0, 0]}],
         "ports": [{"path": "/dev/sg1"}, {"path": "/dev/sg3", "processor": false}]}
    ]})";
    emu::Scenario scenario;
    std::string error;
    ASSERT_TRUE(emu::ParseScenario(text, scenario, error)) << error;
    auto machine = emu::BuildMachine(scenario);
    emu::SgFront front;
    emu::AddMachineNodes(*machine, front);
    SetSgSys(&front);

    ASSERT_EQ(arkInitialize(), 0);
    ASSERT_EQ(arkGetDomainCount(), 2);
    ARK_CONTROLLER_INFO info{};
    ASSERT_EQ(arkGetControllerInfo(0, 0, &info), 0);
    EXPECT_EQ(std::string(info.sn_str, strnlen(info.sn_str, sizeof info.sn_str)), "B0");
    ASSERT_EQ(arkGetControllerInfo(1, 1, &info), 0);
    EXPECT_EQ(std::string(info.sn_str, strnlen(info.sn_str, sizeof info.sn_str)), "A1");
    EXPECT_EQ(front.OpenDescriptors(), 3);
    EXPECT_EQ(front.OpenedPaths(), (std::vector<std::string>{"/dev/sg1", "/dev/sg2", "/dev/sg10"}));
    arkResetDomainsForTest();
    EXPECT_EQ(front.OpenDescriptors(), 0);
}

// A port whose path is not under /dev never takes the node name of one that is.
TEST_F(EmuSgStartupTest, PortsOutsideDevGetAFreeNodeName) {
    const std::string text = R"({"domains": [
        {"controllers": [{"serial": "A0"}], "ports": [{"path": "port-a"}]},
        {"controllers": [{"serial": "B0"}], "ports": [{"path": "/dev/sg0"}]}
    ]})";
    emu::Scenario scenario;
    std::string error;
    ASSERT_TRUE(emu::ParseScenario(text, scenario, error)) << error;
    auto machine = emu::BuildMachine(scenario);
    emu::SgFront front;
    emu::AddMachineNodes(*machine, front);
    SetSgSys(&front);

    ASSERT_EQ(arkInitialize(), 0);
    ASSERT_EQ(arkGetDomainCount(), 2);
    std::vector<std::string> serials;
    for (int d = 0; d < 2; ++d) {
        ARK_CONTROLLER_INFO info{};
        ASSERT_EQ(arkGetControllerInfo(d, 0, &info), 0);
        serials.emplace_back(info.sn_str, strnlen(info.sn_str, sizeof info.sn_str));
    }
    EXPECT_EQ(serials, (std::vector<std::string>{"B0", "A0"}));
    EXPECT_EQ(front.OpenedPaths(), (std::vector<std::string>{"/dev/sg0", "/dev/sg1"}));
    arkResetDomainsForTest();  // the ports close through the front
}

// The whole start-up as hxraidsvc-emu runs it, each in a child process because it installs the
// seam for good: the built-in machine, a scenario file, and files that must end the program.
TEST_F(EmuSgStartupTest, StartupLoadsTheScenarioOfTheEnvironment) {
    auto domainsAfterStartup = [](const char* scenario) {
        if (scenario != nullptr)
            setenv(emu::kScenarioVariable, scenario, 1);
        else
            unsetenv(emu::kScenarioVariable);
        emuInstallSgFromEnvironment();
        int found = arkInitialize() == 0 ? arkGetDomainCount() : -1;
        // Every domain answers through the real SG port.
        for (int d = 0; d < arkGetDomainCount(); ++d)
            if (arkGetControllerCount(d) < 1) found = -2;
        arkResetDomainsForTest();
        return found;
    };
    EXPECT_EXIT(std::exit(domainsAfterStartup(nullptr) == 2 ? 0 : 3), testing::ExitedWithCode(0),
                "");

    const std::string one = writeScenario(
        "one.json", R"({"domains": [{"controllers": [{}], "ports": [{"path": "/dev/sg4"}]}]})");
    EXPECT_EXIT(std::exit(domainsAfterStartup(one.c_str()) == 1 ? 0 : 3),
                testing::ExitedWithCode(0), "");
}

// A forked child (the service detaches and forks after discovery) still has a controller
// whose tasks advance: a verify started there makes progress.
TEST_F(EmuSgStartupTest, TasksAdvanceInAForkedChild) {
    auto verifyProgressesInChild = [] {
        unsetenv(emu::kScenarioVariable);
        emuInstallSgFromEnvironment();
        if (arkInitialize() != 0) return 2;
        const pid_t child = fork();
        if (child == 0) {
            uint32_t ids[16] = {};
            const int n = arkGetLDList(0, ids, 16);
            if (n < 1 || arkArrayTaskCtl(0, ids[0], ARK_TASK_START_VERIFY) != 0) _exit(3);
            for (int i = 0; i < 100; ++i) {  // up to 10 s for the first ticks
                ARK_VD_INFO vd{};
                if (arkGetVDInfo(0, ids[0], &vd) == 0 && vd.array.rebuilt_percent > 0) _exit(0);
                usleep(100 * 1000);
            }
            _exit(4);
        }
        int status = 0;
        if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return 5;
        arkResetDomainsForTest();
        return WEXITSTATUS(status);
    };
    EXPECT_EXIT(std::exit(verifyProgressesInChild()), testing::ExitedWithCode(0), "");
}

TEST_F(EmuSgStartupTest, BadScenarioEndsTheProgram) {
    struct BadCase {
        const char* name;
        std::string file;
        const char* message;
    };
    const BadCase cases[] = {
        {"missing file", (fs::path(dir) / "absent.json").string(), "absent.json"},
        {"invalid JSON", writeScenario("broken.json", "{\"domains\": ["), "broken.json"},
        {"unknown field", writeScenario("field.json", R"({"domains": [{"bogus_field": 1}]})"),
         "bogus_field"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EXIT(
            {
                setenv(emu::kScenarioVariable, c.file.c_str(), 1);
                emuInstallSgFromEnvironment();
                std::exit(0);
            },
            testing::ExitedWithCode(1), c.message);
    }
}

}  // namespace
