#include "tcg_log.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class LevelGuard {
public:
    explicit LevelGuard(int level) : saved_(g_tcgLogLevel) { g_tcgLogLevel = level; }
    ~LevelGuard() { g_tcgLogLevel = saved_; }

private:
    int saved_;
};

std::string linesAt(int reportingLevel) {
    LevelGuard guard(reportingLevel);
    testing::internal::CaptureStdout();
    for (int level = TCG_ERR; level <= TCG_DBG4; ++level)
        TCGLOG(level) << "line " << level << " of " << 7u;
    return testing::internal::GetCapturedStdout();
}

TEST(TcgLog, LinesUpToTheReportingLevelAppearWithTheirLabels) {
    struct Case {
        int level;
        std::string expected;
    };
    const Case cases[] = {
        {-1, ""},
        {0, "ERR : line 0 of 7\n"},
        {2, "ERR : line 0 of 7\nWARN: line 1 of 7\nINFO: line 2 of 7\n"},
        {4,
         "ERR : line 0 of 7\nWARN: line 1 of 7\nINFO: line 2 of 7\nDBG : line 3 of 7\n"
         "DBG1: line 4 of 7\n"},
        {7,
         "ERR : line 0 of 7\nWARN: line 1 of 7\nINFO: line 2 of 7\nDBG : line 3 of 7\n"
         "DBG1: line 4 of 7\nDBG2: line 5 of 7\nDBG3: line 6 of 7\nDBG4: line 7 of 7\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        EXPECT_EQ(linesAt(c.level), c.expected);
    }
}

TEST(TcgLog, ItemsBelowTheLevelAreNotEvaluated) {
    LevelGuard guard(TCG_INFO);
    int evaluated = 0;
    auto item = [&] {
        ++evaluated;
        return "x";
    };
    testing::internal::CaptureStdout();
    TCGLOG(TCG_DBG1) << item();
    TCGLOG(TCG_INFO) << item();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "INFO: x\n");
    EXPECT_EQ(evaluated, 1);
}

TEST(TcgLog, ItemsKeepTheirOwnSpacingAndFormats) {
    LevelGuard guard(TCG_INFO);
    testing::internal::CaptureStdout();
    TCGLOG(TCG_ERR) << "Session start failed rc = " << -3 << " " << 4294967295u << " "
                    << (unsigned long long)(1ull << 40) << " " << true;
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ERR : Session start failed rc = -3 4294967295 1099511627776 1\n");
}

}  // namespace
