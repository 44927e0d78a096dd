#include "socket_queue.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

TEST(SocketQueue, HoldsFifteenAndRefusesTheSixteenth) {
    SocketQueue q;
    for (int s = 100; s < 115; ++s) ASSERT_EQ(q.Push(s), 0) << s;
    EXPECT_EQ(q.Push(115), SocketQueue::kFull);
    EXPECT_EQ(q.Pop(), 100);
    EXPECT_EQ(q.Push(115), 0) << "a freed slot takes the waiting socket";
    for (int s = 101; s <= 115; ++s) EXPECT_EQ(q.Pop(), s) << "first in, first out";
}

TEST(SocketQueue, WrapsAroundManyTimes) {
    SocketQueue q;
    for (int round = 0; round < 100; ++round) {
        ASSERT_EQ(q.Push(round), 0);
        ASSERT_EQ(q.Push(-round), 0);
        ASSERT_EQ(q.Pop(), round);
        ASSERT_EQ(q.Pop(), -round);
    }
}

TEST(SocketQueue, ConsumersEachTakeEverySocketOnce) {
    SocketQueue q;
    constexpr int kConsumers = 4;
    constexpr int kSockets = 2000;
    std::vector<long> sums(kConsumers, 0);
    std::vector<std::thread> consumers;
    for (int c = 0; c < kConsumers; ++c) {
        consumers.emplace_back([&, c] {
            for (;;) {
                int s = q.Pop();
                if (s == -1) return;
                sums[static_cast<size_t>(c)] += s;
            }
        });
    }
    for (int s = 1; s <= kSockets; ++s) {
        while (q.Push(s) == SocketQueue::kFull) std::this_thread::yield();
    }
    for (int c = 0; c < kConsumers; ++c) {
        while (q.Push(-1) == SocketQueue::kFull) std::this_thread::yield();
    }
    for (auto& t : consumers) t.join();
    long total = 0;
    for (long s : sums) total += s;
    EXPECT_EQ(total, long{kSockets} * (kSockets + 1) / 2);
}

}  // namespace
