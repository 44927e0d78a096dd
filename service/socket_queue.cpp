#include "socket_queue.h"

#include <sys/eventfd.h>

int SocketQueue::Push(const QueuedConnection& connection) {
    int result = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        int next = m_tail + 1 == kSlots ? 0 : m_tail + 1;
        if (next == m_head) {
            result = kFull;
            m_wasFull = true;
        } else {
            m_slots[m_tail] = connection;
            m_tail = next;
        }
    }
    m_ready.notify_one();
    return result;
}

QueuedConnection SocketQueue::Pop() {
    int signal = -1;
    QueuedConnection connection;
    {
        std::unique_lock<std::mutex> guard(m_lock);
        m_ready.wait(guard, [this] { return m_head != m_tail; });
        connection = m_slots[m_head];
        m_head = m_head + 1 == kSlots ? 0 : m_head + 1;
        if (m_wasFull) {
            m_wasFull = false;
            signal = m_spaceFd;
        }
    }
    if (signal >= 0) eventfd_write(signal, 1);
    return connection;
}

void SocketQueue::SetSpaceSignal(int fd) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_spaceFd = fd;
}
