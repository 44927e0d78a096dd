#include "log.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const kHeader =
    R"(<(\d+)>(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) (\d\d) (\d\d):(\d\d):(\d\d) )"
    R"(localhost brsraidsvc\[@(\d{4})\]: )";

std::vector<std::string> readLines(const fs::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class LogTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "logtest.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        path = dir / "service.log";
    }
    void TearDown() override {
        logClose();
        g_logLevel = 6;
        std::setlocale(LC_ALL, "C");
        fs::remove_all(dir);
    }
    fs::path dir, path;
};

TEST_F(LogTest, HeaderIsSyslogShapedWithEnglishMonthUnderAnyLocale) {
    // A German locale names December "Dez"; the header must not follow it.
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    ASSERT_EQ(logOpen(path.c_str(), nullptr, 0), 0);

    time_t before = time(nullptr);
    logPrint(3, "disk %d failed: %s", 4, "timeout");
    time_t after = time(nullptr);
    logClose();

    auto lines = readLines(path);
    ASSERT_EQ(lines.size(), 1u);
    std::smatch m;
    ASSERT_TRUE(
        std::regex_match(lines[0], m, std::regex(std::string(kHeader) + "disk 4 failed: timeout")))
        << lines[0];
    EXPECT_EQ(m[1], "11");  // level 3 + facility user

    // The stamp is local time, taken between the two readings.
    bool matched = false;
    for (time_t t : {before, after}) {
        tm local{};
        localtime_r(&t, &local);
        static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        if (m[2] == months[local.tm_mon] && std::stoi(m[3]) == local.tm_mday &&
            std::stoi(m[4]) == local.tm_hour && std::stoi(m[5]) == local.tm_min &&
            std::stoi(m[6]) == local.tm_sec && std::stoi(m[7]) == local.tm_year + 1900)
            matched = true;
    }
    EXPECT_TRUE(matched) << lines[0];
}

TEST_F(LogTest, LevelFilter) {
    struct Case {
        int current;
        int level;
        bool written;
    };
    const Case cases[] = {
        {6, 3, true},  {6, 4, true}, {6, 6, true}, {6, 7, false},  // default level
        {7, 7, true},  {7, 6, true},                               // "-debug"
        {3, 4, false}, {3, 3, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "g_logLevel " << c.current << ", level " << c.level);
        fs::remove(path);
        ASSERT_EQ(logOpen(path.c_str(), nullptr, 0), 0);
        g_logLevel = c.current;
        logPrint(c.level, "message");
        logClose();
        auto lines = readLines(path);
        ASSERT_EQ(lines.size(), c.written ? 1u : 0u);
        if (c.written) {
            EXPECT_EQ(lines[0].substr(0, lines[0].find('>') + 1),
                      "<" + std::to_string(c.level + 8) + ">");
        }
    }
}

TEST_F(LogTest, LongMessageIsCutAt1023Characters) {
    ASSERT_EQ(logOpen(path.c_str(), nullptr, 0), 0);
    std::string longText(2000, 'x');
    logPrint(6, "%s", longText.c_str());
    logPrint(6, "next");
    logClose();

    auto lines = readLines(path);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), 1023u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(std::string(kHeader) + "x+")));
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(std::string(kHeader) + "next")));
}

TEST_F(LogTest, AppendsToAnExistingFile) {
    { std::ofstream(path) << "earlier line\n"; }
    ASSERT_EQ(logOpen(path.c_str(), nullptr, 0), 0);
    logPrint(6, "later");
    logClose();
    auto lines = readLines(path);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "earlier line");
}

TEST_F(LogTest, ConcurrentLinesStayWhole) {
    ASSERT_EQ(logOpen(path.c_str(), nullptr, 0), 0);
    constexpr int kThreads = 8, kLines = 1000;
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            std::string pad(50 + t * 30, 'a' + t);
            for (int n = 0; n < kLines; ++n) logPrint(6, "t%d n%d %s", t, n, pad.c_str());
        });
    }
    for (auto& th : threads) th.join();
    logClose();

    auto lines = readLines(path);
    ASSERT_EQ(lines.size(), size_t(kThreads * kLines));
    std::regex shape(std::string(kHeader) + R"(t(\d) n(\d+) ([a-h]+))");
    std::set<std::pair<int, int>> seen;
    for (const auto& line : lines) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, shape)) << line;
        int t = std::stoi(m[8]);
        ASSERT_EQ(m[10].str(), std::string(50 + t * 30, 'a' + t)) << line;
        EXPECT_TRUE(seen.emplace(t, std::stoi(m[9])).second) << line;
    }
    EXPECT_EQ(seen.size(), size_t(kThreads * kLines));
}

TEST_F(LogTest, DashWritesToStandardOutputAndCloseLeavesItOpen) {
    testing::internal::CaptureStdout();
    ASSERT_EQ(logOpen("-", nullptr, 0), 0);
    logPrint(6, "to stdout");
    logClose();
    int printed = printf("after close\n");
    int flushed = fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();

    EXPECT_GT(printed, 0);
    EXPECT_EQ(flushed, 0);
    EXPECT_TRUE(
        std::regex_match(out, std::regex(std::string(kHeader) + "to stdout\nafter close\n")))
        << out;
}

TEST_F(LogTest, FailedOpenLeavesLaterWritesHarmless) {
    EXPECT_EQ(logOpen((dir / "missing" / "x.log").c_str(), nullptr, 0), 22);
    logPrint(3, "nowhere to go");
    logClose();
    EXPECT_EQ(logOpen(nullptr, nullptr, 0), 22);  // neither file nor socket
    logPrint(3, "still nowhere");

    // The sink works again once opened properly.
    ASSERT_EQ(logOpen(path.c_str(), nullptr, 0), 0);
    logPrint(6, "back");
    logClose();
    EXPECT_EQ(readLines(path).size(), 1u);
}

TEST_F(LogTest, UdpTargetGetsOneDatagramPerLine) {
    int rx = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(rx, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(rx, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    ASSERT_EQ(getsockname(rx, reinterpret_cast<sockaddr*>(&addr), &len), 0);

    ASSERT_EQ(logOpen(path.c_str(), "127.0.0.1", ntohs(addr.sin_port)), 0);
    logPrint(4, "over the wire %d", 7);
    logPrint(7, "dropped by level");

    pollfd p{rx, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 10000), 1);
    char buf[2048];
    ssize_t n = recv(rx, buf, sizeof buf, 0);
    ASSERT_GT(n, 0);
    std::string datagram(buf, size_t(n));
    EXPECT_TRUE(std::regex_match(datagram, std::regex(std::string(kHeader) + "over the wire 7")))
        << datagram;                                         // no newline in the datagram
    EXPECT_EQ(recv(rx, buf, sizeof buf, MSG_DONTWAIT), -1);  // the level-7 line was not sent

    logClose();
    close(rx);
    EXPECT_EQ(readLines(path).size(), 1u);  // the file got the same line
}

TEST_F(LogTest, UdpOnlySinkAndBadAddress) {
    EXPECT_EQ(logOpen(nullptr, "not an address", 514), 22);
    logPrint(3, "harmless");
    EXPECT_EQ(logOpen(nullptr, "127.0.0.1", 9), 0);  // a socket alone is a sink
    logPrint(3, "harmless too");
}

}  // namespace
