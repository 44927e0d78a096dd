#include "scheduler.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <ctime>
#include <thread>
#include <utility>

#include "emulated_domains.h"
#include "event_test_env.h"
#include "fake_clock.h"
#include "scoped_time_zone.h"

namespace {

// ---- Due rules --------------------------------------------------------------------------

struct Local {
    int year, month, day, hour, minute;
};

// Seconds since 1970 of a local time in the current TZ.
int64_t at(const Local& l, int second = 0) {
    std::tm tm{};
    tm.tm_year = l.year - 1900;
    tm.tm_mon = l.month - 1;
    tm.tm_mday = l.day;
    tm.tm_hour = l.hour;
    tm.tm_min = l.minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return static_cast<int64_t>(mktime(&tm));
}

constexpr const char* kUtc = "UTC0";
constexpr const char* kBerlin = "CET-1CEST,M3.5.0,M10.5.0/3";
constexpr const char* kNewYork = "EST5EDT,M3.2.0,M11.1.0";
constexpr const char* kKolkata = "<+0530>-5:30";
constexpr const char* kSydney = "AEST-10AEDT,M10.1.0,M4.1.0/3";

struct DueCase {
    const char* name;
    const char* tz;
    int type;
    uint32_t days;
    Local start;
    Local date;
    int dateSecond;
    Local now;
    int nowSecond;
    bool due;
};

const Local kJan1 = {2026, 1, 1, 0, 0};

const DueCase kDueCases[] = {
    // Once: within the minute after its date.
    {"once at its date", kUtc, 1, 0, kJan1, {2026, 3, 14, 12, 0}, 0, {2026, 3, 14, 12, 0}, 0, true},
    {"once 59 s late", kUtc, 1, 0, kJan1, {2026, 3, 14, 12, 0}, 1, {2026, 3, 14, 12, 1}, 0, true},
    {"once 60 s late", kUtc, 1, 0, kJan1, {2026, 3, 14, 12, 0}, 0, {2026, 3, 14, 12, 1}, 0, false},
    {"once 1 s early", kUtc, 1, 0, kJan1, {2026, 3, 14, 12, 0}, 1, {2026, 3, 14, 12, 0}, 0, false},
    {"once ignores startdate",
     kBerlin,
     1,
     0,
     {2027, 1, 1, 0, 0},
     {2026, 3, 14, 12, 0},
     0,
     {2026, 3, 14, 12, 0},
     30,
     true},

    // Every N days: UTC day count from startdate, local hour and minute of date.
    {"daily (0) at its time",
     kBerlin,
     2,
     0,
     {2026, 1, 5, 0, 0},
     {2026, 1, 5, 2, 30},
     0,
     {2026, 3, 28, 2, 30},
     0,
     true},
    {"daily keeps local time over DST",
     kBerlin,
     2,
     0,
     {2026, 1, 5, 0, 0},
     {2026, 1, 5, 2, 30},
     0,
     {2026, 3, 30, 2, 30},
     0,
     true},
    {"daily not at date's UTC time after DST",
     kBerlin,
     2,
     0,
     {2026, 1, 5, 0, 0},
     {2026, 1, 5, 2, 30},
     0,
     {2026, 3, 30, 3, 30},
     0,
     false},
    {"daily not in another minute",
     kBerlin,
     2,
     1,
     {2026, 1, 5, 0, 0},
     {2026, 1, 5, 2, 30},
     0,
     {2026, 3, 28, 2, 31},
     0,
     false},
    {"daily not before startdate",
     kBerlin,
     2,
     0,
     {2026, 1, 5, 0, 0},
     {2026, 1, 5, 2, 30},
     0,
     {2026, 1, 4, 2, 30},
     0,
     false},
    {"daily from startdate itself",
     kKolkata,
     2,
     0,
     {2026, 1, 1, 9, 45},
     {2026, 1, 1, 9, 45},
     0,
     {2026, 1, 1, 9, 45},
     0,
     true},
    {"daily at a half-hour zone's time",
     kKolkata,
     2,
     0,
     kJan1,
     {2026, 1, 1, 9, 45},
     0,
     {2026, 2, 10, 9, 45},
     0,
     true},
    {"daily not at the UTC hour of date",
     kKolkata,
     2,
     0,
     kJan1,
     {2026, 1, 1, 9, 45},
     0,
     {2026, 2, 10, 4, 15},
     0,
     false},
    {"every 2nd day, even",
     kUtc,
     2,
     2,
     {2026, 3, 1, 0, 0},
     {2026, 3, 1, 6, 0},
     0,
     {2026, 3, 5, 6, 0},
     0,
     true},
    {"every 2nd day, odd",
     kUtc,
     2,
     2,
     {2026, 3, 1, 0, 0},
     {2026, 3, 1, 6, 0},
     0,
     {2026, 3, 4, 6, 0},
     0,
     false},
    // Startdate 12:00 local is 02:00 UTC the same day; 08:00 local is 22:00 UTC the day before.
    {"every 3rd day counts UTC days (local 3, UTC 2)",
     kSydney,
     2,
     3,
     {2026, 6, 10, 12, 0},
     {2026, 6, 10, 8, 0},
     0,
     {2026, 6, 13, 8, 0},
     0,
     false},
    {"every 3rd day counts UTC days (local 4, UTC 3)",
     kSydney,
     2,
     3,
     {2026, 6, 10, 12, 0},
     {2026, 6, 10, 8, 0},
     0,
     {2026, 6, 14, 8, 0},
     0,
     true},

    // Weekly: bit of the local weekday, 0 = Sunday. 2026-03-14 is a Saturday.
    {"weekly 0x41 on Saturday",
     kBerlin,
     3,
     0x41,
     kJan1,
     {2026, 1, 5, 10, 0},
     0,
     {2026, 3, 14, 10, 0},
     0,
     true},
    {"weekly 0x41 on Sunday",
     kBerlin,
     3,
     0x41,
     kJan1,
     {2026, 1, 5, 10, 0},
     0,
     {2026, 3, 15, 10, 0},
     0,
     true},
    {"weekly 0x41 not on Friday",
     kBerlin,
     3,
     0x41,
     kJan1,
     {2026, 1, 5, 10, 0},
     0,
     {2026, 3, 13, 10, 0},
     0,
     false},
    {"weekly 0x41 not a minute later",
     kBerlin,
     3,
     0x41,
     kJan1,
     {2026, 1, 5, 10, 0},
     0,
     {2026, 3, 14, 10, 1},
     0,
     false},
    // Saturday 22:30 in New York is Sunday in UTC.
    {"weekly takes the local weekday",
     kNewYork,
     3,
     0x40,
     kJan1,
     {2026, 1, 2, 22, 30},
     0,
     {2026, 3, 14, 22, 30},
     0,
     true},
    {"weekly local Sunday is not Saturday",
     kNewYork,
     3,
     0x40,
     kJan1,
     {2026, 1, 2, 22, 30},
     0,
     {2026, 3, 15, 22, 30},
     0,
     false},
    {"weekly not before startdate",
     kUtc,
     3,
     0x7F,
     {2026, 3, 15, 0, 0},
     {2026, 1, 2, 10, 0},
     0,
     {2026, 3, 14, 10, 0},
     0,
     false},

    // Monthly: bit of the local day of the month.
    {"monthly day 31",
     kNewYork,
     4,
     1u << 31,
     kJan1,
     {2026, 1, 1, 23, 15},
     0,
     {2026, 1, 31, 23, 15},
     0,
     true},
    {"monthly day 31 in March",
     kNewYork,
     4,
     1u << 31,
     kJan1,
     {2026, 1, 1, 23, 15},
     0,
     {2026, 3, 31, 23, 15},
     0,
     true},
    {"monthly not on the 28th",
     kNewYork,
     4,
     1u << 31,
     kJan1,
     {2026, 1, 1, 23, 15},
     0,
     {2026, 2, 28, 23, 15},
     0,
     false},
    {"monthly 1st and 15th: 1st",
     kSydney,
     4,
     (1u << 1) | (1u << 15),
     kJan1,
     {2026, 1, 1, 6, 0},
     0,
     {2026, 2, 1, 6, 0},
     0,
     true},
    {"monthly 1st and 15th: 15th",
     kSydney,
     4,
     (1u << 1) | (1u << 15),
     kJan1,
     {2026, 1, 1, 6, 0},
     0,
     {2026, 2, 15, 6, 0},
     0,
     true},
    {"monthly 1st and 15th: 2nd",
     kSydney,
     4,
     (1u << 1) | (1u << 15),
     kJan1,
     {2026, 1, 1, 6, 0},
     0,
     {2026, 2, 2, 6, 0},
     0,
     false},
    {"monthly bit 0 is no day",
     kUtc,
     4,
     1u,
     kJan1,
     {2026, 1, 1, 6, 0},
     0,
     {2026, 2, 1, 6, 0},
     0,
     false},

    // Other types never run.
    {"type 0", kUtc, 0, 0xFFFFFFFF, kJan1, {2026, 3, 14, 12, 0}, 0, {2026, 3, 14, 12, 0}, 0, false},
    {"type 5", kUtc, 5, 0xFFFFFFFF, kJan1, {2026, 3, 14, 12, 0}, 0, {2026, 3, 14, 12, 0}, 0, false},
    {"type -1",
     kUtc,
     -1,
     0xFFFFFFFF,
     kJan1,
     {2026, 3, 14, 12, 0},
     0,
     {2026, 3, 14, 12, 0},
     0,
     false},
};

TEST(TaskIsDue, TableOfTypesAndZones) {
    ScopedTimeZone zone;
    for (const DueCase& c : kDueCases) {
        SCOPED_TRACE(testing::Message() << c.name << " (" << c.tz << ")");
        zone.Set(c.tz);
        ScheduledTask task;
        task.type = c.type;
        task.days = c.days;
        task.startdate = at(c.start);
        task.date = at(c.date, c.dateSecond);
        EXPECT_EQ(taskIsDue(task, at(c.now, c.nowSecond)), c.due);
    }
}

TEST(TaskIsDue, FixedInstantsInUtc) {
    ScopedTimeZone zone;
    zone.Set(kUtc);
    // 2026-03-14 12:00:00 UTC, a Saturday.
    const int64_t noon = 1773489600;
    ScheduledTask weekly;
    weekly.type = 3;
    weekly.days = 1u << 6;
    weekly.date = 1768003200 + 12 * 3600;  // 2026-01-10 12:00
    EXPECT_TRUE(taskIsDue(weekly, noon));
    EXPECT_TRUE(taskIsDue(weekly, noon + 59));
    EXPECT_FALSE(taskIsDue(weekly, noon + 60));
    EXPECT_FALSE(taskIsDue(weekly, noon + 86400));
}

// ---- Running a task -----------------------------------------------------------------------

uint32_t readU32(const std::vector<uint8_t>& bytes, size_t at) {
    uint32_t v = 0;
    if (bytes.size() >= at + 4) std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

// (array, task state) of every task request the controller saw.
std::vector<std::pair<uint32_t, uint32_t>> taskRequests(const emu::Emulator& e) {
    std::vector<std::pair<uint32_t, uint32_t>> out;
    for (const auto& r : e.RequestLog())
        if (r.code == ARK_REQ_ARRAY_TASK_CTL)
            out.emplace_back(readU32(r.input, 0), readU32(r.input, 4));
    return out;
}

int requestCount(const emu::Emulator& e, uint32_t code) {
    int n = 0;
    for (const auto& r : e.RequestLog()) n += r.code == code;
    return n;
}

emu::State taskState() {
    emu::State s;
    for (uint32_t id = 0x100; id <= 0x10F; ++id)
        s.disks[id] = emuDisk(id, "D", "S", {.controller = 0, .port = 1, .target = 2});
    s.disks[0x100] = emuDisk(0x100, "MODEL", "SERIAL", {.controller = 0, .port = 1, .target = 2},
                             ARK_DISK_ENCLOSURE);
    auto add = [&](const emu::Array& a) { s.arrays[a.id] = a; };
    add(emuArray(0x200, "Mirror", {0x100, 0x101}, 0xA1));
    add(emuArray(0x201, "Stripe", {0x102, 0x103}, 0xB2, ARK_RAID0));
    emu::Array fresh = emuArray(0x202, "Fresh", {0x104, 0x105}, 0xC3);
    fresh.flags = ARK_ARRAY_UNINITIALIZED;
    add(fresh);
    emu::Array busy = emuArray(0x203, "Busy", {0x106, 0x107}, 0xD4);
    busy.flags = ARK_ARRAY_VERIFYING;
    add(busy);
    add(emuArray(0x204, "Degraded", {0x108, emu::kNoId}, 0xF6));
    add(emuArray(0x205, "Twin1", {0x109, 0x10A}, 0x99));
    add(emuArray(0x206, "Twin2", {0x10B, 0x10C}, 0x99));
    emu::Array ten = emuArray(0x210, "Ten", {0x211, 0x212}, 0xE5, ARK_RAID0);
    ten.subRaidlevel = ARK_RAID1;
    emu::Array half1 = emuArray(0x211, "Half", {0x10D, 0x10E});
    emu::Array half2 = emuArray(0x212, "Half", {0x10F, 0x101});
    half1.parent = half2.parent = 0x210;
    add(ten);
    add(half1);
    add(half2);
    return s;
}

struct RunCase {
    const char* name;
    int domain;
    uint32_t signature;
    int memberIndex;
    std::vector<std::pair<uint32_t, uint32_t>> requests;  // task requests expected, in order
    std::vector<std::pair<int, std::string>> events;      // (code, devname) expected
};

class RunTaskTest : public EventTestEnv {};

TEST_F(RunTaskTest, TableOfTargets) {
    const RunCase cases[] = {
        {"idle mirror: verify", 0, 0xA1, -1, {{0x200, 4}}, {}},
        {"stripe: neither verify nor rebuild",
         0,
         0xB2,
         -1,
         {{0x201, 4}, {0x201, 1}},
         {{113, "Stripe"}}},
        {"uninitialised: initialisation", 0, 0xC3, -1, {{0x202, 4}, {0x202, 1}}, {}},
        {"busy: nothing at all", 0, 0xD4, -1, {}, {}},
        {"first of two with one signature", 0, 0x99, -1, {{0x205, 4}}, {}},
        {"member array of a RAID10", 0, 0xE5, 1, {{0x212, 4}}, {}},
        {"member is a disk", 0, 0xA1, 0, {}, {{113, "[1/E2/3] MODEL_SERIAL"}}},
        {"member past the members", 0, 0xA1, 2, {}, {{112, ""}}},
        {"member past every slot", 0, 0xA1, 64, {}, {{112, ""}}},
        {"member far past every slot", 0, 0xA1, 100000, {}, {{112, ""}}},
        {"empty member slot", 0, 0xF6, 1, {}, {{112, ""}}},
        {"no array with the signature", 0, 0x77, -1, {}, {{112, ""}}},
        {"no such domain", 3, 0xA1, -1, {}, {{112, ""}}},
    };
    for (const RunCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(log.Clear());
        EmulatedDomains domains;
        emu::Emulator& e = domains.Add(taskState());
        ScheduledTask task;
        task.domain = c.domain;
        task.signature = c.signature;
        task.memberIndex = c.memberIndex;
        runScheduledTask(log, task);
        EXPECT_EQ(taskRequests(e), c.requests);
        const auto events = Events();
        ASSERT_EQ(events.size(), c.events.size());
        for (size_t i = 0; i < events.size(); ++i) {
            EXPECT_EQ(events[i].type, 3);
            EXPECT_EQ(events[i].code, c.events[i].first);
            EXPECT_EQ(events[i].devname, c.events[i].second);
            EXPECT_EQ(events[i].data, "");
        }
    }
}

TEST_F(RunTaskTest, StartedTasksShowOnTheController) {
    EmulatedDomains domains;
    emu::Emulator& e = domains.Add(taskState());
    ScheduledTask task;
    task.signature = 0xA1;
    task.memberIndex = -1;
    runScheduledTask(log, task);
    task.signature = 0xC3;
    runScheduledTask(log, task);
    const emu::State s = e.Snapshot();
    EXPECT_TRUE(s.arrays.at(0x200).flags & ARK_ARRAY_VERIFYING);
    EXPECT_TRUE(s.arrays.at(0x202).flags & ARK_ARRAY_REBUILDING);

    // Now busy: a second run asks nothing.
    e.ClearRequestLog();
    task.signature = 0xA1;
    runScheduledTask(log, task);
    EXPECT_TRUE(taskRequests(e).empty());
    EXPECT_EQ(log.Count(), 0);
}

TEST_F(RunTaskTest, UnreadableMemberIsNotStarted) {
    EmulatedDomains domains;
    emu::Emulator& e = domains.Add(taskState());
    ScheduledTask task;
    task.signature = 0xE5;
    task.memberIndex = 0;
    // A healthy run shows how many device reads it takes to find the array; the next is the
    // member's own read.
    runScheduledTask(log, task);
    ASSERT_EQ(taskRequests(e), (std::vector<std::pair<uint32_t, uint32_t>>{{0x211, 4}}));
    const int readsToFind = requestCount(e, ARK_REQ_GET_VD_INFO) - 1;
    e.ClearRequestLog();
    e.InjectFault({ARK_REQ_GET_VD_INFO, emu::Fault::Kind::Fail,
                   static_cast<uint32_t>(readsToFind + 1), 1, 0});
    runScheduledTask(log, task);
    ASSERT_EQ(Events().size(), 1u);
    EXPECT_EQ(Events()[0].code, 113);
    EXPECT_EQ(Events()[0].devname, "Half [1]");
    EXPECT_TRUE(taskRequests(e).empty());
}

// Answers like the emulator, except that an array's slots past its member count hold `stale`,
// as a controller that never clears them may report.
class StaleSlots : public emu::RequestHandler {
public:
    StaleSlots(emu::Emulator& e, uint32_t stale) : m_e(e), m_stale(stale) {}
    int Handle(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
               uint32_t* returned) override {
        const int rc = m_e.Handle(code, in, inLen, out, outLen, returned);
        if (rc == 0 && code == ARK_REQ_GET_VD_INFO && outLen >= sizeof(ARK_VD_INFO)) {
            auto* vd = static_cast<ARK_VD_INFO*>(out);
            if (vd->type == ARK_VD_TYPE_ARRAY)
                for (size_t i = vd->array.ndisks; i < ARK_MAX_MEMBERS; ++i)
                    vd->array.members[i] = m_stale;
        }
        return rc;
    }

private:
    emu::Emulator& m_e;
    uint32_t m_stale;
};

TEST_F(RunTaskTest, SlotsPastTheMemberCountNameNoMember) {
    arkResetDomainsForTest();
    emu::State state = taskState();
    state.controllers.emplace_back();
    emu::Emulator e(std::move(state));
    StaleSlots stale(e, 0x201);  // an idle array of the same domain
    auto* port = new emu::EmuPort(stale, "/dev/emu-stale");
    if (!AttachPort(port)) {
        delete port;
        FAIL() << "the emulated port was not attached";
    }
    ScheduledTask task;
    task.signature = 0xA1;  // the two-disk mirror
    for (int index : {2, 63}) {
        SCOPED_TRACE(testing::Message() << "member index " << index);
        ASSERT_TRUE(log.Clear());
        e.ClearRequestLog();
        task.memberIndex = index;
        runScheduledTask(log, task);
        EXPECT_TRUE(taskRequests(e).empty());
        const auto events = Events();
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].code, 112);
    }
    arkResetDomainsForTest();  // the port goes before its handler
}

// ---- Minutes ------------------------------------------------------------------------------

constexpr int64_t kStart = 1773489600 + 30;  // half a minute past a whole minute

std::string taskJson(int type, uint32_t signature, int64_t date, uint32_t days = 0) {
    return "{\"domain\":0,\"id\":1,\"signature\":" + std::to_string(signature) +
           ",\"memberIndex\":-1,\"type\":" + std::to_string(type) +
           ",\"days\":" + std::to_string(days) +
           ",\"startdate\":0,\"date\":" + std::to_string(date) + "}";
}

class SchedulerTest : public EventTestEnv {
protected:
    void SetTasks(const std::string& json) {
        value v;
        ASSERT_TRUE(json::parse(json, v));
        ASSERT_TRUE(config.SetValue(v, "tasks"));
    }

    EmulatedDomains domains;
    std::atomic<int> interval{0};
    StopSignal stop;
    ScopedTimeZone zone;
};

TEST_F(SchedulerTest, AnHourOfMinutesRunsEachMinuteOnce) {
    zone.Set(kBerlin);
    // Minutes run at kStart + 30 + 60k. Once-tasks 10 s before minutes 10 (the mirror) and 30
    // (an array that does not exist); a daily task at the local time of minute 20 (none either).
    const int64_t minute0 = kStart + 30;
    SetTasks("[" + taskJson(1, 0xA1, minute0 + 600 - 10) + "," +
             taskJson(1, 0x77, minute0 + 1800 - 10) + "," +
             taskJson(2, 0x77, minute0 + 1200 - 86400 * 3) + "]");
    for (int64_t lag : {0, 1}) {
        SCOPED_TRACE(testing::Message() << "clock reads lag " << lag << " s");
        ASSERT_TRUE(log.Clear());
        EmulatedDomains machine;
        emu::Emulator& first = machine.Add(taskState());
        emu::Emulator& second = machine.Add(emu::State{});
        interval = 15;
        stop.Reset();
        FakeClock clock(kStart, kStart + 3600);
        clock.SetReadLag(lag);
        Scheduler scheduler(log, config, interval, clock.Now());
        std::thread thread([&] { runScheduler(scheduler, clock, stop); });
        clock.WaitParked();
        stop.Request();
        thread.join();

        // Checks at minutes 15, 30 and 45 after the start, on both domains.
        EXPECT_EQ(requestCount(first, ARK_REQ_SMART_CHECK_ALL), 3);
        EXPECT_EQ(requestCount(second, ARK_REQ_SMART_CHECK_ALL), 3);
        const std::vector<std::pair<uint32_t, uint32_t>> once = {{0x200, 4}};
        EXPECT_EQ(taskRequests(first), once);
        EXPECT_EQ(EventsWithCode(112).size(), 2u);
        EXPECT_EQ(log.Count(), 2);
    }
}

TEST_F(SchedulerTest, MissingArrayGivesOneEventPerDueMinute) {
    zone.Set(kSydney);
    domains.Add(taskState());
    SetTasks("[" + taskJson(2, 0x77, kStart + 90) + "]");
    FakeClock clock(kStart, kStart + 3 * 86400);
    Scheduler scheduler(log, config, interval, clock.Now());
    std::thread thread([&] { runScheduler(scheduler, clock, stop); });
    clock.WaitParked();
    stop.Request();
    thread.join();
    EXPECT_EQ(EventsWithCode(112).size(), 3u);
    EXPECT_EQ(log.Count(), 3);
}

TEST_F(SchedulerTest, IntervalChangesTakeEffectWithoutResettingTheLastCheck) {
    emu::Emulator& e = domains.Add(emu::State{});
    Scheduler scheduler(log, config, interval, kStart);
    std::vector<int> checkedAt;
    for (int k = 1; k <= 330; ++k) {
        if (k == 120) interval = 60;  // set two hours after the start: due at once
        if (k == 310) interval = 0;
        e.ClearRequestLog();
        scheduler.RunMinute(kStart + 60 * k);
        if (requestCount(e, ARK_REQ_SMART_CHECK_ALL) == 1) checkedAt.push_back(k);
    }
    EXPECT_EQ(checkedAt, (std::vector<int>{120, 180, 240, 300}));
}

TEST_F(SchedulerTest, UnreadableTasksStillCheckSmart) {
    emu::Emulator& e = domains.Add(taskState());
    value notAList;
    ASSERT_TRUE(json::parse(R"({"0":)" + taskJson(1, 0xA1, kStart + 60) + "}", notAList));
    ASSERT_TRUE(config.SetValue(notAList, "tasks"));
    interval = 1;
    Scheduler scheduler(log, config, interval, kStart);
    scheduler.RunMinute(kStart + 60);
    EXPECT_EQ(requestCount(e, ARK_REQ_SMART_CHECK_ALL), 1);
    EXPECT_TRUE(taskRequests(e).empty());
}

// A clock that gives a fixed series of reads and ends the loop after the last.
class SteppingClock : public EventClock {
public:
    explicit SteppingClock(std::vector<int64_t> reads) : m_reads(std::move(reads)) {}
    int64_t Now() override { return m_reads[std::min(m_next++, m_reads.size() - 1)]; }
    bool WaitUntil(StopSignal&, int64_t) override { return m_next >= m_reads.size(); }

private:
    std::vector<int64_t> m_reads;
    size_t m_next = 0;
};

TEST_F(SchedulerTest, ClockSetBackNeverRunsAMinuteTwice) {
    domains.Add(taskState());
    const int64_t m1 = kStart + 30;  // the first whole minute after the start
    const int64_t longAgo = m1 - 2 * 86400;
    SetTasks("[" + taskJson(1, 0x77, m1) + "," + taskJson(1, 0x77, m1 + 60) + "," +
             taskJson(1, 0x77, longAgo + 60) + "]");
    struct Case {
        const char* name;
        std::vector<int64_t> reads;  // the start, then one read after each wait
        size_t events;
    } cases[] = {
        {"in order", {kStart, m1, m1 + 60}, 2},
        {"set back a little: m1 is not run again", {kStart, m1, m1 - 20, m1 + 1, m1 + 65}, 2},
        {"set back two days: go on from there", {kStart, m1, longAgo + 10, longAgo + 60}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(log.Clear());
        SteppingClock clock(c.reads);
        Scheduler scheduler(log, config, interval, kStart);
        runScheduler(scheduler, clock, stop);
        EXPECT_EQ(EventsWithCode(112).size(), c.events);
    }
}

}  // namespace
