#include "connection_gate.h"

#include <errno.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <utility>

#include "request_head.h"

namespace {

constexpr int kBadRequest = 400;
constexpr int kUriTooLong = 414;
constexpr int kTooLarge = 413;
constexpr size_t kReadPiece = 65536;
constexpr int kEvents = 256;
constexpr auto kSweepEvery = std::chrono::milliseconds(100);
// Marks the wake-up in the epoll set; connections carry their own address.
constexpr uint64_t kWakeTag = 1;
constexpr uint64_t kListenerTag = 2;

constexpr char kUploadPrefix[] = "/fwupdate/";

bool wouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

}  // namespace

ConnectionGate::ConnectionGate(const Limits& limits, Refusals refusals, SessionCheck liveSession)
    : m_limits(limits),
      m_refusals(std::move(refusals)),
      m_liveSession(std::move(liveSession)),
      m_scratch(kReadPiece) {
    m_epoll = epoll_create1(EPOLL_CLOEXEC);
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = kWakeTag;
    epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wakeFd, &ev);
}

ConnectionGate::~ConnectionGate() {
    for (auto& [serial, c] : m_all) {
        ::close(c->socket);
        if (c->replyFile >= 0) ::close(c->replyFile);
    }
    for (const QueuedConnection& q : m_ready) {
        ::close(q.socket);
        delete q.connection;
    }
    ::close(m_wakeFd);
    ::close(m_epoll);
}

void ConnectionGate::Listen(int listener, AcceptFailure onFailure, Clock::duration pause) {
    setListening(false);
    m_listener = listener;
    m_onAcceptFailure = std::move(onFailure);
    m_acceptPause = pause;
    setListening(listener >= 0);
}

void ConnectionGate::setListening(bool on) {
    if (m_listener < 0 || on == m_listening) return;
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = kListenerTag;
    epoll_ctl(m_epoll, on ? EPOLL_CTL_ADD : EPOLL_CTL_DEL, m_listener, &ev);
    m_listening = on;
}

void ConnectionGate::acceptAll() {
    while (m_ready.size() < m_limits.maxReady) {
        int s = accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (s >= 0) {
            Add(s, Clock::now());
            continue;
        }
        if (wouldBlock(errno) || errno == ECONNABORTED) {
            if (errno == ECONNABORTED) continue;
            return;
        }
        // No descriptors left, say: try again later rather than spin.
        int error = errno;
        if (m_onAcceptFailure) m_onAcceptFailure(error);
        setListening(false);
        m_acceptPausedUntil = Clock::now() + m_acceptPause;
        return;
    }
    setListening(false);
}

void ConnectionGate::Add(int socket, Clock::time_point now) {
    if (m_reading.size() >= m_limits.maxReading && !m_reading.empty())
        close(*m_reading.begin()->second);
    auto owned = std::make_unique<HttpConnection>();
    HttpConnection& c = *owned;
    c.socket = socket;
    c.serial = m_nextSerial++;
    c.deadline = now + m_limits.requestTime;
    m_all.emplace(c.serial, std::move(owned));
    m_reading.emplace(c.serial, &c);
    // Most clients have sent their whole request by the time it is accepted.
    readFrom(c);
}

void ConnectionGate::readFrom(HttpConnection& c) {
    for (;;) {
        size_t want = kReadPiece;
        if (c.requestBytes == 0) {
            want = std::min(want, kHeadBytes + 1 - c.request.size());
        } else {
            want = static_cast<size_t>(std::min<uint64_t>(want, c.requestBytes - c.request.size()));
        }
        if (want == 0) break;
        ssize_t n = recv(c.socket, m_scratch.data(), want, 0);
        if (n < 0 && wouldBlock(errno)) {
            watch(c, EPOLLIN | EPOLLRDHUP);
            return;
        }
        if (n <= 0) {
            // Gone: a request whose head is whole but whose body was cut short is answered;
            // one that never finished its head has nobody left to answer.
            if (c.requestBytes != 0) {
                refuse(c, m_refusals.byStatus[kBadRequest]);
            } else {
                close(c);
            }
            return;
        }
        if (!makeRoom(c, static_cast<size_t>(n))) return;
        c.request.append(m_scratch.data(), static_cast<size_t>(n));
        m_held += static_cast<size_t>(n);
        // A refused request may be closed and gone already.
        if (c.requestBytes == 0 && !checkHead(c)) return;
        if (c.requestBytes != 0 && c.request.size() >= c.requestBytes) break;
    }
    queue(c);
}

bool ConnectionGate::checkHead(HttpConnection& c) {
    RequestHead head = scanRequestHead(c.request, m_limits.maxBody);
    auto isUpload = [&] {
        std::string_view target = std::string_view(c.request).substr(head.pathAt);
        return head.post && target.substr(0, sizeof(kUploadPrefix) - 1) == kUploadPrefix;
    };
    auto anonymous = [&] { return head.sid.empty() || !m_liveSession(head.sid); };
    // An upload is refused for its missing session before its size, as it always was.
    if (head.status == kTooLarge && isUpload() && anonymous()) {
        refuse(c, m_refusals.unauthorized);
        return false;
    }
    if (head.status != 0) {
        refuse(c, m_refusals.byStatus[head.status]);
        return false;
    }
    if (!head.complete) {
        if (c.request.size() <= kHeadBytes) return true;
        bool lineEnded = c.request.find('\n') != std::string::npos;
        refuse(c, m_refusals.byStatus[lineEnded ? kBadRequest : kUriTooLong]);
        return false;
    }
    std::string_view target = std::string_view(c.request).substr(head.pathAt);
    bool upload = isUpload();
    if (head.bodyBytes > m_limits.bodyWithoutSession && anonymous()) {
        // Only logged-in clients send large bodies; nobody else gets to park them here.
        const std::string& reply = upload && head.post ? m_refusals.unauthorized
                                   : head.post         ? m_refusals.parseError
                                                       : m_refusals.byStatus[413];
        refuse(c, reply);
        return false;
    }
    c.post = head.post;
    c.requestBytes = head.requestBytes;
    if (head.pathAt != head.targetAt) {
        // Served by its path: the scheme and authority of an absolute-form target go.
        size_t cut = head.pathAt - head.targetAt;
        bool root = target.empty() || target.front() == ' ';
        c.request.erase(head.targetAt, cut);
        if (root) c.request.insert(c.request.begin() + static_cast<ptrdiff_t>(head.targetAt), '/');
        size_t removed = cut - (root ? 1 : 0);
        c.requestBytes -= removed;
        m_held -= removed;
    }
    return true;
}

void ConnectionGate::queue(HttpConnection& c) {
    m_reading.erase(c.serial);
    c.stage = HttpConnection::Stage::kQueued;
    if (c.watched) {
        epoll_ctl(m_epoll, EPOLL_CTL_DEL, c.socket, nullptr);
        c.watched = false;
    }
    m_held -= c.request.size();
    m_queuedBytes += c.request.size();
    QueuedConnection q;
    q.socket = c.socket;
    q.deadline = c.deadline;
    q.requestBytes = c.requestBytes;
    q.connection = &c;
    // The worker owns it from here; Finished gives it back unless the worker ends it.
    auto owned = m_all.find(c.serial);
    (void)owned->second.release();
    m_all.erase(owned);
    m_ready.push_back(q);
}

bool ConnectionGate::makeRoom(const HttpConnection& c, size_t bytes) {
    while (m_held + m_queuedBytes + bytes > m_limits.memory && !m_reading.empty()) {
        HttpConnection& oldest = *m_reading.begin()->second;
        bool self = &oldest == &c;
        close(oldest);
        if (self) return false;
    }
    return true;
}

void ConnectionGate::release(HttpConnection& c) {
    if (c.stage == HttpConnection::Stage::kReading) m_held -= c.request.size();
    if (c.stage == HttpConnection::Stage::kQueued) m_queuedBytes -= c.request.size();
    std::string().swap(c.request);
}

void ConnectionGate::watch(HttpConnection& c, uint32_t events) {
    epoll_event ev{};
    ev.events = events;
    ev.data.ptr = &c;
    epoll_ctl(m_epoll, c.watched ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, c.socket, &ev);
    c.watched = true;
}

void ConnectionGate::close(HttpConnection& c) {
    release(c);
    m_reading.erase(c.serial);
    m_writing.erase(c.serial);
    // Closing the socket also takes it out of the epoll set.
    ::close(c.socket);
    if (c.replyFile >= 0) ::close(c.replyFile);
    m_all.erase(c.serial);
}

void ConnectionGate::Poll(int timeoutMs) {
    if (!m_listening && m_listener >= 0 && Clock::now() >= m_acceptPausedUntil &&
        m_ready.size() < m_limits.maxReady) {
        setListening(true);
    }
    if (!m_all.empty() || !m_listening) {
        timeoutMs = std::min(timeoutMs, static_cast<int>(kSweepEvery.count()));
    }
    epoll_event events[kEvents];
    int n = epoll_wait(m_epoll, events, kEvents, timeoutMs);
    for (int i = 0; i < n; ++i) {
        if (events[i].data.u64 == kWakeTag) {
            eventfd_t ignored;
            eventfd_read(m_wakeFd, &ignored);
            takeFinished();
        } else if (events[i].data.u64 == kListenerTag) {
            acceptAll();
        } else {
            auto& c = *static_cast<HttpConnection*>(events[i].data.ptr);
            switch (c.stage) {
                case HttpConnection::Stage::kReading:
                    readFrom(c);
                    break;
                case HttpConnection::Stage::kWriting:
                    writeTo(c);
                    break;
                case HttpConnection::Stage::kLingering:
                    drain(c);
                    break;
                case HttpConnection::Stage::kQueued:
                    break;
            }
        }
    }
    // Replies finished while this round ran go out now rather than after the next wait.
    takeFinished();
    Clock::time_point now = Clock::now();
    if (now >= m_nextSweep) {
        expire(now);
        m_nextSweep = now + kSweepEvery;
    }
}

void ConnectionGate::expire(Clock::time_point now) {
    for (auto it = m_all.begin(); it != m_all.end();) {
        HttpConnection& c = *(it++)->second;
        if (c.stage == HttpConnection::Stage::kQueued || c.deadline > now) continue;
        if (c.stage == HttpConnection::Stage::kReading && c.requestBytes != 0) {
            // The head arrived but the body did not: told so, and not run.
            refuse(c, m_refusals.byStatus[kBadRequest]);
        } else {
            close(c);
        }
    }
}
