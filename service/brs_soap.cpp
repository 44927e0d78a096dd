#include "brs_soap.h"

#include <sys/socket.h>

#include <algorithm>
#include <cstring>

#include "file_server.h"
#include "http_connection.h"
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
}

brsSoap::brsSoap(const brsSoap& listener, ThreadPool* workerPool)
    : soap(static_cast<const soap&>(listener)),
      pool(workerPool),
      services(listener.services),
      wwwDir(listener.wwwDir) {
    frecv = receive;
    fsend = send;
    // The intake closes the connection once the reply is out; the engine must not.
    fclose = keepOpen;
    fclosesocket = keepSocket;
    fshutdownsocket = keepBothWays;
}

void brsSoap::BeginRequest(const QueuedConnection& connection) {
    socket = connection.socket;
    m_connection = connection.connection;
    m_readAt = 0;
}

size_t brsSoap::receive(struct soap* engine, char* buffer, size_t length) {
    auto* self = static_cast<brsSoap*>(engine);
    if (self->m_connection == nullptr) return 0;
    const std::string& request = self->m_connection->request;
    // Past its announced end the request is over: the engine must not wait for more (a
    // multipart body without its boundary would otherwise be read to the end of the buffer).
    size_t end =
        static_cast<size_t>(std::min<uint64_t>(request.size(), self->m_connection->requestBytes));
    size_t n = std::min(length, end - std::min(end, self->m_readAt));
    std::memcpy(buffer, request.data() + self->m_readAt, n);
    self->m_readAt += n;
    return n;
}

int brsSoap::send(struct soap* engine, const char* data, size_t length) {
    auto* self = static_cast<brsSoap*>(engine);
    if (self->m_connection != nullptr) self->m_connection->reply.append(data, length);
    return SOAP_OK;
}

int brsSoap::keepOpen(struct soap*) {
    return SOAP_OK;
}

int brsSoap::keepSocket(struct soap*, SOAP_SOCKET) {
    return SOAP_OK;
}

int brsSoap::keepBothWays(struct soap*, SOAP_SOCKET, int) {
    return SOAP_OK;
}

const char* requestCookie(struct soap* engine, const char* name) {
    for (struct soap_cookie* c = engine->cookies; c != nullptr; c = c->next) {
        if (c->env && c->name != nullptr && std::strcmp(c->name, name) == 0) return c->value;
    }
    return nullptr;
}
