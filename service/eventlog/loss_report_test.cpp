#include "loss_report.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(LossReport, FirstAtOnceThenOncePerMinuteWithTheCountSinceTheLastLine) {
    int64_t now = 500;
    LossReport report([&] { return now; });
    struct Step {
        int64_t advance;
        uint64_t reported;
    };
    const Step steps[] = {
        {0, 1},             // the first loss is reported at once
        {1, 0},             // folded
        {30, 0},            // folded
        {28, 0},            // 59 s after the line: still folded
        {1, 4},             // a minute: these three and this one
        {0, 0},  {120, 2},  // long after: the one folded and this one
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        now += steps[i].advance;
        EXPECT_EQ(report.Lost(), steps[i].reported);
    }
    EXPECT_EQ(report.TakePending(), 0u);
    now += 1;
    EXPECT_EQ(report.Lost(), 0u);
    EXPECT_EQ(report.Lost(), 0u);
    EXPECT_EQ(report.TakePending(), 2u) << "what was never reported";
    EXPECT_EQ(report.TakePending(), 0u);
}

}  // namespace
