#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

struct HttpConnection;

// An accepted connection on its way to a worker, with the limits its request is read under.
struct QueuedConnection {
    int socket = -1;
    // The whole request (head and body) must have arrived by then.
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
    // Bytes of the whole request as its head announced them; 0 when not known.
    uint64_t requestBytes = 0;
    // The request as the intake read it, and where the worker writes the reply.
    HttpConnection* connection = nullptr;
};

// The ring of accepted connections between the accept loop and the workers: 16 slots, one kept
// free to tell full from empty, so at most 15 connections wait. Socket -1 is the workers' stop
// token. A Pop that frees a slot of a full ring writes to the space descriptor, so the accept
// thread can wait for room in the same poll as for its sockets.
class SocketQueue {
public:
    static constexpr int kSlots = 16;
    static constexpr int kFull = 20;

    // 0 when queued, kFull when the ring is full (the connection is not taken).
    int Push(const QueuedConnection& connection);
    int Push(int socket) { return Push(QueuedConnection{socket}); }
    // Blocks until a connection is queued.
    QueuedConnection Pop();
    // An eventfd (or -1) told when a full ring gets room again.
    void SetSpaceSignal(int fd);

private:
    std::mutex m_lock;
    std::condition_variable m_ready;
    QueuedConnection m_slots[kSlots] = {};
    int m_head = 0;
    int m_tail = 0;
    bool m_wasFull = false;
    int m_spaceFd = -1;
};
