#include "session_table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

// A clock the test moves by hand.
struct ManualClock {
    std::atomic<uint64_t> now{1000000};
    SessionClock fn() {
        return [this] { return now.load(); };
    }
};

TEST(SessionTable, IdsAreThirtyTwoLowerCaseHexDigitsAndDistinct) {
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        std::string id = newUuidHex();
        ASSERT_EQ(id.size(), 32u) << id;
        EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos) << id;
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 100u);
}

TEST(SessionTable, ValidForExactlyTheTimeOutAfterLastUse) {
    ManualClock clock;
    SessionTable table(clock.fn());
    std::string sid = table.Create();

    clock.now += 1200 * 1000;
    EXPECT_TRUE(table.Check(sid)) << "exactly 1200 s idle is still valid";

    // The check refreshed it: another full time-out from now is valid too.
    clock.now += 1200 * 1000;
    EXPECT_TRUE(table.Check(sid));

    clock.now += 1200 * 1000 + 1;
    EXPECT_FALSE(table.Check(sid)) << "1 ms past the time-out";
    EXPECT_EQ(table.Count(), 0u) << "the expired session is erased";
    clock.now = clock.now - 5000;  // even if time seemed to be back in range
    EXPECT_FALSE(table.Check(sid));
}

TEST(SessionTable, EleventhLoginEvictsTheLeastRecentlyUsed) {
    ManualClock clock;
    SessionTable table(clock.fn());
    std::vector<std::string> ids;
    for (int i = 0; i < 10; ++i) {
        ids.push_back(table.Create());
        clock.now += 10;
    }
    // Using the oldest makes the second-oldest the least recently used.
    ASSERT_TRUE(table.Check(ids[0]));
    clock.now += 10;
    std::string newest = table.Create();
    EXPECT_EQ(table.Count(), 10u);
    EXPECT_TRUE(table.Check(newest));
    EXPECT_FALSE(table.Check(ids[1])) << "the least recently used went";
    for (int i : {0, 2, 3, 9}) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(table.Check(ids[static_cast<size_t>(i)]));
    }
}

TEST(SessionTable, TieOnLastUseEvictsTheFirstInKeyOrder) {
    ManualClock clock;
    SessionTable table(clock.fn());
    std::vector<std::string> ids;
    ids.reserve(10);
    for (int i = 0; i < 10; ++i) ids.push_back(table.Create());  // all at the same time
    std::string first = *std::min_element(ids.begin(), ids.end());
    table.Create();
    EXPECT_FALSE(table.Check(first));
    EXPECT_EQ(table.Count(), 10u);
}

TEST(SessionTable, RemoveReportsWhetherTheSessionExisted) {
    SessionTable table;
    std::string sid = table.Create();
    EXPECT_TRUE(table.Remove(sid));
    EXPECT_FALSE(table.Remove(sid));
    EXPECT_FALSE(table.Check(sid));
    EXPECT_FALSE(table.Check(""));
}

TEST(SessionTable, ConcurrentLoginsNeverExceedTheLimit) {
    SessionTable table;
    std::vector<std::thread> threads;
    threads.reserve(8);
    std::atomic<int> valid{0};
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                std::string sid = table.Create();
                if (table.Check(sid)) ++valid;
                EXPECT_LE(table.Count(), SessionTable::kMaxSessions);
                if (i % 3 == 0) table.Remove(sid);
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_LE(table.Count(), SessionTable::kMaxSessions);
    EXPECT_GT(valid.load(), 0);
}

}  // namespace
