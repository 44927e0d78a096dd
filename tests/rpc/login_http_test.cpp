// Logins through real HTTP against the emulator build of the service: the failed-login lock
// per client address (clients on 127.0.0.2 and 127.0.0.1), its log lines, and method names
// with a zero byte inside.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "service_fixture.h"

namespace svctest {
namespace {

using nlohmann::json;

constexpr const char* kLoginDelayVariable = "ARK_EMULATOR_LOGIN_DELAY_MS";
constexpr const char* kThrottled = "too many failed logins, try again later";

// One JSON-RPC POST to the service from the loopback address `from`; the reply's body as JSON
// (null when there was no reply) and the cookies it set.
struct Call {
    json body;
    std::string sid;
};

Call postFrom(const char* from, int port, const json& request, const std::string& cookie = "") {
    Call call;
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return call;
    timeval tv{30, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, from, &local.sin_addr);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<uint16_t>(port));
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0 ||
        connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof(server)) != 0) {
        close(fd);
        return call;
    }
    const std::string body = request.dump();
    std::string head =
        "POST / HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n"
        "Content-Type: application/json\r\nContent-Length: " +
        std::to_string(body.size()) + "\r\n";
    if (!cookie.empty()) head += "Cookie: " + cookie + "\r\n";
    const std::string raw = head + "\r\n" + body;
    if (send(fd, raw.data(), raw.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(raw.size())) {
        close(fd);
        return call;
    }
    std::string reply;
    char buffer[4096];
    for (ssize_t n; (n = recv(fd, buffer, sizeof(buffer), 0)) > 0;) {
        reply.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    const size_t end = reply.find("\r\n\r\n");
    if (end == std::string::npos) return call;
    call.body = json::parse(reply.substr(end + 4), nullptr, false);
    const size_t at = reply.find("Set-Cookie: sid=");
    if (at != std::string::npos && at < end) {
        call.sid = reply.substr(at + 16, reply.find(';', at) - at - 16);
    }
    return call;
}

json login(const std::string& password) {
    return {{"jsonrpc", "2.0"},
            {"id", 1},
            {"method", "Login"},
            {"params", {{"username", "admin"}, {"password", password}}}};
}

std::string errorMessage(const Call& call) {
    if (!call.body.is_object() || !call.body.contains("error")) return "(no error)";
    EXPECT_EQ(call.body["error"]["code"], 401);
    return call.body["error"]["message"].get<std::string>();
}

// The log lines that contain `text`.
std::vector<std::string> linesWith(const std::string& log, const std::string& text) {
    std::vector<std::string> out;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        if (line.find(text) != std::string::npos) out.push_back(line);
    }
    return out;
}

// Sets the password "s3cret" from 127.0.0.1, where the fresh service's empty one lets us in.
void setPassword(int port) {
    Call in = postFrom("127.0.0.1", port, login(""));
    ASSERT_FALSE(in.sid.empty()) << in.body;
    Call set = postFrom("127.0.0.1", port,
                        {{"method", "SetPassword"}, {"params", {{"old", ""}, {"new", "s3cret"}}}},
                        "sid=" + in.sid);
    ASSERT_EQ(set.body["result"], true) << set.body;
}

TEST(LoginThrottle, GuessingFromOneAddressLocksItAloneAndIsLoggedWithoutThePassword) {
    // A first delay far longer than the test: every lock below holds whatever the machine's pace.
    ConsoleService svc({}, {{kLoginDelayVariable, "600000"}});
    ASSERT_TRUE(svc.ready);
    setPassword(svc.port);

    std::vector<std::string> answers;
    for (int i = 0; i < 30; ++i) {
        Call guess = postFrom("127.0.0.2", svc.port, login("guess-" + std::to_string(i)));
        answers.push_back(errorMessage(guess));
    }
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(answers[i], i < 5 ? "internal server error" : kThrottled) << "attempt " << i + 1;
    }
    Call right = postFrom("127.0.0.2", svc.port, login("s3cret"));
    EXPECT_EQ(errorMessage(right), kThrottled) << "refused without looking at the password";
    EXPECT_TRUE(right.sid.empty());

    Call other = postFrom("127.0.0.1", svc.port, login("s3cret"));
    EXPECT_EQ(other.body["result"], true) << other.body;
    EXPECT_EQ(other.sid.size(), 32u);

    ASSERT_TRUE(svc.stop());
    const std::string log = svc.log();
    std::vector<std::string> failed = linesWith(log, "failed login from 127.0.0.2, user \"admin\"");
    EXPECT_FALSE(failed.empty()) << log;
    for (const auto& line : failed) EXPECT_NE(line.find("<12>"), std::string::npos) << line;
    EXPECT_TRUE(linesWith(log, "127.0.0.1").empty()) << "no failure from the other address";
    EXPECT_TRUE(linesWith(log, "guess-").empty()) << log;
    EXPECT_TRUE(linesWith(log, "s3cret").empty()) << log;
}

TEST(LoginThrottle, LockPassesAfterItsDelayAndAGoodLoginStartsAfresh) {
    constexpr int kDelayMs = 200;
    ConsoleService svc({}, {{kLoginDelayVariable, std::to_string(kDelayMs)}});
    ASSERT_TRUE(svc.ready);
    setPassword(svc.port);

    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(errorMessage(postFrom("127.0.0.2", svc.port, login("guess"))),
                  "internal server error");
    }
    // Waiting longer than the lock can only make the next login be checked.
    std::this_thread::sleep_for(std::chrono::milliseconds(2 * kDelayMs));
    Call right = postFrom("127.0.0.2", svc.port, login("s3cret"));
    EXPECT_EQ(right.body["result"], true) << right.body;
    EXPECT_EQ(right.sid.size(), 32u);

    // Counting starts again: four failures leave the address open.
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(errorMessage(postFrom("127.0.0.2", svc.port, login("guess"))),
                  "internal server error");
    }
    Call again = postFrom("127.0.0.2", svc.port, login("s3cret"));
    EXPECT_EQ(again.body["result"], true) << again.body;
    ASSERT_TRUE(svc.stop());
}

TEST(MethodName, ZeroByteInsideIsAnUnknownMethod) {
    ConsoleService svc;
    ASSERT_TRUE(svc.ready);
    Call in = postFrom("127.0.0.1", svc.port, login(""));
    ASSERT_FALSE(in.sid.empty());
    for (const char* name : {"GetServerInfo", "Login", "GetDomainCount"}) {
        SCOPED_TRACE(name);
        const std::string cut = std::string(name) + std::string("\0x", 2);
        Call reply = postFrom("127.0.0.1", svc.port, {{"id", 9}, {"method", cut}}, "sid=" + in.sid);
        EXPECT_EQ(reply.body,
                  json::parse(R"({"jsonrpc":"2.0","id":9,)"
                              R"("error":{"code":-32601,"message":"method unknown"}})"));
    }
    ASSERT_TRUE(svc.stop());
}

}  // namespace
}  // namespace svctest
