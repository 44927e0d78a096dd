#pragma once

#include <stdsoap2.h>

class ThreadPool;

// The service's HTTP engine context: UTF-8 strings, 10 s receive/send/connect time-outs, a 5 s
// accept time-out (so the accept loop sees the stop flag), SO_REUSEADDR, uploads bounded to
// kMaxRequestBytes, GET requests answered by httpGetHandler. Every context the service makes is
// a brsSoap, so the engine's callbacks may cast back to it.
class brsSoap : public soap {
public:
    static constexpr unsigned long long kMaxRequestBytes = 64ull << 20;

    brsSoap();
    // A worker's own copy of the master context.
    brsSoap(const brsSoap& master, ThreadPool* pool);
    brsSoap(const brsSoap&) = delete;
    brsSoap& operator=(const brsSoap&) = delete;

    ThreadPool* pool = nullptr;
};

// The value of the cookie `name` that the client sent with the current request, or null. The
// engine files received cookies under a path taken from the connection's previous request, so
// its own path-matching lookup is not used.
const char* requestCookie(struct soap* engine, const char* name);
