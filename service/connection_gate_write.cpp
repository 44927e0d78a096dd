// The intake's sending side: replies the workers finished, and the refusals it sends itself.

#include <errno.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include "connection_gate.h"

namespace {

bool wouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

}  // namespace

void ConnectionGate::Finished(HttpConnection* connection) {
    HttpConnection& c = *connection;
    if (c.replyFile < 0 && !c.lingerAfter) {
        // Most replies fit the socket's buffer: sent here, they cost the intake nothing.
        bool ended = false;
        while (c.replySent < c.reply.size()) {
            ssize_t n = send(c.socket, c.reply.data() + c.replySent, c.reply.size() - c.replySent,
                             MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n <= 0) {
                ended = !(n < 0 && wouldBlock(errno));
                break;
            }
            c.replySent += static_cast<size_t>(n);
        }
        if (ended || c.replySent == c.reply.size()) {
            m_queuedBytes -= c.request.size();
            ::close(c.socket);
            delete connection;
            return;
        }
    }
    bool first = false;
    {
        MutexLock guard(m_finishedLock);
        first = m_finished.empty();
        m_finished.push_back(connection);
    }
    // One wake-up for a batch: the intake takes every finished reply when it wakes.
    if (first) eventfd_write(m_wakeFd, 1);
}

void ConnectionGate::takeFinished() {
    {
        MutexLock guard(m_finishedLock);
        m_taken.swap(m_finished);
    }
    for (HttpConnection* c : m_taken) {
        m_all.emplace(c->serial, std::unique_ptr<HttpConnection>(c));
        release(*c);
        startReply(*c);
    }
    m_taken.clear();
}

void ConnectionGate::refuse(HttpConnection& c, const std::string& reply) {
    release(c);
    m_reading.erase(c.serial);
    c.reply = reply;
    c.lingerAfter = true;
    startReply(c);
}

void ConnectionGate::startReply(HttpConnection& c) {
    if (m_writing.size() >= m_limits.maxWriting && !m_writing.empty())
        close(*m_writing.begin()->second);
    c.stage = HttpConnection::Stage::kWriting;
    uint64_t bytes = c.reply.size() + c.replyFileLeft;
    // One deadline for the whole reply; a large one gets time at the floor rate on top.
    c.deadline = Clock::now() + m_limits.replyTime +
                 std::chrono::seconds(bytes / std::max<uint64_t>(m_limits.replyFloor, 1));
    m_writing.emplace(c.serial, &c);
    writeTo(c);
}

void ConnectionGate::writeTo(HttpConnection& c) {
    while (c.replySent < c.reply.size()) {
        ssize_t n = send(c.socket, c.reply.data() + c.replySent, c.reply.size() - c.replySent,
                         MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && wouldBlock(errno)) {
            watch(c, EPOLLOUT);
            return;
        }
        if (n <= 0) {
            close(c);
            return;
        }
        c.replySent += static_cast<size_t>(n);
    }
    while (c.replyFileLeft > 0) {
        ssize_t n = sendfile(c.socket, c.replyFile, &c.replyFileAt,
                             static_cast<size_t>(std::min<uint64_t>(c.replyFileLeft, 1 << 20)));
        if (n < 0 && wouldBlock(errno)) {
            watch(c, EPOLLOUT);
            return;
        }
        if (n <= 0) {
            close(c);
            return;
        }
        c.replyFileLeft -= static_cast<uint64_t>(n);
    }
    if (!c.lingerAfter) {
        close(c);
        return;
    }
    // The client may still be sending the body we did not want; reading it for a moment
    // lets the reply arrive before the close resets the connection.
    shutdown(c.socket, SHUT_WR);
    c.stage = HttpConnection::Stage::kLingering;
    c.deadline = Clock::now() + m_limits.linger;
    std::string().swap(c.reply);
    drain(c);
}

void ConnectionGate::drain(HttpConnection& c) {
    // A few pieces at a time, so a client that floods us does not keep the others waiting.
    for (int piece = 0;; ++piece) {
        ssize_t n = recv(c.socket, m_scratch.data(), m_scratch.size(), 0);
        if (n > 0 && piece < 16) continue;
        if (n > 0) return;  // still readable: the next round comes back here
        if (n < 0 && wouldBlock(errno)) {
            watch(c, EPOLLIN | EPOLLRDHUP);
            return;
        }
        close(c);
        return;
    }
}
