#include "connection_gate.h"

#include <errno.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <string_view>

#include "request_head.h"

namespace {

// Poll reports a socket readable only once more than `bytes` bytes wait in it, so a client that
// sends its head a byte at a time wakes the accept thread once per byte, not in a loop.
void wakeAbove(int socket, size_t bytes) {
    int lowWater = static_cast<int>(bytes + 1);
    setsockopt(socket, SOL_SOCKET, SO_RCVLOWAT, &lowWater, sizeof lowWater);
}

}  // namespace

ConnectionGate::ConnectionGate(Clock::duration requestTime, size_t capacity)
    : m_requestTime(requestTime), m_capacity(capacity), m_peek(kHeadBytes) {}

ConnectionGate::~ConnectionGate() {
    for (const Waiting& w : m_waiting) close(w.socket);
    for (const QueuedConnection& c : m_ready) close(c.socket);
}

void ConnectionGate::Add(int socket, Clock::time_point now) {
    if (m_waiting.size() >= m_capacity && !m_waiting.empty()) {
        close(m_waiting.front().socket);
        m_waiting.erase(m_waiting.begin());
    }
    m_waiting.push_back({socket, now + m_requestTime});
}

void ConnectionGate::Watch(std::vector<pollfd>& fds) {
    for (const Waiting& w : m_waiting) fds.push_back({w.socket, POLLIN | POLLRDHUP, 0});
}

void ConnectionGate::Check(const std::vector<pollfd>& fds, size_t first) {
    // Watch appended the waiting connections in order; nothing was added or removed since.
    size_t kept = 0;
    for (size_t i = 0; i < m_waiting.size(); ++i) {
        short revents = first + i < fds.size() ? fds[first + i].revents : 0;
        if (revents != 0 && inspect(m_waiting[i], revents)) continue;
        m_waiting[kept++] = m_waiting[i];
    }
    m_waiting.resize(kept);
}

bool ConnectionGate::inspect(Waiting& w, short revents) {
    ssize_t n = recv(w.socket, m_peek.data(), m_peek.size(), MSG_PEEK | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        if ((revents & (POLLERR | POLLHUP)) == 0) return false;
        n = -1;
    }
    if (n > 0) {
        size_t got = static_cast<size_t>(n);
        RequestHead head = scanRequestHead(std::string_view(m_peek.data(), got));
        if (head.complete || got >= kHeadBytes) {
            wakeAbove(w.socket, 0);
            m_ready.push_back({w.socket, w.deadline, head.complete ? head.requestBytes : 0});
            return true;
        }
        // A client that stopped sending halfway has nobody left to answer.
        if ((revents & (POLLRDHUP | POLLHUP | POLLERR)) == 0) {
            wakeAbove(w.socket, got);
            return false;
        }
    }
    close(w.socket);
    return true;
}

void ConnectionGate::Expire(Clock::time_point now) {
    auto late = [&](const Waiting& w) {
        if (w.deadline > now) return false;
        close(w.socket);
        return true;
    };
    m_waiting.erase(std::remove_if(m_waiting.begin(), m_waiting.end(), late), m_waiting.end());
}

int ConnectionGate::MsUntilNextDeadline(Clock::time_point now) const {
    if (m_waiting.empty()) return -1;
    Clock::time_point next = Clock::time_point::max();
    for (const Waiting& w : m_waiting) next = std::min(next, w.deadline);
    if (next <= now) return 0;
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
    return static_cast<int>(std::min<long long>(ms, 1 << 30));
}
