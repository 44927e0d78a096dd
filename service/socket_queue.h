#pragma once

#include <condition_variable>
#include <mutex>

// The ring of accepted sockets between the accept loop and the workers: 16 slots, one kept
// free to tell full from empty, so at most 15 sockets wait. -1 is the workers' stop token.
class SocketQueue {
public:
    static constexpr int kSlots = 16;
    static constexpr int kFull = 20;

    // 0 when queued, kFull when the ring is full (the socket is not taken).
    int Push(int socket);
    // Blocks until a socket is queued.
    int Pop();

private:
    std::mutex m_lock;
    std::condition_variable m_ready;
    int m_slots[kSlots] = {};
    int m_head = 0;
    int m_tail = 0;
};
