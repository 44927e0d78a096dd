#include "connection_gate.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = ConnectionGate::Clock;
using namespace std::chrono_literals;

// A loopback listener; each Connect gives a client socket and the server side the gate takes.
class Loopback {
public:
    Loopback() {
        m_listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(bind(m_listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        listen(m_listener, 64);
        socklen_t len = sizeof m_addr;
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&m_addr), &len);
    }
    ~Loopback() {
        for (int fd : m_clients) close(fd);
        close(m_listener);
    }
    Loopback(const Loopback&) = delete;
    Loopback& operator=(const Loopback&) = delete;
    // The client socket; the accepted one (non-blocking, as the gate's own accepts) in `server`.
    int Connect(int& server, int receiveBuffer = 0) {
        int client = socket(AF_INET, SOCK_STREAM, 0);
        if (receiveBuffer > 0)
            setsockopt(client, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        EXPECT_EQ(connect(client, reinterpret_cast<sockaddr*>(&m_addr), sizeof m_addr), 0);
        server = accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK);
        m_clients.push_back(client);
        return client;
    }

private:
    int m_listener = -1;
    sockaddr_in m_addr{};
    std::vector<int> m_clients;
};

ConnectionGate::Refusals testRefusals() {
    ConnectionGate::Refusals r;
    for (int status : {400, 413, 414, 501, 505}) r.byStatus[status] = "R" + std::to_string(status);
    r.unauthorized = "R-unauthorized";
    r.parseError = "R-parse";
    return r;
}

ConnectionGate::Limits smallLimits() {
    ConnectionGate::Limits limits;
    limits.requestTime = 10s;
    limits.maxBody = 100000;
    limits.bodyWithoutSession = 1000;
    return limits;
}

// Lets the gate deal with what arrived, for `time`.
void pump(ConnectionGate& gate, std::chrono::milliseconds time = 30ms) {
    const auto until = Clock::now() + time;
    do {
        gate.Poll(5);
    } while (Clock::now() < until);
}

// What the server sends until it closes (2 s at most); "<reset>" appended for a reset.
std::string readAll(int client) {
    timeval wait{2, 0};
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    std::string got;
    char buffer[4096];
    for (;;) {
        ssize_t n = recv(client, buffer, sizeof buffer, 0);
        if (n > 0) {
            got.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == ECONNRESET) got += "<reset>";
        if (n < 0 && errno == EAGAIN) got += "<open>";
        return got;
    }
}

void sendText(int fd, const std::string& text) {
    ASSERT_EQ(send(fd, text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size()));
}

bool liveSid(std::string_view sid) {
    return sid == "live";
}

TEST(ConnectionGate, HandsOnOnlyWholeRequestsAndRefusesBadOnes) {
    enum Outcome { kReady, kReading, kClosed, kAnswered };
    struct Case {
        const char* name;
        std::string sent;
        bool clientCloses;
        Outcome outcome;
        std::string expect;  // the request handed on, or the answer
    };
    const std::string post = "POST / HTTP/1.1\r\nContent-Length: 7\r\n\r\n";
    const std::string big = "POST / HTTP/1.1\r\nContent-Length: 5000\r\n";
    const std::string bigUpload = "POST /fwupdate/0/1 HTTP/1.1\r\nContent-Length: 5000\r\n";
    const std::string get = "GET / HTTP/1.1\r\nHost: x\r\n\r\n";
    const Case cases[] = {
        {"whole head", get, false, kReady, get},
        {"head and all of its body", post + "{\"a\":1}", false, kReady, post + "{\"a\":1}"},
        {"head and part of its body", post + "{}", false, kReading, ""},
        {"head, then the body stops short", post + "{}", true, kAnswered, "R400"},
        {"nothing yet", "", false, kReading, ""},
        {"half a head", "GET / HTTP/1.1\r\nHo", false, kReading, ""},
        {"half a head, then gone", "GET / HTTP/1.1\r\nHo", true, kClosed, ""},
        {"gone without a byte", "", true, kClosed, ""},
        {"a request line too long", "GET /" + std::string(ConnectionGate::kHeadBytes, 'a'), false,
         kAnswered, "R414"},
        {"a head too long", "GET / HTTP/1.1\r\n" + std::string(ConnectionGate::kHeadBytes, 'a'),
         false, kAnswered, "R400"},
        {"two lengths", "POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 1\r\n\r\nab",
         false, kAnswered, "R400"},
        {"chunked", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n1\r\na\r\n", false,
         kAnswered, "R501"},
        {"HTTP/0.9, answered without waiting", "GET /\r\n", false, kAnswered, "R400"},
        {"refused, the client already gone", "GET /\r\n", true, kAnswered, "R400"},
        {"another version", "GET / HTTP/3.0\r\n\r\n", false, kAnswered, "R505"},
        {"a length above the bound", "POST / HTTP/1.1\r\nContent-Length: 100001\r\n\r\n", false,
         kAnswered, "R413"},
        {"a large call without a session", big + "\r\n", false, kAnswered, "R-parse"},
        {"a large call with a stale session", big + "Cookie: sid=old\r\n\r\n", false, kAnswered,
         "R-parse"},
        {"a large upload without a session", bigUpload + "\r\n", false, kAnswered,
         "R-unauthorized"},
        {"a large call with a live session", big + "Cookie: sid=live\r\n\r\n", false, kReading, ""},
        {"an upload above the bound without a session",
         "POST /fwupdate/0/1 HTTP/1.1\r\nContent-Length: 100001\r\n\r\n", false, kAnswered,
         "R-unauthorized"},
        {"an upload above the bound with a live session",
         "POST /fwupdate/0/1 HTTP/1.1\r\nContent-Length: 100001\r\nCookie: sid=live\r\n\r\n", false,
         kAnswered, "R413"},
        {"an absolute-form target", "GET http://host:8/a.js?v=1 HTTP/1.1\r\n\r\n", false, kReady,
         "GET /a.js?v=1 HTTP/1.1\r\n\r\n"},
        {"an absolute-form root", "GET http://host HTTP/1.1\r\n\r\n", false, kReady,
         "GET / HTTP/1.1\r\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Loopback net;
        ConnectionGate gate(smallLimits(), testRefusals(), liveSid);
        int server = -1;
        int client = net.Connect(server);
        ASSERT_GE(server, 0);
        if (!c.sent.empty()) sendText(client, c.sent);
        if (c.clientCloses) shutdown(client, SHUT_WR);
        std::this_thread::sleep_for(10ms);
        gate.Add(server, Clock::now());
        pump(gate);
        switch (c.outcome) {
            case kReady: {
                ASSERT_TRUE(gate.HasReady());
                const QueuedConnection& q = gate.NextReady();
                EXPECT_EQ(q.socket, server);
                ASSERT_NE(q.connection, nullptr);
                EXPECT_EQ(q.connection->request, c.expect);
                EXPECT_EQ(q.requestBytes, c.expect.size());
                EXPECT_EQ(gate.reading(), 0u);
                EXPECT_EQ(gate.held(), c.expect.size());
                break;
            }
            case kReading:
                EXPECT_FALSE(gate.HasReady());
                EXPECT_EQ(gate.reading(), 1u);
                break;
            case kClosed:
                EXPECT_FALSE(gate.HasReady());
                EXPECT_EQ(gate.reading(), 0u);
                EXPECT_EQ(readAll(client), "");
                break;
            case kAnswered:
                EXPECT_FALSE(gate.HasReady());
                EXPECT_EQ(gate.reading(), 0u);
                shutdown(client, SHUT_WR);
                pump(gate);
                EXPECT_EQ(readAll(client), c.expect);
                EXPECT_EQ(gate.held(), 0u);
                break;
        }
    }
}

TEST(ConnectionGate, AHeadSentByteByByteIsHandedOnWhenItEnds) {
    Loopback net;
    ConnectionGate gate(smallLimits(), testRefusals(), liveSid);
    int server = -1;
    int client = net.Connect(server);
    gate.Add(server, Clock::now());
    const std::string head = "POST / HTTP/1.1\r\nContent-Length: 2\r\n\r\n{}";
    for (size_t i = 0; i < head.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(gate.HasReady());
        sendText(client, head.substr(i, 1));
        pump(gate, 3ms);
    }
    ASSERT_TRUE(gate.HasReady());
    EXPECT_EQ(gate.NextReady().connection->request, head);
}

TEST(ConnectionGate, TheDeadlineEndsRequestsStillArriving) {
    Loopback net;
    ConnectionGate::Limits limits = smallLimits();
    limits.requestTime = 300ms;
    ConnectionGate gate(limits, testRefusals(), liveSid);
    int idleServer = -1, bodyServer = -1, readyServer = -1;
    int idle = net.Connect(idleServer);
    int body = net.Connect(bodyServer);
    int ready = net.Connect(readyServer);
    gate.Add(idleServer, Clock::now());
    gate.Add(bodyServer, Clock::now());
    gate.Add(readyServer, Clock::now());
    sendText(body, "POST / HTTP/1.1\r\nContent-Length: 10\r\n\r\n{");
    sendText(ready, "GET / HTTP/1.1\r\n\r\n");
    pump(gate, 100ms);
    EXPECT_EQ(gate.reading(), 2u);
    ASSERT_TRUE(gate.HasReady());
    pump(gate, 400ms);
    EXPECT_EQ(gate.reading(), 0u);
    EXPECT_EQ(readAll(idle), "");
    // A head that arrived is told its body did not.
    shutdown(body, SHUT_WR);
    pump(gate);
    EXPECT_EQ(readAll(body), "R400");
    // A whole request is the workers' now; no deadline of the intake's ends it.
    ASSERT_TRUE(gate.HasReady());
    EXPECT_EQ(gate.NextReady().socket, readyServer);
}

TEST(ConnectionGate, AtCapacityTheLongestWaitingConnectionMakesRoom) {
    Loopback net;
    ConnectionGate::Limits limits = smallLimits();
    limits.maxReading = 2;
    ConnectionGate gate(limits, testRefusals(), liveSid);
    int s1 = -1, s2 = -1, s3 = -1;
    int c1 = net.Connect(s1);
    int c2 = net.Connect(s2);
    net.Connect(s3);
    gate.Add(s1, Clock::now());
    gate.Add(s2, Clock::now());
    gate.Add(s3, Clock::now());
    EXPECT_EQ(gate.reading(), 2u);
    EXPECT_EQ(readAll(c1), "");
    sendText(c2, "GET / HTTP/1.1\r\n\r\n");
    pump(gate);
    EXPECT_TRUE(gate.HasReady());
}

TEST(ConnectionGate, MemoryIsBoundedByDroppingTheOldestUnfinishedRequest) {
    Loopback net;
    ConnectionGate::Limits limits = smallLimits();
    limits.memory = 3000;
    limits.bodyWithoutSession = 100000;
    ConnectionGate gate(limits, testRefusals(), liveSid);
    const std::string head = "POST / HTTP/1.1\r\nContent-Length: 5000\r\n\r\n";
    int s1 = -1, s2 = -1;
    int c1 = net.Connect(s1);
    int c2 = net.Connect(s2);
    gate.Add(s1, Clock::now());
    gate.Add(s2, Clock::now());
    sendText(c1, head + std::string(1200, 'a'));
    pump(gate);
    sendText(c2, head + std::string(1200, 'b'));
    pump(gate);
    EXPECT_EQ(gate.reading(), 2u);
    EXPECT_LE(gate.held(), limits.memory);
    // More of the second pushes past the bound: the first, older one goes.
    sendText(c2, std::string(800, 'b'));
    pump(gate);
    EXPECT_EQ(gate.reading(), 1u);
    EXPECT_LE(gate.held(), limits.memory);
    EXPECT_EQ(readAll(c1), "");
}

TEST(ConnectionGate, RepliesGoOutWithoutBlockingUnderOneDeadline) {
    Loopback net;
    ConnectionGate::Limits limits = smallLimits();
    limits.replyTime = 1s;
    limits.replyFloor = 1 << 30;
    ConnectionGate gate(limits, testRefusals(), liveSid);
    const std::string get = "GET / HTTP/1.1\r\n\r\n";
    int honestServer = -1, stuckServer = -1;
    int honest = net.Connect(honestServer);
    int stuck = net.Connect(stuckServer, 1024);
    gate.Add(honestServer, Clock::now());
    gate.Add(stuckServer, Clock::now());
    sendText(honest, get);
    sendText(stuck, get);
    pump(gate);
    // More than the kernel's buffers take for the client that reads nothing.
    const std::string reply(1 << 20, 'r');
    const std::string large(16 << 20, 'l');
    std::vector<HttpConnection*> taken;
    while (gate.HasReady()) {
        taken.push_back(gate.NextReady().connection);
        gate.TakeReady();
    }
    ASSERT_EQ(taken.size(), 2u);
    // The workers finish on their own threads; the gate is woken for their replies.
    std::thread worker([&] {
        for (HttpConnection* c : taken) {
            c->reply = c->socket == honestServer ? reply : large;
            gate.Finished(c);
        }
    });
    worker.join();
    const auto start = Clock::now();
    pump(gate, 10ms);
    EXPECT_LT(Clock::now() - start, 2s) << "sending waited for a client";
    EXPECT_GE(gate.writing(), 1u) << "the client that reads nothing is still being sent to";
    // The honest client reads everything (pumping the gate meanwhile); the other reads nothing
    // and is cut off at the deadline.
    std::string got;
    char buffer[65536];
    while (got.size() < reply.size() && Clock::now() - start < 5s) {
        gate.Poll(1);
        ssize_t n = recv(honest, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) got.append(buffer, static_cast<size_t>(n));
        if (n == 0) break;
    }
    EXPECT_EQ(got.size(), reply.size());
    EXPECT_EQ(got == reply, true);
    pump(gate, 1100ms);
    EXPECT_EQ(gate.writing(), 0u);
    std::string partial = readAll(stuck);
    EXPECT_LT(partial.size(), large.size());
}

TEST(ConnectionGate, AReplyFileIsSentAfterItsHead) {
    Loopback net;
    ConnectionGate gate(smallLimits(), testRefusals(), liveSid);
    int server = -1;
    int client = net.Connect(server);
    gate.Add(server, Clock::now());
    sendText(client, "GET /eventlog HTTP/1.1\r\n\r\n");
    pump(gate);
    ASSERT_TRUE(gate.HasReady());
    HttpConnection* c = gate.NextReady().connection;
    gate.TakeReady();
    std::string content(300000, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>('a' + i % 26);
    FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::fwrite(content.data(), 1, content.size(), file);
    std::fflush(file);
    c->reply = "HEAD\r\n\r\n";
    c->replyFile = dup(fileno(file));
    c->replyFileLeft = content.size();
    std::fclose(file);
    gate.Finished(c);
    std::string got;
    char buffer[65536];
    const auto start = Clock::now();
    while (Clock::now() - start < 5s) {
        gate.Poll(1);
        ssize_t n = recv(client, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) got.append(buffer, static_cast<size_t>(n));
        if (n == 0) break;
    }
    EXPECT_EQ(got.size(), 8 + content.size());
    EXPECT_EQ(got == "HEAD\r\n\r\n" + content, true);
    EXPECT_EQ(gate.writing(), 0u);
}

}  // namespace
