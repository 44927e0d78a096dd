#include "connection_gate.h"

#include <arpa/inet.h>
#include <errno.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = ConnectionGate::Clock;
using namespace std::chrono_literals;

// A loopback listener; each Pair is a client socket and the server side the gate takes.
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
    // The client socket; the accepted one in `server`.
    int Connect(int& server) {
        int client = socket(AF_INET, SOCK_STREAM, 0);
        EXPECT_EQ(connect(client, reinterpret_cast<sockaddr*>(&m_addr), sizeof m_addr), 0);
        server = accept(m_listener, nullptr, nullptr);
        m_clients.push_back(client);
        return client;
    }

private:
    int m_listener = -1;
    sockaddr_in m_addr{};
    std::vector<int> m_clients;
};

// Polls the gate's waiting connections once (briefly) and lets it look at them.
void pollOnce(ConnectionGate& gate) {
    std::vector<pollfd> fds;
    gate.Watch(fds);
    poll(fds.data(), fds.size(), 100);
    gate.Check(fds, 0);
}

// True when the server side of the client's connection has been closed (a reset when the
// server left bytes of it unread).
bool closedByServer(int client) {
    timeval wait{2, 0};
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    char c;
    ssize_t n = recv(client, &c, 1, 0);
    return n == 0 || (n < 0 && errno == ECONNRESET);
}

void sendText(int fd, const std::string& text) {
    ASSERT_EQ(send(fd, text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size()));
}

TEST(ConnectionGate, HandsOnOnlyConnectionsWhoseHeadHasArrived) {
    enum Outcome { kReady, kWaiting, kClosed };
    struct Case {
        const char* name;
        std::string sent;
        bool clientCloses;
        Outcome outcome;
        uint64_t requestBytes;
    };
    const std::string post = "POST / HTTP/1.1\r\nContent-Length: 7\r\n\r\n";
    const Case cases[] = {
        {"whole head", "GET / HTTP/1.1\r\nHost: x\r\n\r\n", false, kReady, 27},
        {"head and part of its body", post + "{}", false, kReady, post.size() + 7},
        {"head, then the client stops sending", post, true, kReady, post.size() + 7},
        {"nothing yet", "", false, kWaiting, 0},
        {"half a head", "GET / HTTP/1.1\r\nHo", false, kWaiting, 0},
        {"half a head, then gone", "GET / HTTP/1.1\r\nHo", true, kClosed, 0},
        {"gone without a byte", "", true, kClosed, 0},
        {"a head too long to wait for", "GET /" + std::string(ConnectionGate::kHeadBytes, 'a'),
         false, kReady, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Loopback net;
        ConnectionGate gate(10s, 8);
        int server = -1;
        int client = net.Connect(server);
        ASSERT_GE(server, 0);
        gate.Add(server, Clock::now());
        if (!c.sent.empty()) sendText(client, c.sent);
        if (c.clientCloses) shutdown(client, SHUT_WR);
        std::this_thread::sleep_for(20ms);
        pollOnce(gate);
        switch (c.outcome) {
            case kReady:
                ASSERT_TRUE(gate.HasReady());
                EXPECT_EQ(gate.NextReady().socket, server);
                EXPECT_EQ(gate.NextReady().requestBytes, c.requestBytes);
                EXPECT_EQ(gate.waiting(), 0u);
                break;
            case kWaiting:
                EXPECT_FALSE(gate.HasReady());
                EXPECT_EQ(gate.waiting(), 1u);
                break;
            case kClosed:
                EXPECT_FALSE(gate.HasReady());
                EXPECT_EQ(gate.waiting(), 0u);
                EXPECT_TRUE(closedByServer(client));
                break;
        }
    }
}

TEST(ConnectionGate, AHeadSentByteByByteIsHandedOnWhenItEnds) {
    Loopback net;
    ConnectionGate gate(10s, 8);
    int server = -1;
    int client = net.Connect(server);
    gate.Add(server, Clock::now());
    const std::string head = "GET / HTTP/1.1\r\nHost: x\r\n\r\n";
    for (size_t i = 0; i < head.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(gate.HasReady());
        sendText(client, head.substr(i, 1));
        std::this_thread::sleep_for(2ms);
        pollOnce(gate);
    }
    ASSERT_TRUE(gate.HasReady());
    // The worker reads the head itself: nothing of it was taken off the socket.
    std::string got(head.size(), '\0');
    EXPECT_EQ(recv(gate.NextReady().socket, got.data(), got.size(), MSG_DONTWAIT),
              static_cast<ssize_t>(head.size()));
    EXPECT_EQ(got, head);
}

TEST(ConnectionGate, DeadlineClosesWaitingConnectionsButNotReadyOnes) {
    Loopback net;
    ConnectionGate gate(10s, 8);
    const Clock::time_point start = Clock::now();
    int idleServer = -1, readyServer = -1, lateServer = -1;
    int idle = net.Connect(idleServer);
    int ready = net.Connect(readyServer);
    int late = net.Connect(lateServer);
    gate.Add(idleServer, start);
    gate.Add(readyServer, start);
    gate.Add(lateServer, start + 5s);
    sendText(ready, "GET / HTTP/1.1\r\n\r\n");
    std::this_thread::sleep_for(20ms);
    pollOnce(gate);
    ASSERT_TRUE(gate.HasReady());
    EXPECT_EQ(gate.MsUntilNextDeadline(start), 10000);

    gate.Expire(start + 9s);
    EXPECT_EQ(gate.waiting(), 2u);
    gate.Expire(start + 10s);
    EXPECT_EQ(gate.waiting(), 1u);
    EXPECT_TRUE(closedByServer(idle));
    EXPECT_EQ(gate.MsUntilNextDeadline(start + 10s), 5000);
    EXPECT_EQ(gate.MsUntilNextDeadline(start + 20s), 0);
    gate.Expire(start + 15s);
    EXPECT_EQ(gate.waiting(), 0u);
    EXPECT_TRUE(closedByServer(late));
    EXPECT_EQ(gate.MsUntilNextDeadline(start + 15s), -1);

    ASSERT_TRUE(gate.HasReady());
    EXPECT_EQ(gate.NextReady().socket, readyServer);
    EXPECT_EQ(gate.NextReady().deadline, start + 10s);
}

TEST(ConnectionGate, AtCapacityTheLongestWaitingConnectionMakesRoom) {
    Loopback net;
    ConnectionGate gate(10s, 2);
    int s1 = -1, s2 = -1, s3 = -1;
    int c1 = net.Connect(s1);
    net.Connect(s2);
    net.Connect(s3);
    gate.Add(s1, Clock::now());
    gate.Add(s2, Clock::now());
    gate.Add(s3, Clock::now());
    EXPECT_EQ(gate.waiting(), 2u);
    EXPECT_TRUE(closedByServer(c1));
}

}  // namespace
