#include "socket_queue.h"

#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

TEST(SocketQueue, HoldsFifteenAndRefusesTheSixteenth) {
    SocketQueue q;
    for (int s = 100; s < 115; ++s) ASSERT_EQ(q.Push(s), 0) << s;
    EXPECT_EQ(q.Push(115), SocketQueue::kFull);
    EXPECT_EQ(q.Pop().socket, 100);
    EXPECT_EQ(q.Push(115), 0) << "a freed slot takes the waiting socket";
    for (int s = 101; s <= 115; ++s) EXPECT_EQ(q.Pop().socket, s) << "first in, first out";
}

TEST(SocketQueue, WrapsAroundManyTimes) {
    SocketQueue q;
    for (int round = 0; round < 100; ++round) {
        ASSERT_EQ(q.Push(round), 0);
        ASSERT_EQ(q.Push(-round), 0);
        ASSERT_EQ(q.Pop().socket, round);
        ASSERT_EQ(q.Pop().socket, -round);
    }
}

TEST(SocketQueue, ConsumersEachTakeEverySocketOnce) {
    SocketQueue q;
    constexpr int kConsumers = 4;
    constexpr int kSockets = 2000;
    std::vector<long> sums(kConsumers, 0);
    std::vector<std::thread> consumers;
    consumers.reserve(kConsumers);
    for (int c = 0; c < kConsumers; ++c) {
        consumers.emplace_back([&, c] {
            for (;;) {
                int s = q.Pop().socket;
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

TEST(SocketQueue, ARingThatWasFullSignalsItsSpaceOnce) {
    SocketQueue q;
    int fd = eventfd(0, EFD_NONBLOCK);
    ASSERT_GE(fd, 0);
    q.SetSpaceSignal(fd);
    eventfd_t count = 0;
    for (int s = 0; s < 15; ++s) ASSERT_EQ(q.Push(s), 0);
    EXPECT_EQ(q.Pop().socket, 0);
    EXPECT_NE(eventfd_read(fd, &count), 0) << "the ring was never full";
    ASSERT_EQ(q.Push(15), 0);
    ASSERT_EQ(q.Push(16), SocketQueue::kFull);
    EXPECT_NE(eventfd_read(fd, &count), 0) << "no room yet";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    ASSERT_EQ(q.Push({17, deadline, 42}), SocketQueue::kFull);
    QueuedConnection first = q.Pop();
    EXPECT_EQ(first.socket, 1);
    ASSERT_EQ(eventfd_read(fd, &count), 0) << "room after a full ring";
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(q.Pop().socket, 2);
    EXPECT_NE(eventfd_read(fd, &count), 0) << "signalled once per full spell";
    ASSERT_EQ(q.Push({17, deadline, 42}), 0);
    for (int s = 3; s <= 15; ++s) ASSERT_EQ(q.Pop().socket, s);
    QueuedConnection last = q.Pop();
    EXPECT_EQ(last.socket, 17);
    EXPECT_EQ(last.deadline, deadline);
    EXPECT_EQ(last.requestBytes, 42u);
    close(fd);
}

}  // namespace
