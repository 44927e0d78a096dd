#pragma once

#include <stdsoap2.h>

#include <chrono>
#include <cstdint>

class ThreadPool;
struct QueuedConnection;
struct RpcServices;

// The service's HTTP engine context: UTF-8 strings, 10 s receive/send/connect time-outs, a 5 s
// accept time-out, SO_REUSEADDR, uploads bounded to kMaxRequestBytes, GET requests answered by
// httpGetHandler. Every context the service makes is
// a brsSoap, so the engine's callbacks may cast back to it.
class brsSoap : public soap {
public:
    static constexpr unsigned long long kMaxRequestBytes = 64ull << 20;

    brsSoap();
    // A worker's own copy of the master context.
    brsSoap(const brsSoap& master, ThreadPool* pool);
    brsSoap(const brsSoap&) = delete;
    brsSoap& operator=(const brsSoap&) = delete;

    // Serves the connection under its limits: every read of the request waits at most until
    // its deadline, and nothing past the request's announced size is read.
    void BeginRequest(const QueuedConnection& connection);

    ThreadPool* pool = nullptr;
    // What the GET side serves from: the service's sessions and event log, and the web folder
    // (empty: the selected file source). Set on the master by the start-up; copies share them.
    RpcServices* services = nullptr;
    const char* wwwDir = "";

private:
    static size_t receive(struct soap* engine, char* buffer, size_t length);

    size_t (*m_engineReceive)(struct soap*, char*, size_t) = nullptr;
    std::chrono::steady_clock::time_point m_deadline = std::chrono::steady_clock::time_point::max();
    uint64_t m_requestBytes = 0;
    uint64_t m_received = 0;
};

// The value of the cookie `name` that the client sent with the current request, or null. The
// engine files received cookies under a path taken from the connection's previous request, so
// its own path-matching lookup is not used.
const char* requestCookie(struct soap* engine, const char* name);
