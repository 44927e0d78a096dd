// The inline commands, the battery command and the query's failure paths, run through the
// entry over an emulated machine, with the requests each run sent.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ark.h"
#include "util_harness.h"

namespace {

using utiltest::UtilityMachine;

const char* const kMachine = R"({"domains": [
  {"controllers": [{"product": "First", "serial": "S1", "num_ports": 4,
                    "hwmon": [{"kind": 0, "sensor": 0, "value": 4150}]},
                   {"product": "Second", "serial": "S2", "num_ports": 8, "pci": [0, 9, 0, 0]}],
   "first_id": 256,
   "disks": [{"port": 0, "capacity": 2000000}, {"port": 1, "capacity": 2000000},
             {"port": 2, "capacity": 2000000}, {"port": 3, "capacity": 2000000},
             {"port": 4, "capacity": 2000000}, {"port": 5, "capacity": 2000000},
             {"comment": "262, free", "port": 6, "capacity": 2000000}],
   "arrays": [{"id": 300, "name": "Plain", "level": "RAID1", "members": [256, 257],
               "per_disk": 1000000},
              {"id": 301, "name": "Nested", "level": "RAID10", "members": [258, 259, 260, 261],
               "subdisks": 2, "per_disk": 1000000}],
   "pcache_size": 2048},
  {"driver": {"hwraid": 1},
   "controllers": [{"battery": {"installed": true, "status": 1, "voltage_mv": 4100,
                                "temperature": 3000}}]}
]})";

class Commands : public ::testing::Test {
protected:
    UtilityMachine m{kMachine};

    std::vector<uint32_t> tasks(size_t domain = 0) {
        std::vector<uint32_t> sent;
        for (const auto& r : m.requests(ARK_REQ_ARRAY_TASK_CTL, domain)) {
            ARK_ID_VALUE v;
            std::memcpy(&v, r.input.data(), sizeof v);
            sent.push_back(v.value);
        }
        return sent;
    }
};

std::vector<uint8_t> configRecord(const std::string& key, uint32_t value) {
    std::vector<uint8_t> bytes(4 + key.size() + 1, 0);
    std::memcpy(bytes.data(), &value, 4);
    std::memcpy(bytes.data() + 4, key.data(), key.size());
    return bytes;
}

TEST_F(Commands, Config) {
    const struct {
        const char* arg;
        uint32_t current;  // DiskIdleTimer before the run
        const char* out;
        int status;
        int gets;
        std::vector<uint8_t> set;  // the SET record, empty when none is sent
    } cases[] = {
        {"DiskIdleTimer", 7, "DiskIdleTimer=7\n", 0, 1, {}},
        {"DiskIdleTimer=10", 10, "", 0, 1, {}},  // unchanged: nothing sent
        {"DiskIdleTimer=10", 0, "", 0, 1, configRecord("DiskIdleTimer", 10)},
        {"DiskIdleTimer=-1", 0, "", 0, 1, configRecord("DiskIdleTimer", 0xFFFFFFFF)},
        {"DiskIdleTimer=4294967295", 0, "", 0, 1, configRecord("DiskIdleTimer", 0xFFFFFFFF)},
        {"DiskIdleTimer=-1", 0xFFFFFFFF, "", 0, 1, {}},
        // The key ends at '=' before it is cut to 31 characters.
        {"DiskIdleTimer=000000000000000000000012", 0, "", 0, 1, configRecord("DiskIdleTimer", 12)},
        {"DiskIdleTimer=", 0, "invalid value\n", 1, 0, {}},
        {"DiskIdleTimer=ten", 0, "invalid value\n", 1, 0, {}},
        {"DiskIdleTimer=1x", 0, "invalid value\n", 1, 0, {}},
        {"DiskIdleTimer= 1", 0, "invalid value\n", 1, 0, {}},
        {"DiskIdleTimer=4294967296", 0, "invalid value\n", 1, 0, {}},
        {"DiskIdleTimer=-2147483649", 0, "invalid value\n", 1, 0, {}},
        {"NoSuchKey", 0, "fail to get configuration\n", 1, 1, {}},
        {"NoSuchKey=1", 0, "fail to get configuration\n", 1, 1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arg);
        m.emulator().Modify([&](emu::State& s) { s.config["DiskIdleTimer"] = c.current; });
        const auto r = m.run({"--config", c.arg});
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(m.requests(ARK_REQ_GET_CONFIG_INT).size(), size_t(c.gets));
        const auto sets = m.requests(ARK_REQ_SET_CONFIG_INT);
        if (c.set.empty()) {
            EXPECT_TRUE(sets.empty());
        } else {
            ASSERT_EQ(sets.size(), 1u);
            EXPECT_EQ(sets[0].input, c.set);
        }
    }
}

TEST_F(Commands, ConfigGetSendsTheKeyWithItsNul) {
    m.run({"--config", "SpinupDelay"});
    const auto gets = m.requests(ARK_REQ_GET_CONFIG_INT);
    ASSERT_EQ(gets.size(), 1u);
    EXPECT_EQ(std::string(gets[0].input.begin(), gets[0].input.end()),
              std::string("SpinupDelay\0", 12));
}

TEST_F(Commands, ConfigSetRefused) {
    m.emulator().InjectFault({ARK_REQ_SET_CONFIG_INT, emu::Fault::Kind::Fail});
    const auto r = m.run({"--config", "DiskIdleTimer=5"});
    EXPECT_EQ(r.out, "fail to set configuration\n");
    EXPECT_EQ(r.status, 1);
}

TEST_F(Commands, BatteryCommands) {
    const struct {
        std::vector<std::string> args;
        std::vector<uint32_t> sent;
    } cases[] = {
        {{"-1", "-B", "-d"}, {5}}, {{"-1", "-B", "--stop"}, {3}},
        {{"-1", "-B", "-D"}, {0}}, {{"-1", "-B", "-d", "-s"}, {3}},  // the last one decides
        {{"-1", "-Bsd"}, {5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        const auto r = m.run(c.args);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.status, 0);
        std::vector<uint32_t> sent;
        for (const auto& req : m.requests(ARK_REQ_SET_BBU_STATUS, 1)) {
            uint32_t v;
            std::memcpy(&v, req.input.data(), 4);
            sent.push_back(v);
        }
        EXPECT_EQ(sent, c.sent);
    }
}

TEST_F(Commands, BatteryCommandRefusedStillSucceeds) {
    m.emulator(1).InjectFault({ARK_REQ_SET_BBU_STATUS, emu::Fault::Kind::Fail});
    const auto r = m.run({"-1", "-B", "-d"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(m.requests(ARK_REQ_SET_BBU_STATUS, 1).size(), 1u);
}

TEST_F(Commands, BatteryRefusals) {
    const struct {
        std::vector<std::string> args;
        const char* out;
        bool infoFails;
    } cases[] = {
        {{"-B", "-d"}, "BBU not installed\n", false},  // domain 0 has no battery
        {{"-B"}, "BBU not installed\n", false},
        {{"-1", "-B", "-x"}, "invalid option\n", false},
        {{"-1", "-B", "-d", "extra", "-x"}, "", false},  // parsing stops at "extra"
        {{"-1", "-B"}, "fail to get BBU info\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out);
        m.emulator(1).ClearFaults();
        if (c.infoFails) m.emulator(1).InjectFault({ARK_REQ_GET_BBU_INFO, emu::Fault::Kind::Fail});
        const auto r = m.run(c.args);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, c.out[0] == '\0' ? 0 : 1);
        if (c.out[0] != '\0') {
            EXPECT_TRUE(m.requests(ARK_REQ_SET_BBU_STATUS, 0).empty());
            EXPECT_TRUE(m.requests(ARK_REQ_SET_BBU_STATUS, 1).empty());
        }
    }
}

TEST_F(Commands, BatteryStatusTexts) {
    const struct {
        uint8_t status;
        uint16_t voltage;
        int16_t temperature;
        const char* out;
    } cases[] = {
        {0x9, 4005, 3456,
         "BBU status:      Faulted \nBBU voltage:     4.00V\nBBU temperature: 34.5\n"},
        {0x1 | 0x4, 12345, -250,
         "BBU status:      Enabled, Discharging\nBBU voltage:     12.34V\nBBU temperature: -2.5\n"},
        {0x2 | 0x4, 999, 0,
         "BBU status:      Disabled, Charging, Discharging\nBBU voltage:     0.99V\n"
         "BBU temperature: 0.0\n"},
        {0x0, 65535, -5,
         "BBU status:      Disabled\nBBU voltage:     65.53V\nBBU temperature: -0.0\n"},
        {0x0, 0, -32768,
         "BBU status:      Disabled\nBBU voltage:     0.00V\nBBU temperature: -327.6\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out);
        m.emulator(1).Modify([&](emu::State& s) {
            emu::Battery& b = s.controllers[0].bbu;
            b.status = c.status;
            b.voltageMv = c.voltage;
            b.temperature = c.temperature;
        });
        const auto r = m.run({"-1", "--bbu"});
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, 0);
    }
}

TEST_F(Commands, EventsStopAfterABoundedNumber) {
    m.emulator().Modify([](emu::State& s) {
        s.events.clear();
        for (int i = 0; i < 5000; ++i) s.events.push_back({uint8_t(1 + i % 20), uint32_t(i)});
    });
    const auto r = m.run({"-E"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 4096);
    EXPECT_EQ(r.out.substr(0, 50), "Event: code 1, devid 0\nEvent: code 2, devid 1\nEven");
    EXPECT_EQ(m.emulator().Snapshot().events.size(), 5000u - 4096u);
}

TEST_F(Commands, EventsWhenNonePending) {
    m.emulator().Modify([](emu::State& s) { s.events.clear(); });
    const auto r = m.run({"--events"});
    EXPECT_EQ(r.out, "No event pending\n");
    EXPECT_EQ(r.status, 0);
}

TEST_F(Commands, Rescan) {
    m.emulator().InjectFault({ARK_REQ_RESCAN_DEVICES, emu::Fault::Kind::Fail});
    const auto r = m.run({"-P"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(m.requests(ARK_REQ_RESCAN_DEVICES).size(), 1u);
}

TEST_F(Commands, PCache) {
    const struct {
        std::vector<std::string> args;
        bool clearFails;
        const char* out;
        int status;
        size_t clears;
    } cases[] = {
        {{"--pcache"}, false, "PCache sectors: 2048\n", 0, 0},
        {{"--pcache", "-s"}, false, "PCache sectors: 2048\n", 0, 0},
        {{"--pcache", "--clear"}, false, "", 0, 1},
        {{"--pcache", "-c", "-s"}, false, "PCache sectors: 2048\n", 0, 0},  // the last one wins
        {{"--pcache", "-s", "-c"}, false, "", 0, 1},
        {{"--pcache", "-x"}, false, "invalid option\n", 1, 0},
        {{"--pcache", "-c"}, true, "fail to clear PCache\n", 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        m.emulator().ClearFaults();
        m.emulator().Modify([](emu::State& s) { s.pcacheSize = 2048; });
        if (c.clearFails) m.emulator().InjectFault({ARK_REQ_CLEAR_PCACHE, emu::Fault::Kind::Fail});
        const auto r = m.run(c.args);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(m.requests(ARK_REQ_CLEAR_PCACHE).size(), c.clears);
    }
}

TEST_F(Commands, HwMonFailureAndNoEntries) {
    m.emulator().InjectFault({ARK_REQ_GET_HWMON_DATA, emu::Fault::Kind::Fail, 0, 1});
    auto r = m.run({"--hwmon"});
    EXPECT_EQ(r.out, "fail to get data\n");
    EXPECT_EQ(r.status, 1);
    m.emulator().Modify([](emu::State& s) { s.controllers[0].hwmon.clear(); });
    r = m.run({"--hwmon"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 0);
    const auto sent = m.requests(ARK_REQ_GET_HWMON_DATA);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].outLen, 32u);
    EXPECT_EQ(sent[0].input, std::vector<uint8_t>(4, 0));
}

TEST_F(Commands, InitializeDisk) {
    const struct {
        std::vector<std::string> args;
        bool refused;
        const char* out;
        int status;
        std::vector<uint32_t> sent;
    } cases[] = {
        {{"-I", "1/7"}, false, "", 0, {262}},
        {{"--initialize", "1/7"}, true, "fail to initialize disk 1/7.\n", 1, {262}},
        {{"-I", "1/*"}, false, "give one disk, not a pattern: 1/*\n", 1, {}},
        {{"-I", "9/9"}, false, "no such disk\n", 1, {}},
        {{"-I", ""}, false, "no such disk\n", 1, {}},
        {{"-I", "1/7", "-x"}, false, "invalid option\n", 1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out);
        m.emulator().ClearFaults();
        if (c.refused) m.emulator().InjectFault({ARK_REQ_INIT_DISK, emu::Fault::Kind::Fail});
        const auto r = m.run(c.args);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, c.status);
        std::vector<uint32_t> sent;
        for (const auto& req : m.requests(ARK_REQ_INIT_DISK)) {
            uint32_t id;
            std::memcpy(&id, req.input.data(), 4);
            sent.push_back(id);
        }
        EXPECT_EQ(sent, c.sent);
    }
}

TEST_F(Commands, InitializeArray) {
    const struct {
        uint32_t flags;  // of array 1 before the run
        std::vector<std::string> args;
        const char* out;
        std::vector<uint32_t> tasks;
    } cases[] = {
        {ARK_ARRAY_UNINITIALIZED, {"-I", "1", "-r"}, "", {ARK_TASK_START_REBUILD}},
        {ARK_ARRAY_UNINITIALIZED | ARK_ARRAY_FG_INIT,
         {"-I", "1", "--stop"},
         "",
         {ARK_TASK_STOP_FG_INIT}},
        {ARK_ARRAY_UNINITIALIZED | ARK_ARRAY_REBUILDING,
         {"-I", "1", "-s"},
         "",
         {ARK_TASK_STOP_REBUILD}},
        {ARK_ARRAY_UNINITIALIZED, {"-I", "1", "-s", "-r"}, "", {ARK_TASK_START_REBUILD}},
        {0, {"-I", "1", "-r"}, "array 1 is already initialized\n", {}},
        {ARK_ARRAY_UNINITIALIZED | ARK_ARRAY_FG_INIT,
         {"-I", "1", "-r"},
         "array 1 is initializing already\n",
         {}},
        {0, {"-I", "1", "-s"}, "array 1 is not initializing\n", {}},
        {ARK_ARRAY_UNINITIALIZED, {"-I", "1x", "-r"}, "no such array\n", {}},
        {ARK_ARRAY_UNINITIALIZED, {"-I", "3", "-r"}, "no such array\n", {}},
        {ARK_ARRAY_UNINITIALIZED, {"-I", "1-1", "-r"}, "no such array\n", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out);
        m.emulator().Modify([&](emu::State& s) { s.arrays.at(300).flags = c.flags; });
        const auto r = m.run(c.args);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, c.out[0] == '\0' ? 0 : 1);
        EXPECT_EQ(tasks(), c.tasks);
    }
}

TEST_F(Commands, QuerySkipsWhatCannotBeRead) {
    // The first controller's record fails: only the second is shown.
    m.emulator().InjectFault({ARK_REQ_GET_CONTROLLER_INFO, emu::Fault::Kind::Fail, 1, 1});
    auto r = m.run({"-Q", "-c"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("Controller1:"), std::string::npos);
    EXPECT_NE(r.out.find("Controller2:\nLocation:      PCI bus 9\n"), std::string::npos);

    // A disk whose record fails is left out of the list.
    m.emulator().ClearFaults();
    m.emulator().InjectFault({ARK_REQ_GET_VD_INFO, emu::Fault::Kind::Fail, 2, 1});
    r = m.run({"-Q", "-e"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\n1/1\t"), std::string::npos);
    EXPECT_EQ(r.out.find("\n1/2\t"), std::string::npos);
    EXPECT_NE(r.out.find("\n1/3\t"), std::string::npos);
}

TEST_F(Commands, QueryControllerCountFails) {
    // Discovery asks once; the command's own question fails.
    m.emulator().InjectFault({ARK_REQ_GET_CONTROLLER_COUNT, emu::Fault::Kind::Fail, 2, 1});
    const auto r = m.run({"-Q", "-c"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 1);
}

TEST_F(Commands, QueryArrayDetailFailures) {
    for (const char* ref : {"3", "0", "x", "1-1", "2-3"}) {
        SCOPED_TRACE(ref);
        const auto r = m.run({"-Q", "-a", "-p", ref});
        EXPECT_EQ(r.out, "fail to get array info\n");
        EXPECT_EQ(r.status, 1);
    }
    const auto r = m.run({"-Q", "-e", "-p", "7/7"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 1);
}

const char* const kRule =
    "-------------------------------------------------------------------------------\n";

TEST_F(Commands, NestedMembersMissingOrUnreadable) {
    m.emulator().Modify([](emu::State& s) {
        emu::Array& nested = s.arrays.at(301);
        nested.members = {0, 9999};  // gone, and an id the controller does not know
    });
    const auto r = m.run({"-Q", "-a", "-p", "2"});
    EXPECT_EQ(r.status, 0);
    const std::string tail =
        "Status:       Normal\n\nMember array 1:\n MISSING\n\nMember array 2:\n ERROR\n";
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
}

TEST_F(Commands, MemberArraysArePrintedOneLevelDeep) {
    m.emulator().Modify([](emu::State& s) {
        emu::Array& nested = s.arrays.at(301);
        emu::Array& sub = s.arrays.at(nested.members[0]);
        sub.subRaidlevel = ARK_RAID1;  // a member claiming members of its own
        sub.members = {nested.members[1]};
    });
    const auto r = m.run({"-Q", "-a", "-p", "2"});
    EXPECT_EQ(r.status, 0);
    const std::string tail =
        std::string("Status:       Normal\n\nMember array 1:\n\nMember array 2:\n") +
        "\nDisk  Location Capacity(GB)    max_free  total_free  Model Number\n" + kRule;
    const size_t at = r.out.find("Status:");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(r.out.substr(at, tail.size()), tail);
}

TEST_F(Commands, MemberSlotsStopAtTheRecordsEnd) {
    m.emulator().Modify([](emu::State& s) {
        s.arrays.at(300).members.assign(70, 256);  // more members than the record has slots
    });
    const auto r = m.run({"-Q", "-a", "-p", "1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(" [64]\t1/1\t"), std::string::npos);
    EXPECT_EQ(r.out.find("[65]"), std::string::npos);
}

TEST_F(Commands, BlockAndSectorSizes) {
    const struct {
        uint8_t bsShift, ssShift;
        const char* lines;
    } cases[] = {
        {0, 0, "Sector size:  512B\nBlock size:   512B\n"},
        {1, 1, "Sector size:  1K\nBlock size:   1K\n"},
        {9, 3, "Sector size:  4K\nBlock size:   256K\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines);
        m.emulator().Modify([&](emu::State& s) {
            emu::Array& a = s.arrays.at(301);
            a.bsShift = c.bsShift;
            a.ssShift = c.ssShift;
        });
        const auto r = m.run({"-Q", "-a", "-p", "2"});
        EXPECT_NE(r.out.find(c.lines), std::string::npos) << r.out;
    }
}

TEST_F(Commands, UnterminatedNamesStayInTheirFields) {
    m.emulator().Modify([](emu::State& s) { s.arrays.at(300).name = "ABCDEFGHIJKLMNOP"; });
    m.emulator().InjectFault({ARK_REQ_GET_VD_INFO, emu::Fault::Kind::Unterminated});
    const auto r = m.run({"-Q", "-a", "-p", "1"});
    EXPECT_EQ(r.status, 0);
    const size_t at = r.out.find("Array name:   ");
    ASSERT_NE(at, std::string::npos);
    const size_t end = r.out.find('\n', at);
    EXPECT_EQ(end - at, std::strlen("Array name:   ") + 16);
}

}  // namespace

namespace {

// A driver that reports more hardware-monitor bytes than the buffer it was given.
class OverReportingPort : public CDriverPort {
public:
    int Ioctl(uint32_t code, const void*, uint32_t, void* out, uint32_t outLen,
              uint32_t* bytesReturned) override {
        if (code == ARK_REQ_GET_CONTROLLER_COUNT) {
            const uint32_t one = 1;
            std::memcpy(out, &one, 4);
            if (bytesReturned) *bytesReturned = 4;
            return 0;
        }
        auto* entries = static_cast<ARK_HWMON_ENTRY*>(out);
        for (uint32_t i = 0; i < outLen / 4; ++i) entries[i] = {1, uint8_t(i), 1000};
        if (bytesReturned) *bytesReturned = 40;
        return 0;
    }
    const char* GetPath() const override { return "over"; }
};

TEST(HwMon, EntriesStopAtTheBuffer) {
    arkResetDomainsForTest();
    ASSERT_TRUE(AttachPort(new OverReportingPort));
    g_currentDomain = 0;
    testing::internal::CaptureStdout();
    EXPECT_EQ(hwmonCommand(), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    arkResetDomainsForTest();
    std::string expected;
    for (int i = 0; i < 8; ++i) expected += "Voltage sensor" + std::to_string(i) + ": 1.00V\n";
    EXPECT_EQ(out, expected);
}

}  // namespace
