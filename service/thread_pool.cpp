#include "thread_pool.h"

#include <string.h>
#include <time.h>

#include <utility>

#include "brs_soap.h"
#include "log.h"

namespace {

void sleepMs(long ms) {
    timespec ts{ms / 1000, (ms % 1000) * 1000000};
    nanosleep(&ts, nullptr);
}

}  // namespace

ThreadPool::~ThreadPool() {
    Stop();
}

int ThreadPool::Start(const brsSoap& master, RequestHandler handler, FinishedHandler finished) {
    m_handler = std::move(handler);
    m_finished = std::move(finished);
    while (m_count < kMaxWorkers) {
        auto* copy = new brsSoap(master, this);
        int rc = pthread_create(&m_thread[m_count], nullptr, Worker, copy);
        if (rc != 0) {
            char reason[128];
            logPrint(kLogError, "fail to start worker thread %d: %s", m_count,
                     strerror_r(rc, reason, sizeof(reason)));
            delete copy;
            break;
        }
        m_soap[m_count++] = copy;
    }
    return m_count;
}

void* ThreadPool::Worker(void* arg) noexcept {
    auto* copy = static_cast<brsSoap*>(arg);
    for (;;) {
        QueuedConnection connection = copy->pool->Pop();
        if (connection.socket == kStopToken) break;
        copy->BeginRequest(connection);
        // Received cookies take their path from this field; a stale one from the previous
        // request would mismatch them.
        copy->path[0] = '\0';
        copy->pool->m_handler(copy);
        soap_destroy(copy);
        soap_end(copy);
        soap_free_cookies(copy);
        // Whatever the request's road, the intake sends what was written and closes.
        copy->socket = SOAP_INVALID_SOCKET;
        copy->pool->m_finished(connection.connection);
    }
    return nullptr;
}

void ThreadPool::Stop() {
    for (int i = 0; i < m_count; ++i) {
        while (Push(kStopToken) == SocketQueue::kFull) sleepMs(1);
    }
    for (int i = 0; i < m_count; ++i) {
        pthread_join(m_thread[i], nullptr);
        delete m_soap[i];
        m_soap[i] = nullptr;
    }
    m_count = 0;
}
