#include "state_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "ark.h"

namespace {

namespace fs = std::filesystem;

// A drive model whose whole state is one number.
class CounterDrive : public emu::TrustedDevice {
public:
    bool TrustedSend(uint8_t, uint16_t, const uint8_t*, size_t) override { return ++value, true; }
    bool TrustedReceive(uint8_t, uint16_t, uint8_t*, size_t) override { return true; }
    nlohmann::json SaveState() const override { return {{"value", value}}; }
    bool RestoreState(const nlohmann::json& state) override {
        if (!state.is_object() || !state.contains("value")) return false;
        value = state["value"].get<int>();
        return true;
    }
    int value = 0;
};

const char* const kScenario = R"({"domains": [
  {"controllers": [{"battery": {"installed": true}}],
   "first_id": 256,
   "disks": [{"capacity": 4000000, "port": 0}, {"capacity": 4000000, "port": 1},
             {"capacity": 4000000, "port": 2, "tcg": "counter-test"}],
   "arrays": [{"name": "Mirror", "level": "RAID1", "members": [256, 257]}]},
  {"first_id": 512, "disks": [{"capacity": 1000000}]}
]})";

class StateFile : public ::testing::Test {
protected:
    void SetUp() override {
        emu::RegisterTrustedDeviceProfile("counter-test",
                                          [] { return std::make_shared<CounterDrive>(); });
        dir = fs::path(::testing::TempDir()) /
              ("state_file_" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        path = (dir / "state.json").string();
    }
    void TearDown() override { fs::remove_all(dir); }

    static std::unique_ptr<emu::Machine> Build(const char* text = kScenario) {
        emu::Scenario scenario;
        std::string error;
        EXPECT_TRUE(emu::ParseScenario(text, scenario, error)) << error;
        return emu::BuildMachine(scenario);
    }

    static CounterDrive& Drive(emu::Machine& m) {
        return *std::dynamic_pointer_cast<CounterDrive>(
            m.emulators[0]->Snapshot().disks.at(258).trusted);
    }

    static int Send(emu::Emulator& e, uint32_t code, const void* in, uint32_t inLen) {
        return e.Handle(code, in, inLen, nullptr, 0, nullptr);
    }

    fs::path dir;
    std::string path;
};

TEST_F(StateFile, WhatRequestsChangedComesBack) {
    auto first = Build();
    emu::Emulator& e = *first->emulators[0];
    const uint32_t array = e.Snapshot().arrays.begin()->first;
    ARK_ID_VALUE verify{array, ARK_TASK_START_VERIFY};
    ASSERT_EQ(Send(e, ARK_REQ_ARRAY_TASK_CTL, &verify, sizeof verify), 0);
    ARK_CONFIG_INT config{};
    config.value = 42;
    std::strcpy(config.key, "DiskIdleTimer");
    ASSERT_EQ(Send(e, ARK_REQ_SET_CONFIG_INT, &config, 4 + 14), 0);
    const uint32_t learn = ARK_BBU_CMD_START_LEARN;
    ASSERT_EQ(Send(e, ARK_REQ_SET_BBU_STATUS, &learn, sizeof learn), 0);
    ARK_FLASH_REQUEST flash{};
    flash.offset = 4096;
    flash.direction = 1;
    flash.length = 8;
    std::memset(flash.data, 0xFF, sizeof flash.data);
    std::memcpy(flash.data, "\x01\x02\xFF\x04\x05\x06\x07\x08", 8);
    ASSERT_EQ(Send(e, ARK_REQ_FLASH, &flash, sizeof flash), 0);
    e.Modify([](emu::State& s) { s.disks.at(257).smart.at(0).current = 7; });
    Drive(*first).value = 5;
    first->emulators[1]->Modify([](emu::State& s) { s.pcacheSize = 99; });

    std::string error;
    ASSERT_TRUE(emu::SaveStateFile(path, *first, 1000, error)) << error;

    auto second = Build();
    ASSERT_EQ(emu::LoadStateFile(path, *second, 1000, error), emu::StateLoad::Loaded) << error;
    const emu::State before = e.Snapshot(), after = second->emulators[0]->Snapshot();
    EXPECT_EQ(after.arrays.at(array).flags, before.arrays.at(array).flags);
    EXPECT_TRUE(after.arrays.at(array).flags & ARK_ARRAY_VERIFYING);
    EXPECT_EQ(after.config.at("DiskIdleTimer"), 42u);
    EXPECT_EQ(after.controllers[0].bbu.status, before.controllers[0].bbu.status);
    EXPECT_EQ(after.controllers[0].bbu.learnTicks, before.controllers[0].bbu.learnTicks);
    EXPECT_EQ(after.controllers[0].flash, before.controllers[0].flash);
    EXPECT_EQ(after.disks.at(257).smart.at(0).current, 7);
    EXPECT_EQ(after.disks.at(256).extents.size(), before.disks.at(256).extents.size());
    EXPECT_EQ(after.events.size(), before.events.size());
    EXPECT_EQ(after.nextId, before.nextId);
    EXPECT_EQ(Drive(*second).value, 5);
    EXPECT_EQ(second->emulators[1]->Snapshot().pcacheSize, 99u);
    // No temporary file is left beside the state.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(StateFile, TimeBetweenRunsBecomesTicks) {
    const struct {
        int64_t elapsed;
        uint64_t ticks;
    } cases[] = {{0, 0}, {3, 3}, {-50, 0}, {100000, emu::kMaxCatchUpTicks}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.elapsed);
        auto first = Build();
        std::string error;
        ASSERT_TRUE(emu::SaveStateFile(path, *first, 5000, error)) << error;
        auto second = Build();
        ASSERT_EQ(emu::LoadStateFile(path, *second, 5000 + c.elapsed, error),
                  emu::StateLoad::Loaded);
        EXPECT_EQ(second->emulators[0]->Snapshot().ticks, c.ticks);
        EXPECT_EQ(second->emulators[1]->Snapshot().ticks, c.ticks);
    }
}

TEST_F(StateFile, NoFileYet) {
    auto machine = Build();
    std::string error;
    EXPECT_EQ(emu::LoadStateFile(path, *machine, 1, error), emu::StateLoad::Missing);
}

TEST_F(StateFile, ABadFileChangesNothing) {
    auto source = Build();
    source->emulators[0]->Modify([](emu::State& s) { s.pcacheSize = 1234; });
    const nlohmann::json good = emu::MachineStateJson(*source, 10);
    nlohmann::json oneDomain = good;
    oneDomain["domains"].erase(1);
    nlohmann::json strayDrive = good;
    strayDrive["domains"][0]["disks"][0]["trusted"] = {{"value", 1}};
    nlohmann::json refusedDrive = good;
    refusedDrive["domains"][0]["disks"][2]["trusted"] = "nonsense";
    nlohmann::json wrongType = good;
    wrongType["domains"][0]["pcacheSize"] = "many";
    nlohmann::json badFlash = good;
    badFlash["domains"][0]["controllers"][0]["flash"]["runs"] = {{{"offset", 0}, {"hex", "zz"}}};

    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"not JSON", "{\"format\": 1,"},
        {"another format", R"({"format": 2, "saved_at": 0, "domains": []})"},
        {"fewer domains", oneDomain.dump()},
        {"a drive where the scenario has none", strayDrive.dump()},
        {"a drive that refuses", refusedDrive.dump()},
        {"a wrong type", wrongType.dump()},
        {"bad flash bytes", badFlash.dump()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(path, std::ios::trunc) << c.text;
        auto machine = Build();
        std::string error;
        EXPECT_EQ(emu::LoadStateFile(path, *machine, 10, error), emu::StateLoad::Invalid);
        EXPECT_NE(error.find(path), std::string::npos) << error;
        EXPECT_EQ(machine->emulators[0]->Snapshot().pcacheSize, 0u);
        EXPECT_EQ(Drive(*machine).value, 0);
        std::ifstream in(path);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.text);
    }
}

TEST_F(StateFile, AnUnwritablePlaceIsAnError) {
    auto machine = Build();
    std::string error;
    const std::string nowhere = (dir / "missing" / "state.json").string();
    EXPECT_FALSE(emu::SaveStateFile(nowhere, *machine, 1, error));
    EXPECT_NE(error.find(nowhere), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "missing"));
}

}  // namespace
