#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>

// One accepted connection and its one request, from the accept to the last byte of the reply.
// The intake owns it; while it waits in the ring or is served, the worker that took it is the
// only one to touch it, until it is handed back with its reply.
struct HttpConnection {
    using Clock = std::chrono::steady_clock;
    enum class Stage {
        kReading,    // the request is still arriving
        kQueued,     // whole; in the ring or with a worker
        kWriting,    // the reply is being sent
        kLingering,  // a refusal was sent; what the client still sends is read and dropped
    };

    int socket = -1;
    uint64_t serial = 0;  // accept order
    Stage stage = Stage::kReading;
    // Reading: the request's (from the accept). Writing: the reply's. Lingering: the end of it.
    Clock::time_point deadline{};
    bool watched = false;  // registered with the intake's epoll

    // Head and body as received; the worker's engine reads from it.
    std::string request;
    uint64_t requestBytes = 0;  // 0 until the head is whole
    bool post = false;

    // Written by the worker's engine, or a refusal the intake sends itself.
    std::string reply;
    size_t replySent = 0;
    // A reply too large to hold goes out from this descriptor after `reply` (the head).
    int replyFile = -1;
    off_t replyFileAt = 0;
    uint64_t replyFileLeft = 0;
    // After the reply: stop sending and drop what the client still sends for a moment, so
    // closing does not reset the connection before the client has read the answer.
    bool lingerAfter = false;
};
