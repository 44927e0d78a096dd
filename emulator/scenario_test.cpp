#include "scenario.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "ark.h"
#include "disk_pages.h"
#include "emu_startup.h"

namespace emu {
namespace {

std::string ParseError(const std::string& text) {
    Scenario s;
    std::string error;
    EXPECT_FALSE(ParseScenario(text, s, error)) << text;
    return error;
}

TEST(Scenario, BadInputNamesTheField) {
    struct Row {
        const char* text;
        const char* error;
    };
    const Row rows[] = {
        {"{",
         "not valid JSON: parse error at line 1, column 2: syntax error while parsing object "
         "key - unexpected end of input; expected string literal"},
        {"{\"domains\": [{}],\n \"comment\": x}",
         "not valid JSON: parse error at line 2, column 13: syntax error while parsing value - "
         "invalid literal; last read: '\"comment\": x'"},
        {"[]", "scenario: expected an object"},
        {R"({})", "scenario.domains: a scenario needs at least one domain"},
        {R"({"domain": []})", "scenario.domain: unknown field"},
        {R"({"domains": [{"disks": [{"capacity": 5, "colour": "red"}]}]})",
         "domains[0].disks[0].colour: unknown field"},
        {R"({"domains": [{}, {"disks": [{"capacity": "lots"}]}]})",
         "domains[1].disks[0].capacity: expected an integer from 0 to 9223372036854775807"},
        {R"({"domains": [{"disks": [{}]}]})",
         "domains[0].disks[0].capacity: a disk needs a capacity in sectors"},
        {R"({"domains": [{"disks": [{"capacity": 5, "port": 256}]}]})",
         "domains[0].disks[0].port: expected an integer from 0 to 255"},
        {R"({"domains": [{"disks": [{"capacity": 5, "model": 7}]}]})",
         "domains[0].disks[0].model: expected a string"},
        {R"({"domains": [{"disks": [{"capacity": 5, "serial": "0123456789012345678901234"}]}]})",
         "domains[0].disks[0].serial: longer than 24 bytes"},
        {R"({"domains": [{"disks": [{"capacity": 5, "smart_family": "tape"}]}]})",
         "domains[0].disks[0].smart_family: unknown family \"tape\""},
        {R"({"domains": [{"disks": [{"capacity": 5, "read_ahead": "yes"}]}]})",
         "domains[0].disks[0].read_ahead: expected \"on\", \"off\" or \"unsupported\""},
        {R"({"domains": [{"disks": [{"capacity": 5, "tcg": "opal9"}]}]})",
         "domains[0].disks[0].tcg: no drive model registered as \"opal9\""},
        {R"({"domains": [{"disks": [{"capacity": 5, "controller": 1}]}]})",
         "domains[0].disks[0].controller: no controller 1"},
        {R"({"domains": [{"disks": [{"capacity": 5, "id": 0}]}]})",
         "domains[0].disks[0].id: 0, 0xFFFFFFFF or already in use"},
        {R"({"domains": [{"disks": [{"capacity": 5}], "arrays": [{"members": [256, 300]}]}]})",
         "domains[0].arrays[0].members: no disk with id 300"},
        {R"({"domains": [{"arrays": [{"level": "RAID3"}]}]})",
         "domains[0].arrays[0].level: expected RAID0, RAID1, RAID5, RAID6, JBOD, RAID10, RAID50 or "
         "RAID60"},
        {R"({"domains": [{"config": {"Colour": 1}}]})", "domains[0].config.Colour: unknown field"},
        {R"({"domains": [{"faults": [{"kind": "fail"}]}]})",
         "domains[0].faults[0].code: a fault needs a request code"},
        {R"({"domains": [{"faults": [{"code": "0x8000000G"}]}]})",
         "domains[0].faults[0].code: expected an integer from 0 to 4294967295"},
        {R"({"domains": [{"script": [{"tick": 1, "action": "explode"}]}]})",
         "domains[0].script[0].action: expected event, fail_disk, remove_disk or power_cycle"},
        {R"({"domains": [{"script": [{"tick": 1, "action": "fail_disk", "id": 999}]}]})",
         "domains[0].script[0].id: no disk with id 999"},
        {R"({"domains": [{"disks": [{"capacity": 5}, {"capacity": 5}, {"capacity": 5}], "arrays": [
            {"level": "RAID1", "members": [256, 257]},
            {"level": "JBOD", "members": [258, 256]}]}]})",
         "domains[0].arrays[1].members: disk 256 has no room"},
        {R"({"domains": [{"bbu_phase_ticks": 0}]})", "domains[0].bbu_phase_ticks: must be above 0"},
        {R"({"domains": [{"ports": [{"miniport": false, "processor": false}]}]})",
         "domains[0].ports[0].processor: a port answers the miniport request, its processor "
         "device, or both"},
        {R"({"domains": [{"controllers": [{"pci": [1, 2, 3]}]}]})",
         "domains[0].controllers[0].pci: expected 4 bytes: tree, bus, device, function"},
        {R"({"domains": [{"controllers": [{"flash_size": 4294967295}]}]})",
         "domains[0].controllers[0].flash_size: above 67108864 bytes"},
        {R"({"domains": [{"controllers": [{"battery": {"temperature": 40000}}]}]})",
         "domains[0].controllers[0].battery.temperature: expected an integer from -32768 to 32767"},
        {R"({"domains": [{"disks": [{"capacity": 100}],
             "arrays": [{"level": "JBOD", "members": [256], "transform_of": 300}]}]})",
         "domains[0].arrays[0].transform_of: no plain array 300 listed before it and free to "
         "transform"},
        {R"({"domains": [{"disks": [{"capacity": 100}, {"capacity": 100}, {"capacity": 100},
                                    {"capacity": 100}, {"capacity": 100}],
             "arrays": [{"id": 300, "level": "JBOD", "members": [256], "per_disk": 10},
                        {"level": "RAID10", "members": [257, 258, 259, 260], "subdisks": 2,
                         "transform_of": 300}]}]})",
         "domains[0].arrays[1].transform_of: a transform target is a plain array"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(ParseError(row.text), row.error);
    }
}

TEST(Scenario, SmallFixturesTakeDefaults) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(ParseScenario(R"({"domains": [{"disks": [{"capacity": 100}]}]})", s, error))
        << error;
    const State& st = s.domains.at(0).state;
    ASSERT_EQ(st.controllers.size(), 1u);
    ASSERT_EQ(st.disks.size(), 1u);
    const Disk& d = st.disks.at(256);
    EXPECT_EQ(d.flags, ARK_DISK_RA_SUPPORTED | ARK_DISK_RA_ON | ARK_DISK_WC_SUPPORTED |
                           ARK_DISK_WC_ON | ARK_DISK_QD_SUPPORTED | ARK_DISK_QD_ON |
                           ARK_DISK_SMART_ON);
    EXPECT_EQ(d.smart.size(), SmartFamily("hdd").size());
    EXPECT_EQ(st.config, DefaultConfig());
    ASSERT_EQ(s.domains[0].ports.size(), 1u);
    EXPECT_TRUE(s.domains[0].ports[0].miniport);
}

TEST(Scenario, ATransformTargetWaitsUnlisted) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(ParseScenario(R"({"domains": [{"disks": [{"capacity": 100}, {"capacity": 100}],
        "arrays": [{"id": 300, "level": "RAID0", "members": [256], "per_disk": 40,
                    "flags": 1024, "transform_percent": 2550},
                   {"id": 301, "level": "RAID0", "members": [256, 257], "per_disk": 40,
                    "transform_of": 300},
                   {"id": 302, "level": "JBOD", "members": [257], "per_disk": 10},
                   {"id": 303, "level": "JBOD", "members": [257], "per_disk": 10,
                    "transform_of": 302}]}]})",
                              s, error))
        << error;
    const State& st = s.domains.at(0).state;
    const Array& running = st.arrays.at(300);
    EXPECT_EQ(running.flags, ARK_ARRAY_TRANSFORMING);  // already running: no "need transform"
    EXPECT_EQ(running.transformTgt, 301u);
    EXPECT_EQ(running.transformPercent, 2550u);
    const Array& target = st.arrays.at(301);
    EXPECT_FALSE(target.listed);
    EXPECT_EQ(target.transformSrc, 300u);
    EXPECT_EQ(target.transformTgt, 301u);
    EXPECT_EQ(target.targetId, 255);
    EXPECT_EQ(st.arrays.at(302).flags, ARK_ARRAY_NEED_TRANSFORM);
    EXPECT_EQ(st.arrays.at(302).transformTgt, 303u);
}

TEST(Scenario, DefaultHasTheDescribedMachine) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(ParseScenario(DefaultScenarioText(), s, error)) << error;
    ASSERT_EQ(s.domains.size(), 2u);
    const State& soft = s.domains[0].state;
    const State& hard = s.domains[1].state;
    EXPECT_EQ(soft.driver.hwraid, 0);
    EXPECT_EQ(hard.driver.hwraid, 1);
    EXPECT_EQ(soft.controllers.at(0).ramsize, 0u);
    EXPECT_GT(hard.controllers.at(0).ramsize, 0u);
    EXPECT_TRUE(hard.controllers.at(0).bbu.installed);
    EXPECT_GT(hard.pcacheSize, 0u);

    int raid5 = 0, raid1 = 0, spares = 0, free = 0, ssd = 0, enclosure = 0, plain = 0;
    for (const auto& [id, a] : soft.arrays) {
        raid5 += a.raidlevel == ARK_RAID5;
        raid1 += a.raidlevel == ARK_RAID1;
        EXPECT_EQ(a.flags, 0u) << a.name;
    }
    std::set<std::string> families;
    for (const auto& [id, d] : soft.disks) {
        spares += (d.flags & ARK_DISK_SPARE) != 0;
        free += d.extents.empty() && !(d.flags & ARK_DISK_SPARE);
        ssd += (d.flags & ARK_DISK_SSD) != 0;
        enclosure += (d.flags & ARK_DISK_ENCLOSURE) != 0;
        plain += !(d.flags & (ARK_DISK_ENCLOSURE | ARK_DISK_TARGET_LEVEL));
        families.insert(std::to_string(d.smart.front().id) + "/" + std::to_string(d.smart.size()));
    }
    EXPECT_EQ(raid5, 1);
    EXPECT_EQ(raid1, 1);
    EXPECT_EQ(spares, 1);
    EXPECT_GE(free, 2);
    EXPECT_GE(ssd, 2);
    EXPECT_GE(enclosure, 1);
    EXPECT_GE(plain, 1);
    EXPECT_GE(families.size(), 3u);
    EXPECT_GE(soft.events.size(), 3u);
    EXPECT_GE(hard.events.size(), 3u);
    EXPECT_EQ(hard.arrays.size(), 1u);
    // Event device ids name devices that exist.
    for (const State* st : {&soft, &hard}) {
        for (const Event& ev : st->events) {
            EXPECT_TRUE(st->disks.count(ev.devid) || st->arrays.count(ev.devid)) << ev.devid;
        }
    }
}

TEST(Scenario, MachineNamesPortsInOrder) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(ParseScenario(R"({"domains": [
        {"controllers": [{}, {}], "ports": [{}, {"path": "/dev/sg7", "miniport": false,
                                              "path_id": 2, "target_id": 3, "lun": 1}]},
        {}]})",
                              s, error))
        << error;
    auto m = BuildMachine(s);
    ASSERT_EQ(m->emulators.size(), 2u);
    ASSERT_EQ(m->ports.size(), 3u);
    EXPECT_EQ(m->ports[0].config.path, "/dev/sg0");
    EXPECT_EQ(m->ports[1].config.path, "/dev/sg7");
    EXPECT_FALSE(m->ports[1].config.miniport);
    EXPECT_EQ(m->ports[1].config.pathId, 2);
    EXPECT_EQ(m->ports[1].config.targetId, 3);
    EXPECT_EQ(m->ports[1].config.lun, 1);
    EXPECT_EQ(m->ports[2].config.path, "/dev/sg2");
    EXPECT_EQ(m->ports[0].emulator, m->ports[1].emulator);
    EXPECT_EQ(m->ports[2].emulator, m->emulators[1].get());
    EXPECT_EQ(m->ports[2].domain, 1u);
}

class ScenarioFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("emu_scenario_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        unsetenv(kScenarioVariable);
        std::filesystem::remove_all(dir);
    }
    std::string Write(const std::string& name, const std::string& text) {
        std::string path = (dir / name).string();
        std::ofstream(path) << text;
        return path;
    }
    std::filesystem::path dir;
};

TEST_F(ScenarioFile, LoadsTheNamedFileElseTheDefault) {
    std::string error;
    auto builtIn = LoadMachine(error);
    ASSERT_TRUE(builtIn) << error;
    EXPECT_EQ(builtIn->emulators.size(), 2u);

    setenv(kScenarioVariable, Write("one.json", R"({"domains": [{}]})").c_str(), 1);
    auto one = LoadMachine(error);
    ASSERT_TRUE(one) << error;
    EXPECT_EQ(one->emulators.size(), 1u);
}

TEST_F(ScenarioFile, ErrorsNameTheFile) {
    const std::string missing = (dir / "missing.json").string();
    setenv(kScenarioVariable, missing.c_str(), 1);
    std::string error;
    EXPECT_FALSE(LoadMachine(error));
    EXPECT_EQ(error, missing + ": cannot be opened");

    const std::string bad = Write("bad.json", R"({"domains": [{"disks": [{"capacity": -1}]}]})");
    setenv(kScenarioVariable, bad.c_str(), 1);
    EXPECT_FALSE(LoadMachine(error));
    EXPECT_EQ(
        error,
        bad + ": domains[0].disks[0].capacity: expected an integer from 0 to 9223372036854775807");
}

TEST_F(ScenarioFile, InvalidFileEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string bad = Write("bad.json", R"({"domains": [{"typo": 1}]})");
    setenv(kScenarioVariable, bad.c_str(), 1);
    EXPECT_EXIT(LoadMachineOrExit(), ::testing::ExitedWithCode(1),
                "scenario error: .*bad.json: domains\\[0\\].typo: unknown field");
}

TEST(TickThread, TicksUntilStopped) {
    Emulator e;
    e.Modify([](State& s) { s.script.push_back({3, ScriptStep::Action::Event, 9, 1}); });
    TickThread ticker({&e}, std::chrono::milliseconds(1));
    // Wait (without a time bound on the result) for the scripted third tick.
    while (e.Snapshot().ticks < 3) std::this_thread::yield();
    ticker.Stop();
    const uint64_t after = e.Snapshot().ticks;
    ticker.Stop();
    EXPECT_EQ(e.Snapshot().ticks, after);
    EXPECT_EQ(e.Snapshot().events.front().code, 9);
}

}  // namespace
}  // namespace emu
