// Clients that try to hold the service's workers: bodies that never finish, readers that never
// read, heads by the thousand, and heads that could be read two ways. Another client is answered
// within a second throughout (a generous availability bound, not a benchmark).

#include <arpa/inet.h>
#include <errno.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "service_fixture.h"

namespace svctest {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const char kInfo[] = R"({"jsonrpc":"2.0","id":9,"method":"GetServerInfo"})";
const char kUnfinished[] = "POST / HTTP/1.1\r\nHost: x\r\nContent-Length: 1000\r\n\r\n{";
const char kScript[] = "GET /js/arkgui.js HTTP/1.1\r\nHost: x\r\n\r\n";

int openWith(int port, const std::string& bytes, int receiveBuffer = 0) {
    int fd = connectLoopback(port, receiveBuffer);
    if (fd >= 0) send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    return fd;
}

// Seconds until GetServerInfo was answered with its result; 99 when it was not.
double probe(int port) {
    const auto start = Clock::now();
    HttpReply r = httpPost(port, "/", kInfo);
    if (r.status != 200 || r.body.find("\"result\"") == std::string::npos) return 99;
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Probes every `every` for `time` while the attack runs; the slowest answer.
double worstProbe(int port, Clock::duration time, Clock::duration every = 500ms) {
    double worst = 0;
    const auto until = Clock::now() + time;
    while (Clock::now() < until) {
        worst = std::max(worst, probe(port));
        std::this_thread::sleep_for(every);
    }
    return worst;
}

// Clients that read a byte of their reply every `pause`, until stopped.
class SlowReaders {
public:
    SlowReaders(int port, int count, Clock::duration pause) {
        m_fds.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) m_fds.push_back(openWith(port, kScript, 1024));
        m_thread = std::thread([this, pause] {
            while (!m_stop) {
                {
                    std::lock_guard<std::mutex> guard(m_lock);
                    for (int fd : m_fds) {
                        char c;
                        recv(fd, &c, 1, MSG_DONTWAIT);
                    }
                }
                for (auto slept = 0ms; slept < pause && !m_stop; slept += 50ms)
                    std::this_thread::sleep_for(50ms);
            }
        });
    }
    ~SlowReaders() {
        m_stop = true;
        m_thread.join();
        for (int fd : m_fds) close(fd);
    }
    SlowReaders(const SlowReaders&) = delete;
    SlowReaders& operator=(const SlowReaders&) = delete;
    void add(int fd) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_fds.push_back(fd);
    }

private:
    std::mutex m_lock;
    std::vector<int> m_fds;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

TEST(IntakeAttack, UnfinishedBodiesHoldNoWorker) {
    ConsoleService service;
    ASSERT_TRUE(service.ready) << service.log();
    std::vector<int> held;
    held.reserve(12);
    for (int i = 0; i < 12; ++i) held.push_back(openWith(service.port, kUnfinished));
    // Across the 10 s deadline of the first ones.
    double worst = worstProbe(service.port, 12s);
    std::printf("unfinished bodies: slowest GetServerInfo %.3f s\n", worst);
    EXPECT_LT(worst, 1.0);
    for (int fd : held) close(fd);
    EXPECT_TRUE(service.stop()) << service.process->err();
}

TEST(IntakeAttack, SlowReadersHoldNoWorker) {
    ConsoleService service;
    ASSERT_TRUE(service.ready) << service.log();
    SlowReaders readers(service.port, 12, 3s);
    double worst = worstProbe(service.port, 12s);
    std::printf("slow readers: slowest GetServerInfo %.3f s\n", worst);
    EXPECT_LT(worst, 1.0);
    EXPECT_TRUE(service.stop()) << service.process->err();
}

TEST(IntakeAttack, ASteadyTrickleOfBothHoldsNoWorker) {
    ConsoleService service;
    ASSERT_TRUE(service.ready) << service.log();
    SlowReaders readers(service.port, 0, 3s);
    std::vector<int> held;
    held.reserve(20);
    double worst = 0;
    // Two new ones a second for 20 s, a probe between them.
    for (int second = 0; second < 20; ++second) {
        held.push_back(openWith(service.port, kUnfinished));
        readers.add(openWith(service.port, kScript, 1024));
        worst = std::max(worst, probe(service.port));
        std::this_thread::sleep_for(900ms);
    }
    std::printf("trickle: slowest GetServerInfo %.3f s\n", worst);
    EXPECT_LT(worst, 1.0);
    for (int fd : held) close(fd);
    EXPECT_TRUE(service.stop()) << service.process->err();
}

TEST(IntakeAttack, ThousandsOfHeadsWithoutBodies) {
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_max < 4000) GTEST_SKIP() << "too few descriptors for the test";
    // The service inherits the limit, as it gets it from its unit.
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    ConsoleService service;
    ASSERT_TRUE(service.ready) << service.log();
    std::vector<int> held;
    held.reserve(3000);
    for (int i = 0; i < 3000; ++i) {
        int fd = openWith(service.port, kUnfinished);
        ASSERT_GE(fd, 0) << i;
        held.push_back(fd);
    }
    double worst = worstProbe(service.port, 3s);
    std::printf("3000 heads: slowest GetServerInfo %.3f s\n", worst);
    EXPECT_LT(worst, 1.0);
    for (int fd : held) close(fd);
    EXPECT_TRUE(service.stop()) << service.process->err();
}

// Reads the reply until the server closes, giving up after `limit`; "" when none came.
std::string replyWithin(int fd, Clock::duration limit) {
    timeval wait{0, 100 * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    std::string got;
    char buffer[4096];
    const auto until = Clock::now() + limit;
    while (Clock::now() < until) {
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n > 0) got.append(buffer, static_cast<size_t>(n));
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) break;
    }
    return got;
}

TEST(IntakeAttack, HeadsThatCouldBeReadTwoWaysAreRefusedAtOnceAndNotRun) {
    ConsoleService service;
    ASSERT_TRUE(service.ready) << service.log();
    const std::string cookie = loginCookie(service.port);
    ASSERT_FALSE(cookie.empty());
    // Each would change the password if it ran.
    const std::string body =
        R"({"jsonrpc":"2.0","id":1,"method":"SetPassword","params":{"old":"","new":"changed"}})";
    const std::string n = std::to_string(body.size());
    const std::string start = "POST / HTTP/1.1\r\nHost: x\r\nCookie: " + cookie + "\r\n";
    struct Case {
        const char* name;
        std::string request;
        int status;
    };
    const Case cases[] = {
        {"two lengths that differ",
         start + "Content-Length: " + n + "\r\nContent-Length: 5\r\n\r\n" + body, 400},
        {"the same length twice",
         start + "Content-Length: " + n + "\r\nContent-Length: " + n + "\r\n\r\n" + body, 400},
        {"a plus sign", start + "Content-Length: +" + n + "\r\n\r\n" + body, 400},
        {"text after the digits", start + "Content-Length: " + n + " abc\r\n\r\n" + body, 400},
        {"hexadecimal", start + "Content-Length: 0x31\r\n\r\n" + body, 400},
        {"an empty length", start + "Content-Length:\r\n\r\n" + body, 400},
        {"a blank before the colon", start + "Content-Length : " + n + "\r\n\r\n" + body, 400},
        {"a length above the bound", start + "Content-Length: 67108865\r\n\r\n" + body, 413},
        {"a length with chunks",
         start + "Content-Length: " + n + "\r\nTransfer-Encoding: chunked\r\n\r\n" + body, 501},
        {"chunk sizes of 2^64",
         start + "Transfer-Encoding: chunked\r\n\r\n10000000000000000\r\n" + body, 501},
        {"chunks without the last one",
         start + "Transfer-Encoding: chunked\r\n\r\n" + "5a\r\n" + body + "\r\n", 501},
        {"a field without a colon", start + "Content-Length " + n + "\r\n\r\n" + body, 400},
        {"a NUL in a field",
         start + std::string("X-A: a\0b\r\n", 10) + "Content-Length: " + n + "\r\n\r\n" + body,
         400},
        {"bare CR line ends", "GET / HTTP/1.1\rHost: x\r\r", 400},
        {"an HTTP/0.9 request line", "GET /\r\n", 400},
        {"HTTP/9.9", "GET / HTTP/9.9\r\nHost: x\r\n\r\n", 505},
        {"POST in HTTP/9.9",
         "POST / HTTP/9.9\r\nHost: x\r\nCookie: " + cookie + "\r\nContent-Length: " + n +
             "\r\n\r\n" + body,
         505},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int fd = openWith(service.port, c.request);
        ASSERT_GE(fd, 0);
        const auto sent = Clock::now();
        // The client waits for its answer and sends nothing more.
        std::string reply = replyWithin(fd, 1s);
        close(fd);
        EXPECT_LT(Clock::now() - sent, 1s);
        int status = reply.rfind("HTTP/1.1 ", 0) == 0 ? std::atoi(reply.c_str() + 9) : 0;
        EXPECT_EQ(status, c.status) << reply;
    }
    // None of them ran: the password is what it was.
    EXPECT_FALSE(loginCookie(service.port).empty());
    EXPECT_TRUE(loginCookie(service.port, "changed").empty());
    // An absolute-form target is served by its path.
    HttpReply page = httpRaw(
        service.port, "GET http://localhost/index.html HTTP/1.1\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.headers["content-type"], "text/html");
    EXPECT_EQ(page.body, httpGet(service.port, "/index.html").body);
    EXPECT_TRUE(service.stop()) << service.process->err();
}

// Reads everything at `bytes` every `pause` through a small receive buffer.
std::string readSlowly(int fd, size_t bytes, Clock::duration pause) {
    std::string got;
    std::vector<char> buffer(bytes);
    timeval wait{60, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    for (;;) {
        ssize_t n = recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0) break;
        got.append(buffer.data(), static_cast<size_t>(n));
        std::this_thread::sleep_for(pause);
    }
    return got;
}

TEST(IntakeAttack, ASlowButHonestReaderGetsTheWholeScriptAndALargeLog) {
    TempDir holder;
    const std::string cfg = holder / "cfg";
    ASSERT_EQ(mkdir(cfg.c_str(), 0700), 0);
    // A log database with 6 MB of other pages in it: its backup is a large download.
    const std::string db = cfg + "/eventlog.db";
    const std::string pad =
        "sqlite3 '" + db + "' 'CREATE TABLE pad(b); INSERT INTO pad VALUES(zeroblob(6000000));'";
    if (std::system(pad.c_str()) != 0) GTEST_SKIP() << "no sqlite3 program to make a large log";
    ConsoleService service({"-config", cfg});
    ASSERT_TRUE(service.ready) << service.log();
    const std::string cookie = loginCookie(service.port);
    ASSERT_FALSE(cookie.empty());

    const std::string script = httpGet(service.port, "/js/arkgui.js").body;
    ASSERT_GT(script.size(), 10000u);
    int fd = openWith(service.port, kScript, 1024);
    // 2 KiB every 250 ms: longer in all than the old 10 s per stalled send.
    std::string got = readSlowly(fd, 2048, 250ms);
    close(fd);
    size_t headEnd = got.find("\r\n\r\n");
    ASSERT_NE(headEnd, std::string::npos);
    EXPECT_EQ(got.substr(headEnd + 4) == script, true) << got.size();

    fd = openWith(service.port,
                  "GET /eventlog HTTP/1.1\r\nHost: x\r\nCookie: " + cookie + "\r\n\r\n", 65536);
    got = readSlowly(fd, 64 << 10, 10ms);
    close(fd);
    headEnd = got.find("\r\n\r\n");
    ASSERT_NE(headEnd, std::string::npos);
    EXPECT_NE(got.find("Content-Length: " + std::to_string(got.size() - headEnd - 4)),
              std::string::npos);
    EXPECT_GT(got.size() - headEnd - 4, 6'000'000u);
    EXPECT_EQ(got.compare(headEnd + 4, 16, std::string("SQLite format 3\0", 16)), 0);
    EXPECT_TRUE(service.stop()) << service.process->err();
}

}  // namespace
}  // namespace svctest
