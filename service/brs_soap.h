#pragma once

#include <stdsoap2.h>

#include <cstddef>
#include <cstdint>

class ThreadPool;
struct HttpConnection;
struct QueuedConnection;
struct RpcServices;

// The service's HTTP engine context: UTF-8 strings, 10 s receive/send/connect time-outs, a 5 s
// accept time-out, SO_REUSEADDR, uploads bounded to kMaxRequestBytes, GET requests answered by
// httpGetHandler. Every context the service makes is a brsSoap, so the engine's callbacks may
// cast back to it.
class brsSoap : public soap {
public:
    static constexpr unsigned long long kMaxRequestBytes = 64ull << 20;

    brsSoap();
    // A worker's own copy of the master context. It never touches a socket: it reads the
    // request the intake received and writes its reply into the connection's memory.
    brsSoap(const brsSoap& master, ThreadPool* pool);
    brsSoap(const brsSoap&) = delete;
    brsSoap& operator=(const brsSoap&) = delete;

    // Serves the connection's request, as the intake read it whole.
    void BeginRequest(const QueuedConnection& connection);
    // The connection being served, or null.
    HttpConnection* connection() const { return m_connection; }

    ThreadPool* pool = nullptr;
    // What the GET side serves from: the service's sessions and event log, and the web folder
    // (empty: the selected file source). Set on the master by the start-up; copies share them.
    RpcServices* services = nullptr;
    const char* wwwDir = "";

private:
    static size_t receive(struct soap* engine, char* buffer, size_t length);
    static int send(struct soap* engine, const char* data, size_t length);
    static int keepOpen(struct soap* engine);
    static int keepSocket(struct soap* engine, SOAP_SOCKET socket);
    static int keepBothWays(struct soap* engine, SOAP_SOCKET socket, int how);

    HttpConnection* m_connection = nullptr;
    size_t m_readAt = 0;
};

// The value of the cookie `name` that the client sent with the current request, or null. The
// engine files received cookies under a path taken from the connection's previous request, so
// its own path-matching lookup is not used.
const char* requestCookie(struct soap* engine, const char* name);
