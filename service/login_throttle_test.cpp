#include "login_throttle.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "session_table.h"

namespace {

class Throttle : public testing::Test {
protected:
    uint64_t now = 1'000'000;
    LoginThrottle throttle{[this] { return now; }};

    void fail(const std::string& address, int times) {
        for (int i = 0; i < times; ++i) throttle.Failed(address);
    }
    // How long the address stays locked from now, found by stepping the clock in milliseconds.
    uint64_t lockLeft(const std::string& address) {
        const uint64_t start = now;
        while (throttle.Locked(address)) ++now;
        const uint64_t left = now - start;
        now = start;
        return left;
    }
};

TEST_F(Throttle, LocksAfterFiveFailuresAndDoublesToTheLongestDelay) {
    for (int i = 0; i < 4; ++i) {
        throttle.Failed("192.0.2.7");
        EXPECT_FALSE(throttle.Locked("192.0.2.7")) << "failure " << i + 1;
    }
    // Each row: the failure count reached, then the lock it sets, starting at the clock's now.
    const std::vector<std::pair<int, uint64_t>> rows = {
        {5, 1000},   {6, 2000},    {7, 4000},    {8, 8000},    {9, 16000},   {10, 32000},
        {11, 64000}, {12, 128000}, {13, 256000}, {14, 300000}, {15, 300000}, {40, 300000},
    };
    int failures = 4;
    for (const auto& [count, delay] : rows) {
        SCOPED_TRACE(count);
        fail("192.0.2.7", count - failures);
        failures = count;
        EXPECT_EQ(lockLeft("192.0.2.7"), delay);
        now += delay;  // the lock has passed: the next one is checked again
        EXPECT_FALSE(throttle.Locked("192.0.2.7"));
    }
}

TEST_F(Throttle, RefusalsNeitherLengthenTheLockNorCountAsFailures) {
    fail("192.0.2.7", 5);
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(throttle.Locked("192.0.2.7"));
        throttle.Refused("192.0.2.7");
        now += 10;
    }
    EXPECT_EQ(lockLeft("192.0.2.7"), 500u);
    now += 500;
    throttle.Failed("192.0.2.7");
    EXPECT_EQ(lockLeft("192.0.2.7"), 2000u) << "the sixth failure, not the 56th";
}

TEST_F(Throttle, SuccessResetsOnlyItsOwnAddress) {
    fail("192.0.2.7", 5);
    fail("2001:db8::1", 5);
    EXPECT_FALSE(throttle.Locked("192.0.2.8"));
    EXPECT_FALSE(throttle.Locked("192.0.2.70"));
    now += 1000;
    throttle.Succeeded("192.0.2.7");
    fail("192.0.2.7", 4);
    EXPECT_FALSE(throttle.Locked("192.0.2.7")) << "counting starts afresh";
    throttle.Failed("192.0.2.7");
    EXPECT_EQ(lockLeft("192.0.2.7"), 1000u);
    throttle.Failed("2001:db8::1");
    EXPECT_EQ(lockLeft("2001:db8::1"), 2000u) << "the other address kept its count";
}

TEST_F(Throttle, OnlyOneCheckAtATimeOnceAFailureCanLock) {
    fail("192.0.2.7", 3);
    EXPECT_TRUE(throttle.Admit("192.0.2.7"));
    EXPECT_TRUE(throttle.Admit("192.0.2.7")) << "two free failures left: side by side is fine";
    throttle.Failed("192.0.2.7");
    EXPECT_TRUE(throttle.Admit("192.0.2.7"));
    EXPECT_FALSE(throttle.Admit("192.0.2.7")) << "the check that may lock is still running";
    EXPECT_FALSE(throttle.Locked("192.0.2.7"));
    throttle.Failed("192.0.2.7");
    EXPECT_FALSE(throttle.Admit("192.0.2.7")) << "locked";
    now += 1000;
    EXPECT_TRUE(throttle.Admit("192.0.2.7"));
    EXPECT_FALSE(throttle.Admit("192.0.2.7"));
    throttle.Succeeded("192.0.2.7");
    EXPECT_TRUE(throttle.Admit("192.0.2.7"));
    EXPECT_TRUE(throttle.Admit("192.0.2.7")) << "a good login starts afresh";
    EXPECT_TRUE(throttle.Admit("192.0.2.8")) << "an address never seen";
}

TEST_F(Throttle, TableIsBoundedAndDropsTheLeastRecentlyUsed) {
    LoginThrottle small([this] { return now; }, 3);
    for (const char* a : {"10.0.0.1", "10.0.0.2", "10.0.0.3"}) {
        for (int i = 0; i < 5; ++i) small.Failed(a);
    }
    small.Refused("10.0.0.1");  // used again: now the newest
    small.Failed("10.0.0.4");
    EXPECT_EQ(small.Count(), 3u);
    EXPECT_TRUE(small.Locked("10.0.0.1"));
    EXPECT_FALSE(small.Locked("10.0.0.2")) << "the oldest was dropped";
    EXPECT_TRUE(small.Locked("10.0.0.3"));

    for (int i = 0; i < 10000; ++i) throttle.Failed("10.1." + std::to_string(i));
    EXPECT_EQ(throttle.Count(), LoginThrottle::kCapacity);
    EXPECT_FALSE(throttle.Locked("10.1.0"));
    EXPECT_EQ(throttle.Succeeded("10.1.0"), 0u);
}

TEST_F(Throttle, ReportsAtMostOncePerSecondPerAddressWithTheFoldedCount) {
    struct Step {
        uint64_t advance;
        const char* address;
        bool refused;
        bool due;
        uint32_t folded;
    };
    const Step steps[] = {
        {0, "192.0.2.7", false, true, 0},     // the first is logged at once
        {100, "192.0.2.7", false, false, 0},  // folded
        {100, "192.0.2.8", false, true, 0},   // another address has its own pace
        {100, "192.0.2.7", false, false, 0},  // folded
        {100, "192.0.2.7", false, false, 0},  // folded
        {100, "192.0.2.7", true, false, 0},   // a refusal is folded the same way
        {500, "192.0.2.7", true, true, 4},    // a second after the last line
        {999, "192.0.2.7", true, false, 0},  {1, "192.0.2.7", true, true, 1},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        const Step& s = steps[i];
        SCOPED_TRACE(i);
        now += s.advance;
        LoginThrottle::Report r =
            s.refused ? throttle.Refused(s.address) : throttle.Failed(s.address);
        EXPECT_EQ(r.due, s.due);
        if (s.due) {
            EXPECT_EQ(r.folded, s.folded);
        }
    }
    now += 10;
    throttle.Refused("192.0.2.7");
    EXPECT_EQ(throttle.Succeeded("192.0.2.7"), 1u) << "the refusal never logged";
}

TEST_F(Throttle, ShorterFirstDelayScalesTheLongest) {
    throttle.SetFirstDelay(10);
    fail("192.0.2.7", 5);
    EXPECT_EQ(lockLeft("192.0.2.7"), 10u);
    now += 10;
    fail("192.0.2.7", 30);
    EXPECT_EQ(lockLeft("192.0.2.7"), 3000u);
}

TEST(SessionTableThrottle, SharesTheSessionClock) {
    uint64_t now = 5000;
    SessionTable sessions([&] { return now; });
    for (int i = 0; i < 5; ++i) sessions.Throttle().Failed("192.0.2.7");
    EXPECT_TRUE(sessions.Throttle().Locked("192.0.2.7"));
    now += LoginThrottle::kFirstDelayMs;
    EXPECT_FALSE(sessions.Throttle().Locked("192.0.2.7"));
}

}  // namespace
