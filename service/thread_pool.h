#pragma once

#include <pthread.h>

#include <functional>

#include "socket_queue.h"

class brsSoap;
struct soap;

// Serves one accepted connection on a worker's engine context; returns the engine's status.
using RequestHandler = std::function<int(struct soap*)>;
// Takes a served connection back, its reply written.
using FinishedHandler = std::function<void(HttpConnection*)>;

// The connection workers: up to kMaxWorkers threads, each with its own copy of the master
// engine context, taking whole requests from the ring and serving each with the handler Start
// was given; the reply goes back to the intake, which sends it.
// Start and Stop are called by the accept thread only; Push and Pop from any thread.
class ThreadPool {
public:
    static constexpr int kMaxWorkers = 10;
    static constexpr int kStopToken = -1;

    ThreadPool() = default;
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;
    ~ThreadPool();

    // Starts workers until kMaxWorkers run or a thread cannot be created (logged). Returns the
    // number started.
    int Start(const brsSoap& master, RequestHandler handler, FinishedHandler finished);
    // 0, or SocketQueue::kFull when the ring is full.
    int Push(const QueuedConnection& connection) { return m_queue.Push(connection); }
    int Push(int socket) { return m_queue.Push(socket); }
    QueuedConnection Pop() { return m_queue.Pop(); }
    // See SocketQueue::SetSpaceSignal.
    void SetSpaceSignal(int fd) { m_queue.SetSpaceSignal(fd); }
    // Ends every worker once the sockets queued before are served, joins them and frees their
    // contexts.
    void Stop();
    int count() const { return m_count; }

private:
    static void* Worker(void* copy) noexcept;

    RequestHandler m_handler;
    FinishedHandler m_finished;
    int m_count = 0;
    brsSoap* m_soap[kMaxWorkers] = {};
    pthread_t m_thread[kMaxWorkers] = {};
    SocketQueue m_queue;
};
