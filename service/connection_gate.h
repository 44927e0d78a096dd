#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "annotated_mutex.h"
#include "http_connection.h"
#include "socket_queue.h"

// The intake, run by the accept thread: it accepts connections, reads each request whole
// (head and body) into memory without blocking, refuses bad ones itself, and hands only whole
// requests on to the workers. A worker gives the connection back with its reply written in
// memory, and the intake sends it without blocking either, so no worker ever waits on a client.
// All of it is watched with one epoll set. Used by the accept thread alone, except Finished.
class ConnectionGate {
public:
    using Clock = HttpConnection::Clock;
    // A head that has not ended within this many bytes is refused.
    static constexpr size_t kHeadBytes = 16384;

    struct Limits {
        Clock::duration requestTime = std::chrono::seconds(10);  // from the accept, per request
        size_t maxReading = 4096;                // connections whose request is arriving
        size_t maxWriting = 4096;                // connections whose reply is going out
        size_t memory = size_t{128} << 20;       // request bytes held at once
        uint64_t maxBody = uint64_t{64} << 20;   // above it: 413 unread
        uint64_t bodyWithoutSession = 64 << 10;  // above it only with a live session
        Clock::duration replyTime = std::chrono::seconds(30);  // from the reply's first byte
        uint64_t replyFloor = 4096;  // bytes a second; a larger reply gets more time
        Clock::duration linger = std::chrono::seconds(2);
        size_t maxReady = 256;  // whole requests waiting for room in the ring
    };
    // The replies the intake sends itself, rendered by the engine at start-up.
    struct Refusals {
        std::map<int, std::string> byStatus;  // empty replies: 400, 413, 414, 501, 505
        std::string unauthorized;             // an upload without a session
        std::string parseError;               // a large call without a session
    };
    using SessionCheck = std::function<bool(std::string_view sid)>;
    // Told about a failed accept (not an empty backlog): the errno.
    using AcceptFailure = std::function<void(int error)>;

    ConnectionGate(const Limits& limits, Refusals refusals, SessionCheck liveSession);
    ~ConnectionGate();
    ConnectionGate(const ConnectionGate&) = delete;
    ConnectionGate& operator=(const ConnectionGate&) = delete;

    // The listening socket to accept from (-1: none). After a failed accept it is left alone
    // for `pause`.
    void Listen(int listener, AcceptFailure onFailure, Clock::duration pause);
    // Takes an accepted socket and reads what it has sent already.
    void Add(int socket, Clock::time_point now);
    // Waits up to `timeoutMs` for sockets, finished replies and the wake-up, and deals with
    // whatever is due, deadlines included.
    void Poll(int timeoutMs);

    bool HasReady() const { return !m_ready.empty(); }
    const QueuedConnection& NextReady() const { return m_ready.front(); }
    // The next ready connection has been handed on to a worker.
    void TakeReady() { m_ready.pop_front(); }

    // Any thread: the worker is done with the connection; its reply is in `reply`. The worker
    // sends what the socket takes at once, without waiting; a reply sent whole ends the
    // connection there, the rest goes to the intake.
    void Finished(HttpConnection* connection);
    // An eventfd that wakes Poll; writing 1 to it from any thread is safe.
    int wakeFd() const { return m_wakeFd; }

    size_t reading() const { return m_reading.size(); }
    size_t ready() const { return m_ready.size(); }
    size_t writing() const { return m_writing.size(); }
    size_t held() const { return m_held + m_queuedBytes; }

private:
    void acceptAll();
    void readFrom(HttpConnection& c);
    // Looks at the head received so far; false when the request was refused (and `c` may be
    // closed already).
    bool checkHead(HttpConnection& c);
    void queue(HttpConnection& c);
    void refuse(HttpConnection& c, const std::string& reply);
    void startReply(HttpConnection& c);
    void writeTo(HttpConnection& c);
    void drain(HttpConnection& c);
    void watch(HttpConnection& c, uint32_t events);
    void close(HttpConnection& c);
    void takeFinished();
    void expire(Clock::time_point now);
    // Makes room for `bytes` more request bytes by dropping the oldest requests still arriving
    // (`c` among them); false when `c` itself had to go.
    bool makeRoom(const HttpConnection& c, size_t bytes);
    void release(HttpConnection& c);
    void setListening(bool on);

    Limits m_limits;
    Refusals m_refusals;
    SessionCheck m_liveSession;
    AcceptFailure m_onAcceptFailure;
    Clock::duration m_acceptPause{};
    int m_epoll = -1;
    int m_wakeFd = -1;
    int m_listener = -1;
    bool m_listening = false;
    Clock::time_point m_acceptPausedUntil{};
    uint64_t m_nextSerial = 1;
    size_t m_held = 0;  // requests still arriving
    // Whole requests with a worker or waiting for one: the worker frees its own when it sends
    // the reply itself.
    std::atomic<size_t> m_queuedBytes{0};

    // Every connection the intake owns; a queued one belongs to its worker until Finished.
    std::map<uint64_t, std::unique_ptr<HttpConnection>> m_all;
    std::map<uint64_t, HttpConnection*> m_reading;  // in accept order
    std::map<uint64_t, HttpConnection*> m_writing;  // writing or lingering
    std::deque<QueuedConnection> m_ready;
    Clock::time_point m_nextSweep{};

    Mutex m_finishedLock;
    std::vector<HttpConnection*> m_finished GUARDED_BY(m_finishedLock);
    std::vector<HttpConnection*> m_taken;
    std::vector<char> m_scratch;
};
