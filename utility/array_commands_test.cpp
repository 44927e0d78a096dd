// The array commands through the entry over an emulated machine: what each sends, what it
// prints, and that every refusal sends nothing that changes the machine.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "ark.h"
#include "util_harness.h"

namespace {

using utiltest::UtilityMachine;

// Disks 256-263 at 1/1 .. 1/8; 264 a spare at 1/9; a RAID1 (265) and a RAID5 (266).
const char* const kMachine = R"({"domains": [{
   "driver": {"bs_shift_min": 1, "bs_shift_max": 9, "raid_levels": [1, 2, 3, 4, 7],
              "cache_policies": [7, 7, 7, 3, 1]},
   "first_id": 256,
   "disks": [{"port": 0, "capacity": 4000000}, {"port": 1, "capacity": 4000000},
             {"port": 2, "capacity": 4000000}, {"port": 3, "capacity": 4000000},
             {"port": 4, "capacity": 4000000}, {"port": 5, "capacity": 4000000},
             {"port": 6, "capacity": 4000000}, {"port": 7, "capacity": 4000000},
             {"port": 8, "capacity": 4000000, "spare": true}],
   "arrays": [{"name": "Mirror", "level": "RAID1", "members": [256, 257],
               "per_disk": 1000000},
              {"name": "Parity", "level": "RAID5", "members": [258, 259, 260],
               "per_disk": 1000000}]
}]})";

// Requests that change the machine.
const std::set<uint32_t> kChanging = {
    ARK_REQ_INIT_DISK,
    ARK_REQ_CREATE_ARRAY,
    ARK_REQ_UNLOAD_DEVICE,
    ARK_REQ_DELETE_ARRAY,
    ARK_REQ_ARRAY_TASK_CTL,
    ARK_REQ_SET_ARRAY_NAME,
    ARK_REQ_SET_CACHE_POLICY,
    ARK_REQ_SET_DISK_RA,
    ARK_REQ_SET_DISK_WC,
    ARK_REQ_SET_DISK_QD,
    ARK_REQ_SET_DISK_SMART,
    ARK_REQ_IDENTIFY_DISK,
    ARK_REQ_ASSIGN_SPARE_DISK,
    ARK_REQ_UNASSIGN_SPARE_DISK,
    ARK_REQ_ADD_DISK_TO_ARRAY,
    ARK_REQ_SET_CONFIG_INT,
    ARK_REQ_SET_BBU_STATUS,
    ARK_REQ_CLEAR_PCACHE,
    ARK_REQ_FLASH,
    ARK_REQ_ATA_PASSTHROUGH,
};

class ArrayCommands : public ::testing::Test {
protected:
    UtilityMachine m{kMachine};

    // The changing requests of the last run, as "code:input bytes" texts.
    std::vector<std::string> changes() {
        std::vector<std::string> out;
        for (const auto& r : m.emulator().RequestLog()) {
            if (!kChanging.count(r.code)) continue;
            char head[16];
            std::snprintf(head, sizeof head, "%08X", r.code);
            std::string text = head;
            text += ":";
            for (size_t i = 0; i + 4 <= r.input.size() && i < 16; i += 4) {
                uint32_t word;
                std::memcpy(&word, r.input.data() + i, 4);
                text += " " + std::to_string(word);
            }
            out.push_back(text);
        }
        return out;
    }

    uint32_t flags(uint32_t id) { return m.emulator().Snapshot().arrays.at(id).flags; }
};

std::string req(uint32_t code, const std::vector<uint32_t>& words) {
    char head[16];
    std::snprintf(head, sizeof head, "%08X", code);
    std::string text = std::string(head) + ":";
    for (uint32_t w : words) text += " " + std::to_string(w);
    return text;
}

TEST_F(ArrayCommands, Refusals) {
    const struct {
        std::vector<std::string> args;
        const char* out;
        std::function<void(emu::State&)> setup;
    } cases[] = {
        // Targets: whole array references and single disks only.
        {{"-D", "1x"}, "no such disk\n", nullptr},
        {{"-D", "3"}, "no such array\n", nullptr},
        {{"-D", "1-1"}, "no such disk\n", nullptr},
        {{"-D", "1/*"}, "give one disk, not a pattern: 1/*\n", nullptr},
        {{"-D", "1/1"}, "disk 1/1 is not a spare\n", nullptr},
        {{"-D", "7/7"}, "no such disk\n", nullptr},
        {{"-U", "1/*"}, "give one disk, not a pattern: 1/*\n", nullptr},
        {{"-U", "1/1"}, "disk 1/1 is in use\n", nullptr},
        {{"-R", "1", "-d", "1/*"}, "give one disk, not a pattern: 1/*\n", nullptr},
        {{"-R", "1", "-d", "1/8"}, "array 1 does not miss a disk\n", nullptr},
        {{"-R", "9", "-r"}, "no such array\n", nullptr},
        // States.
        {{"-D", "1"},
         "array 1 is busy, stop its task first\n",
         [](emu::State& s) { s.arrays.at(265).flags |= ARK_ARRAY_VERIFYING; }},
        {{"-R", "1", "-r"}, "array 1 does not need a rebuild\n", nullptr},
        {{"-R", "1", "-s"}, "array 1 is not rebuilding\n", nullptr},
        {{"-R", "1", "-r"},
         "array 1 is rebuilding already\n",
         [](emu::State& s) { s.arrays.at(265).flags |= ARK_ARRAY_REBUILDING; }},
        {{"-R", "1"}, "give -r, -s or -d <disk>\n", nullptr},
        {{"-V", "1", "-s"}, "array 1 is not verifying\n", nullptr},
        {{"-V", "1", "-r"},
         "array 1 is verifying already\n",
         [](emu::State& s) { s.arrays.at(265).flags |= ARK_ARRAY_VERIFYING; }},
        {{"-V", "1", "-r"},
         "array 1 is busy or not initialized\n",
         [](emu::State& s) { s.arrays.at(265).flags |= ARK_ARRAY_UNINITIALIZED; }},
        {{"-V", "1", "-x"}, "invalid option\n", nullptr},
        {{"-T", "1", "-r"},
         "array 1 has no transform to run; create its target with -C -S 1\n",
         nullptr},
        {{"-T", "1", "-s"}, "array 1 is not transforming\n", nullptr},
        {{"-A", "1", "-y", "FAST"}, "invalid cache policy FAST\n", nullptr},
        {{"-A", "1"}, "give -y WB, WT or NONE\n", nullptr},
        {{"-N", "1", "-n", "Parity"}, "array name Parity is already in use\n", nullptr},
        {{"-N", "1", "-n", "SixteenCharacter"},
         "array name is longer than 15 characters\n",
         nullptr},
        {{"-N", "1"}, "give the new name with -n\n", nullptr},
        {{"-N", "1", "-n"}, "option needs a value\n", nullptr},
        // Creation.
        {{"-C", "-l", "RAID5"}, "give the array type (-l) and its disks (-d)\n", nullptr},
        {{"-C", "-l", "RAID7", "-d", "1/4"}, "array type RAID7 is not supported\n", nullptr},
        {{"-C", "-l", "RAID5", "-d", "1/4,1/5,1/9x"}, "no disk at 1/9x\n", nullptr},
        {{"-C", "-l", "RAID5", "-d", "1/4,1/5,1/4"}, "disk 1/4 is listed twice\n", nullptr},
        {{"-C", "-l", "RAID5", "-d", "1/*,1/5"}, "disk 1/5 is listed twice\n", nullptr},
        {{"-C", "-l", "RAID0", "-d", "1/6", "-z", "10x"}, "invalid size 10x\n", nullptr},
        {{"-C", "-l", "RAID0", "-d", "1/6", "-z", "0"}, "invalid size 0\n", nullptr},
        {{"-C", "-l", "RAID0", "-d", "1/6", "-z", "-5"}, "invalid size -5\n", nullptr},
        {{"-C", "-l", "RAID0", "-d", "1/6", "-k", "3"},
         "block size 3 KB is not supported (1 to 256 KB)\n",
         nullptr},
        {{"-C", "-l", "RAID0", "-d", "1/6", "-k", "512"},
         "block size 512 KB is not supported (1 to 256 KB)\n",
         nullptr},
        {{"-C", "-l", "JBOD", "-d", "1/6", "-y", "WB"},
         "cache policy WB is not supported for JBOD\n",
         nullptr},
        {{"-C", "-l", "RAID0", "-d", "1/6", "-y", "XX"}, "invalid cache policy XX\n", nullptr},
        {{"-C", "-l", "RAID0", "-d", "1/6", "-n", "Mirror"},
         "array name Mirror is already in use\n",
         nullptr},
        {{"-C", "-l", "RAID0", "-d", "1/6", "-n", "SeventeenCharsXYZ"},
         "array name is longer than 16 characters\n",
         nullptr},
        {{"-C", "-l", "RAID0", "-d", "1/6", "-S", "1x"}, "no such array\n", nullptr},
        {{"-C", "-l", "RAID50", "-d", "1/4,1/5,1/6,1/7,1/8", "-m", "2*3"},
         "RAID50 needs sub-arrays of equal size: 5 disks do not make 2*3\n",
         nullptr},
        {{"-C", "-l", "RAID50", "-d", "1/4,1/5,1/6,1/7", "-m", "2x2"},
         "invalid matrix 2x2 (N*M: N sub-arrays of M disks)\n",
         nullptr},
        {{"-C", "-l", "RAID5", "-d", "1/4,1/5,1/6", "-m", "1*3"},
         "a matrix is for RAID10, RAID50 and RAID60 only\n",
         nullptr},
        {{"-C", "-l", "RAID6", "-d", "1/4,1/5"},
         "these disks cannot hold a RAID6 array\n",
         nullptr},
        {{"-C", "-l", "RAID0", "-d", "1/6", "-q"}, "invalid option\n", nullptr},
        {{"-C", "-l", "spare", "-d", "1/1"}, "fail to assign spare disk 1/1\n", nullptr},
    };
    for (const auto& c : cases) {
        std::string trace;
        for (const auto& a : c.args) trace += a + " ";
        SCOPED_TRACE(trace);
        UtilityMachine fresh{kMachine};
        if (c.setup) fresh.emulator().Modify(c.setup);
        const auto r = fresh.run(c.args);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, 1);
        for (const auto& logged : fresh.emulator().RequestLog()) {
            // Only the spare assignment the controller itself refused reaches it.
            if (c.args.size() > 2 && c.args[2] == "spare") continue;
            EXPECT_EQ(kChanging.count(logged.code), 0u) << std::hex << logged.code;
        }
    }
}

TEST_F(ArrayCommands, WhatEachCommandSends) {
    const struct {
        std::vector<std::string> args;
        std::function<void(emu::State&)> setup;
        std::vector<std::string> sent;
    } cases[] = {
        {{"-D", "1"}, nullptr, {req(ARK_REQ_DELETE_ARRAY, {265, 0})}},
        {{"-D", "1/9"}, nullptr, {req(ARK_REQ_UNASSIGN_SPARE_DISK, {264})}},
        {{"-V", "2", "-r"}, nullptr, {req(ARK_REQ_ARRAY_TASK_CTL, {266, ARK_TASK_START_VERIFY})}},
        {{"-V", "2", "--stop"},
         [](emu::State& s) { s.arrays.at(266).flags |= ARK_ARRAY_VERIFYING; },
         {req(ARK_REQ_ARRAY_TASK_CTL, {266, ARK_TASK_STOP_VERIFY})}},
        {{"-R", "2", "-r"},
         [](emu::State& s) { s.arrays.at(266).flags |= ARK_ARRAY_NEED_REBUILD; },
         {req(ARK_REQ_ARRAY_TASK_CTL, {266, ARK_TASK_START_REBUILD})}},
        {{"-R", "2", "-s"},
         [](emu::State& s) { s.arrays.at(266).flags |= ARK_ARRAY_REBUILDING; },
         {req(ARK_REQ_ARRAY_TASK_CTL, {266, ARK_TASK_STOP_REBUILD})}},
        {{"-A", "1", "-y", "wb"}, nullptr, {req(ARK_REQ_SET_CACHE_POLICY, {265, 2})}},
        {{"-A", "1", "--cache-policy=NONE"}, nullptr, {req(ARK_REQ_SET_CACHE_POLICY, {265, 0})}},
        {{"-U", "1/8"}, nullptr, {req(ARK_REQ_UNLOAD_DEVICE, {263})}},
        {{"-U", "2"}, nullptr, {req(ARK_REQ_UNLOAD_DEVICE, {266})}},
        {{"-C", "-l", "spare", "-d", "1/7,1/8"},
         nullptr,
         {req(ARK_REQ_ASSIGN_SPARE_DISK, {262}), req(ARK_REQ_ASSIGN_SPARE_DISK, {263})}},
    };
    for (const auto& c : cases) {
        std::string trace;
        for (const auto& a : c.args) trace += a + " ";
        SCOPED_TRACE(trace);
        UtilityMachine fresh{kMachine};
        if (c.setup) fresh.emulator().Modify(c.setup);
        const auto r = fresh.run(c.args);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.status, 0);
        std::vector<std::string> sent;
        for (const auto& logged : fresh.emulator().RequestLog()) {
            if (!kChanging.count(logged.code)) continue;
            std::vector<uint32_t> words;
            for (size_t i = 0; i + 4 <= logged.input.size() && i < 8; i += 4) {
                uint32_t w;
                std::memcpy(&w, logged.input.data() + i, 4);
                words.push_back(w);
            }
            if (logged.code == ARK_REQ_SET_CACHE_POLICY) words[1] &= 0xFF;
            sent.push_back(req(logged.code, words));
        }
        EXPECT_EQ(sent, c.sent);
    }
}

TEST_F(ArrayCommands, RenameSendsTheNameRecord) {
    const auto r = m.run({"-N", "1", "-n", "Renamed"});
    EXPECT_EQ(r.status, 0);
    const auto sent = m.requests(ARK_REQ_SET_ARRAY_NAME);
    ASSERT_EQ(sent.size(), 1u);
    ARK_ARRAY_NAME rec;
    ASSERT_EQ(sent[0].input.size(), sizeof rec);
    std::memcpy(&rec, sent[0].input.data(), sizeof rec);
    EXPECT_EQ(rec.id, 265u);
    EXPECT_EQ(std::string(rec.name, strnlen(rec.name, 16)), "Renamed");
    EXPECT_EQ(m.emulator().Snapshot().arrays.at(265).name, "Renamed");
}

TEST_F(ArrayCommands, CreateSendsTheParameters) {
    const auto r = m.run({"-C", "-l", "RAID5", "-d", "1/4,1/5,1/6", "-n", "Fresh", "-z", "100",
                          "-k", "64", "-y", "WB", "-b"});
    EXPECT_EQ(r.out, "array 3 created\n");
    EXPECT_EQ(r.status, 0);
    const auto capacity = m.requests(ARK_REQ_GET_RAID_CAPACITY);
    const auto create = m.requests(ARK_REQ_CREATE_ARRAY);
    ASSERT_EQ(capacity.size(), 1u);
    ASSERT_EQ(create.size(), 1u);
    EXPECT_EQ(capacity[0].input, create[0].input);
    ARK_ARRAY_PARAMS p;
    ASSERT_EQ(create[0].input.size(), sizeof p);
    std::memcpy(&p, create[0].input.data(), sizeof p);
    EXPECT_EQ(std::string(p.aname, strnlen(p.aname, 16)), "Fresh");
    EXPECT_EQ(p.capacity, 100u * 2048);
    EXPECT_EQ(p.source_id, 0u);
    EXPECT_EQ(p.raidlevel, ARK_RAID5);
    EXPECT_EQ(p.ndisks, 3);
    EXPECT_EQ(p.subdisks, 0);
    EXPECT_EQ(p.bs_shift, 7);
    EXPECT_EQ(p.init_options, 2);
    EXPECT_EQ(p.cache_policy, ARK_CACHE_WRITE_BACK);
    EXPECT_EQ(p.members[0], 259u);
    EXPECT_EQ(p.members[1], 260u);
    EXPECT_EQ(p.members[2], 261u);
    EXPECT_EQ(p.members[3], 0u);
}

TEST_F(ArrayCommands, NestedCreation) {
    const auto r = m.run({"-C", "-l", "RAID10", "-d", "1/5,1/6,1/7,1/8"});
    EXPECT_EQ(r.out, "array 3 created\n");
    ARK_ARRAY_PARAMS p;
    const auto create = m.requests(ARK_REQ_CREATE_ARRAY);
    ASSERT_EQ(create.size(), 1u);
    std::memcpy(&p, create[0].input.data(), sizeof p);
    EXPECT_EQ(p.raidlevel, ARK_RAID1);
    EXPECT_EQ(p.subdisks, 2);
    EXPECT_EQ(p.ndisks, 4);
    const auto q = m.run({"-Q", "-a"});
    EXPECT_NE(q.out.find("RAID10  Normal"), std::string::npos) << q.out;
    EXPECT_NE(q.out.find("\n3-2\t"), std::string::npos) << q.out;
}

// A RAID5 made, seen, degraded, rebuilt onto the spare and back to Normal; then grown.
TEST_F(ArrayCommands, EndToEnd) {
    auto r = m.run({"-C", "-l", "RAID5", "-d", "1/4,1/5,1/6", "-n", "Fresh"});
    ASSERT_EQ(r.out, "array 3 created\n");
    r = m.run({"-Q", "-a"});
    EXPECT_NE(r.out.find("3    2  "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("RAID5   Normal            --        --       Fresh\n"), std::string::npos)
        << r.out;
    const uint32_t fresh = m.emulator().Snapshot().arrays.rbegin()->first;

    // A member fails; without automatic rebuild the array waits for a disk.
    m.emulator().Modify([](emu::State& s) { s.config["AutoRebuild"] = 0; });
    m.emulator().Modify([](emu::State& s) {
        s.script.push_back({s.ticks + 1, emu::ScriptStep::Action::FailDisk, 0, 260});
    });
    m.emulator().Tick();
    EXPECT_TRUE(flags(fresh) & ARK_ARRAY_CRITICAL);
    r = m.run({"-R", "3", "-d", "1/9"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 0);
    r = m.run({"-Q", "-a"});
    EXPECT_NE(r.out.find("Rebuilding      0.00%"), std::string::npos) << r.out;
    for (int i = 0; i < 12; ++i) m.emulator().Tick();
    r = m.run({"-Q", "-a", "-p", "3"});
    EXPECT_NE(r.out.find("Status:       Normal\n"), std::string::npos) << r.out;

    // Grown onto a fourth disk as RAID5 again, through a transformation.
    r = m.run({"-C", "-l", "RAID5", "-d", "1/4,1/9,1/6,1/8", "-S", "3"});
    EXPECT_EQ(r.out, "array 3 will be transformed; start it with -T 3 -r\n");
    r = m.run({"-Q", "-a"});
    EXPECT_NE(r.out.find("Need Transform"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("----->\n3    -  "), std::string::npos) << r.out;
    r = m.run({"-T", "3", "-r"});
    EXPECT_EQ(r.status, 0);
    for (int i = 0; i < 12; ++i) m.emulator().Tick();
    r = m.run({"-Q", "-a", "-p", "3"});
    EXPECT_NE(r.out.find(" [4]\t1/8\t"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Expanding"), std::string::npos) << r.out;
}

}  // namespace
