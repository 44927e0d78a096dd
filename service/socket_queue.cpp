#include "socket_queue.h"

int SocketQueue::Push(int socket) {
    int result = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        int next = m_tail + 1 == kSlots ? 0 : m_tail + 1;
        if (next == m_head) {
            result = kFull;
        } else {
            m_slots[m_tail] = socket;
            m_tail = next;
        }
    }
    m_ready.notify_one();
    return result;
}

int SocketQueue::Pop() {
    std::unique_lock<std::mutex> guard(m_lock);
    m_ready.wait(guard, [this] { return m_head != m_tail; });
    int socket = m_slots[m_head];
    m_head = m_head + 1 == kSlots ? 0 : m_head + 1;
    return socket;
}
