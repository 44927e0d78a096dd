#include "brs_soap.h"

#include <sys/socket.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "file_server.h"
#include "socket_queue.h"

brsSoap::brsSoap() : soap(SOAP_C_UTFSTRING, SOAP_C_UTFSTRING) {
    mode = SOAP_C_UTFSTRING;
    recv_timeout = 10;
    send_timeout = 10;
    connect_timeout = 10;
    accept_timeout = 5;
    bind_flags = SO_REUSEADDR;
    recv_maxlength = kMaxRequestBytes;
    // Set directly rather than through the GET plugin, whose shared counters are unlocked.
    fget = httpGetHandler;
    m_engineReceive = frecv;
    frecv = receive;
}

brsSoap::brsSoap(const brsSoap& listener, ThreadPool* workerPool)
    : soap(static_cast<const soap&>(listener)),
      pool(workerPool),
      services(listener.services),
      wwwDir(listener.wwwDir),
      m_engineReceive(listener.m_engineReceive) {}

void brsSoap::BeginRequest(const QueuedConnection& connection) {
    socket = connection.socket;
    m_deadline = connection.deadline;
    m_requestBytes = connection.requestBytes;
    m_received = 0;
    recv_timeout = 10;
}

size_t brsSoap::receive(struct soap* engine, char* buffer, size_t length) {
    auto* self = static_cast<brsSoap*>(engine);
    if (self->m_requestBytes != 0) {
        // Past its announced end the request is over: the engine must not wait for more (a
        // multipart body without its boundary would otherwise be read until the deadline).
        if (self->m_received >= self->m_requestBytes) return 0;
        length = static_cast<size_t>(
            std::min<uint64_t>(length, self->m_requestBytes - self->m_received));
    }
    if (self->m_deadline != std::chrono::steady_clock::time_point::max()) {
        using std::chrono::microseconds;
        long long left = std::chrono::duration_cast<microseconds>(self->m_deadline -
                                                                  std::chrono::steady_clock::now())
                             .count();
        // After the deadline only what has already arrived is read. Negative: microseconds.
        left = std::clamp<long long>(left, 1, INT_MAX);
        self->recv_timeout = -static_cast<int>(left);
    }
    size_t got = self->m_engineReceive(engine, buffer, length);
    self->m_received += got;
    return got;
}

const char* requestCookie(struct soap* engine, const char* name) {
    for (struct soap_cookie* c = engine->cookies; c != nullptr; c = c->next) {
        if (c->env && c->name != nullptr && std::strcmp(c->name, name) == 0) return c->value;
    }
    return nullptr;
}
