#pragma once

#include <poll.h>

#include <chrono>
#include <cstddef>
#include <deque>
#include <vector>

#include "socket_queue.h"

// The accept thread's waiting room. An accepted connection waits here, watched with poll, until
// the head of its request has arrived; only then does it go on to a worker, so no worker ever
// waits for a client that sends nothing. Each connection gets one deadline, counted from its
// accept, for its whole request (head and body); one whose head has not arrived by then is
// closed unanswered. Used by the accept thread alone.
class ConnectionGate {
public:
    using Clock = std::chrono::steady_clock;
    // A head that has not ended within this many bytes goes on as it is; the engine refuses it.
    static constexpr size_t kHeadBytes = 16384;

    ConnectionGate(Clock::duration requestTime, size_t capacity);
    ~ConnectionGate();
    ConnectionGate(const ConnectionGate&) = delete;
    ConnectionGate& operator=(const ConnectionGate&) = delete;

    // Takes an accepted socket. At capacity the connection waiting longest is closed for it.
    void Add(int socket, Clock::time_point now);
    // Appends a poll entry for each waiting connection.
    void Watch(std::vector<pollfd>& fds);
    // Reads the poll results of the entries Watch appended, from `first` on: a connection whose
    // head is complete (or too long to wait for) becomes ready; one that closed or failed before
    // that is closed.
    void Check(const std::vector<pollfd>& fds, size_t first);
    // Closes the waiting connections whose deadline has passed.
    void Expire(Clock::time_point now);
    // Milliseconds until the next deadline of a waiting connection (at least 0), or -1.
    int MsUntilNextDeadline(Clock::time_point now) const;

    bool HasReady() const { return !m_ready.empty(); }
    const QueuedConnection& NextReady() const { return m_ready.front(); }
    // The next ready connection has been handed on; the gate forgets it.
    void TakeReady() { m_ready.pop_front(); }
    size_t waiting() const { return m_waiting.size(); }
    size_t ready() const { return m_ready.size(); }

private:
    struct Waiting {
        int socket;
        Clock::time_point deadline;
    };

    // True when the connection is finished with here (ready or closed).
    bool inspect(Waiting& w, short revents);

    Clock::duration m_requestTime;
    size_t m_capacity;
    std::vector<Waiting> m_waiting;  // in accept order
    std::deque<QueuedConnection> m_ready;
    std::vector<char> m_peek;
};
