#include "poller.h"

#include <gtest/gtest.h>

#include <thread>

#include "emulated_domains.h"
#include "event_test_env.h"
#include "fake_clock.h"

namespace {

emu::Event event(uint8_t code, uint32_t devid) {
    emu::Event e;
    e.code = code;
    e.devid = devid;
    return e;
}

// Domain 0: a disk in an enclosure and a RAID10 whose second half is an array member.
emu::State firstDomain() {
    emu::State s;
    s.disks[0x100] = emuDisk(0x100, "MODEL", "SERIAL", {.controller = 0, .port = 1, .target = 2},
                             ARK_DISK_ENCLOSURE);
    for (uint32_t id = 0x101; id <= 0x104; ++id)
        s.disks[id] = emuDisk(id, "D", "x", {.controller = 0, .port = 3, .target = 0});
    emu::Array top = emuArray(0x200, "Stripe", {0x201, 0x202}, 7, ARK_RAID0);
    emu::Array left = emuArray(0x201, "name", {0x101, 0x102});
    emu::Array right = emuArray(0x202, "name", {0x103, 0x104});
    left.parent = right.parent = 0x200;
    s.arrays = {{0x200, top}, {0x201, left}, {0x202, right}};
    s.events = {event(1, 0x100), event(8, 0x202), event(26, 0x999), event(23, 0x100)};
    return s;
}

emu::State secondDomain() {
    emu::State s;
    s.disks[0x300] = emuDisk(0x300, "OTHER", "S9", {.controller = 1, .port = 4, .target = 0},
                             ARK_DISK_TARGET_LEVEL);
    s.events = {event(28, 0x300), event(12, 0x300)};
    return s;
}

struct Expected {
    int type;
    int code;
    const char* devname;
};

void expectEvents(const std::vector<EventLogEntry>& got, const std::vector<Expected>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "event " << i);
        EXPECT_EQ(got[i].type, want[i].type);
        EXPECT_EQ(got[i].code, want[i].code);
        EXPECT_EQ(got[i].devname, want[i].devname);
        EXPECT_EQ(got[i].data, "");
    }
}

const std::vector<Expected> kAllEvents = {
    {2, 1, "[1/E2/3] MODEL_SERIAL"},  {3, 8, "name [2]"},          {1, 26, "(unknown)"},
    {1, 23, "[1/E2/3] MODEL_SERIAL"}, {2, 28, "[2/5/1] OTHER_S9"}, {1, 12, "[2/5/1] OTHER_S9"},
};

class PollerTest : public EventTestEnv {
protected:
    void SetUp() override {
        EventTestEnv::SetUp();
        first = &domains.Add(firstDomain());
        second = &domains.Add(secondDomain());
    }

    EmulatedDomains domains;
    emu::Emulator* first = nullptr;
    emu::Emulator* second = nullptr;
    StopSignal stop;
};

TEST_F(PollerTest, OneRoundDrainsEveryDomainInOrder) {
    EXPECT_TRUE(pollEventsOnce(log, 2, stop));
    expectEvents(Events(), kAllEvents);
    EXPECT_TRUE(first->Snapshot().events.empty());
    EXPECT_TRUE(second->Snapshot().events.empty());

    // Nothing queued: the next round adds nothing.
    EXPECT_TRUE(pollEventsOnce(log, 2, stop));
    EXPECT_EQ(log.Count(), 6);
}

TEST_F(PollerTest, OnlyTheCountedDomainsArePolled) {
    EXPECT_TRUE(pollEventsOnce(log, 1, stop));
    EXPECT_EQ(log.Count(), 4);
    EXPECT_EQ(second->Snapshot().events.size(), 2u);
}

TEST_F(PollerTest, StopEndsTheRoundAfterTheEventBeingAdded) {
    stop.Request();
    EXPECT_FALSE(pollEventsOnce(log, 2, stop));
    expectEvents(Events(), {kAllEvents[0]});
    EXPECT_EQ(first->Snapshot().events.size(), 3u);
}

TEST_F(PollerTest, FailingEventRequestReadsAsAnEmptyQueue) {
    first->InjectFault({ARK_REQ_GET_EVENT, emu::Fault::Kind::Fail, 0, 1, 0});
    EXPECT_TRUE(pollEventsOnce(log, 2, stop));
    expectEvents(Events(), {kAllEvents[4], kAllEvents[5]});
    EXPECT_EQ(first->Snapshot().events.size(), 4u);
}

TEST_F(PollerTest, DeviceThatCannotBeReadIsUnknown) {
    // The event request succeeds; the device read for its name fails.
    first->InjectFault({ARK_REQ_GET_VD_INFO, emu::Fault::Kind::Fail, 0, 1, 0});
    EXPECT_TRUE(pollEventsOnce(log, 1, stop));
    ASSERT_EQ(Events().size(), 4u);
    EXPECT_EQ(Events()[0].devname, "(unknown)");
    EXPECT_EQ(Events()[1].devname, "name [2]");
}

TEST_F(PollerTest, ThreadPollsEveryTwoSecondsUntilStopped) {
    FakeClock clock(1000, 1000 + 60);
    std::thread poller([&] { runPoller(log, clock, stop); });
    clock.WaitParked();
    // Events queued later are not seen until the next round; none comes before the stop.
    first->Modify([](emu::State& s) { s.events.push_back(event(4, 0x201)); });
    stop.Request();
    poller.join();
    expectEvents(Events(), kAllEvents);
    EXPECT_EQ(clock.Waits(), 30);  // rounds at 1002, 1004, ... 1060
    EXPECT_EQ(first->Snapshot().events.size(), 1u);
}

}  // namespace
