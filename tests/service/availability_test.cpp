#include <arpa/inet.h>
#include <dirent.h>
#include <errno.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "service_fixture.h"

namespace svctest {
namespace {

const char kInfo[] = R"({"jsonrpc":"2.0","id":9,"method":"GetServerInfo"})";
const char kParseError[] = R"({"jsonrpc":"2.0","error":{"code":-32700,"message":"Parse error"}})";

// Waits (30 s at most) for the server to end the connection; true when it did.
bool endedByServer(int fd) {
    timeval wait{30, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    char buffer[256];
    for (;;) {
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n == 0 || (n < 0 && errno == ECONNRESET)) return true;
        if (n < 0) return false;
    }
}

std::string manyMembers(size_t bytes) {
    std::string text = R"({"jsonrpc":"2.0","id":1,"method":"GetServerInfo","params":{)";
    for (size_t i = 0; text.size() < bytes; ++i) {
        if (i > 0) text += ',';
        text += "\"k" + std::to_string(i) + "\":" + std::to_string(i);
    }
    return text + "}}";
}

TEST(Availability, AManyMemberBodyIsRefusedWhileOthersAreServed) {
    ConsoleService service;
    ASSERT_TRUE(service.ready) << service.log();
    // 10 MB of members: read quadratically this took minutes and held its worker.
    const std::string body = manyMembers(10'000'000);
    std::vector<std::thread> senders;
    senders.reserve(10);
    std::atomic<int> refused{0};
    for (int i = 0; i < 10; ++i) {
        senders.emplace_back([&] {
            if (httpPost(service.port, "/", body).body == kParseError) ++refused;
        });
    }
    HttpReply other = httpPost(service.port, "/", kInfo);
    for (auto& t : senders) t.join();
    EXPECT_EQ(refused.load(), 10);
    EXPECT_EQ(other.status, 200);
    EXPECT_NE(other.body.find("\"result\""), std::string::npos) << other.body;
    EXPECT_TRUE(service.stop());
}

TEST(Availability, IdleAndSlowClientsHoldNoWorker) {
    ConsoleService service;
    ASSERT_TRUE(service.ready) << service.log();
    const int port = service.port;
    std::vector<int> idle, slow;
    for (int i = 0; i < 20; ++i) idle.push_back(connectLoopback(port));
    for (int i = 0; i < 10; ++i) slow.push_back(connectLoopback(port));
    for (int fd : idle) ASSERT_GE(fd, 0);
    for (int fd : slow) ASSERT_GE(fd, 0);

    // The slow ones send their head a byte a second and never finish it; more connections
    // than there are workers.
    std::atomic<bool> stop{false};
    std::thread drip([&] {
        const std::string head = "GET / HTTP/1.1\r\nHost: localhost\r\n";
        for (size_t at = 0; !stop; at = (at + 1) % head.size()) {
            for (int fd : slow) send(fd, head.data() + at, 1, MSG_NOSIGNAL);
            for (int i = 0; i < 10 && !stop; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
    });
    std::this_thread::sleep_for(std::chrono::seconds(2));
    HttpReply info = httpPost(port, "/", kInfo);
    EXPECT_EQ(info.status, 200);
    EXPECT_NE(info.body.find("\"result\""), std::string::npos) << info.body;
    EXPECT_EQ(httpGet(port, "/").status, 200);

    // None of them finishes its request in time, so each is closed unanswered.
    for (int fd : idle) EXPECT_TRUE(endedByServer(fd));
    for (int fd : slow) EXPECT_TRUE(endedByServer(fd));
    stop = true;
    drip.join();
    for (int fd : idle) close(fd);
    for (int fd : slow) close(fd);
    EXPECT_TRUE(service.stop());
}

TEST(Availability, EveryBadRequestGetsAStatus) {
    ConsoleService service;
    ASSERT_TRUE(service.ready) << service.log();
    const std::string cookie = loginCookie(service.port);
    ASSERT_FALSE(cookie.empty());
    struct Case {
        const char* name;
        std::string request;
        int status;
    };
    const Case cases[] = {
        {"DELETE", "DELETE / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", 405},
        {"PUT", "PUT / HTTP/1.1\r\nHost: x\r\nContent-Length: 2\r\nConnection: close\r\n\r\n{}",
         405},
        {"unknown method", "BREW / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", 405},
        {"over-long request line",
         "GET /" + std::string(20000, 'a') + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
         414},
        {"over-long header line",
         "POST / HTTP/1.1\r\nHost: x\r\nX-Pad: " + std::string(10000, 'a') +
             "\r\nContent-Length: 2\r\nConnection: close\r\n\r\n{}",
         400},
        {"upload whose body does not match its boundary",
         "POST /fwupdate/0/1 HTTP/1.1\r\nHost: x\r\nCookie: " + cookie +
             "\r\nContent-Type: multipart/form-data; boundary=XyZ\r\nContent-Length: "
             "10\r\nConnection: close\r\n\r\nabcdefghij",
         400},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HttpReply reply = httpRaw(service.port, c.request);
        EXPECT_EQ(reply.status, c.status);
        EXPECT_EQ(reply.body, "");
    }
    EXPECT_TRUE(service.stop());
}

TEST(Availability, ABodyShorterThanItsLengthIsRefusedNotRun) {
    ConsoleService service;
    ASSERT_TRUE(service.ready) << service.log();
    const std::string cookie = loginCookie(service.port);
    ASSERT_FALSE(cookie.empty());
    const std::string body =
        R"({"jsonrpc":"2.0","id":1,"method":"SetPassword","params":{"old":"","new":"changed"}})";
    const std::string request = "POST / HTTP/1.1\r\nHost: x\r\nCookie: " + cookie +
                                "\r\nContent-Type: application/json\r\nContent-Length: " +
                                std::to_string(body.size() + 40) + "\r\nConnection: close\r\n\r\n" +
                                body;
    HttpReply reply = httpRaw(service.port, request);
    EXPECT_EQ(reply.status, 400);
    EXPECT_EQ(reply.body, "");
    // The password is what it was.
    EXPECT_FALSE(loginCookie(service.port).empty());
    EXPECT_TRUE(loginCookie(service.port, "changed").empty());
    EXPECT_TRUE(service.stop());
}

// A kill while config.json is being replaced leaves the temporary file, password and all; the
// next start-up removes it.
TEST(Availability, StartUpRemovesTemporariesOfAnInterruptedConfigWrite) {
    TempDir holder;
    const std::string cfg = holder / "cfg";
    ASSERT_EQ(mkdir(cfg.c_str(), 0700), 0);
    writeFile(cfg + "/config.json", R"({"password":"current"})");
    writeFile(cfg + "/config.json.k1LmN0", R"({"password":"cut sho)");
    writeFile(cfg + "/config.json.Zz09aB", "");
    ConsoleService service({"-config", cfg});
    ASSERT_TRUE(service.ready) << service.log();
    struct stat st;
    EXPECT_NE(stat((cfg + "/config.json.k1LmN0").c_str(), &st), 0);
    EXPECT_NE(stat((cfg + "/config.json.Zz09aB").c_str(), &st), 0);
    const std::string cookie = loginCookie(service.port, "current");
    ASSERT_FALSE(cookie.empty());
    // A rewrite goes through a temporary of the same kind and leaves none behind.
    HttpReply set = httpPost(service.port, "/",
                             R"({"jsonrpc":"2.0","id":1,"method":"SetConfig",)"
                             R"("params":{"settings":{"SMARTInterval":5}}})",
                             cookie);
    EXPECT_EQ(set.body, R"({"jsonrpc":"2.0","id":1,"result":true})");
    int entries = 0;
    if (DIR* d = opendir(cfg.c_str())) {
        while (const dirent* e = readdir(d)) {
            if (std::string(e->d_name).rfind("config.json", 0) == 0) ++entries;
        }
        closedir(d);
    }
    EXPECT_EQ(entries, 1) << "only config.json";
    EXPECT_TRUE(service.stop());
}

}  // namespace
}  // namespace svctest
