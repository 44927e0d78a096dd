#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// What the first bytes of a connection say about its request, read before a worker takes it.
struct RequestHead {
    bool complete = false;  // the blank line that ends the head has arrived
    size_t headBytes = 0;   // bytes up to and including that blank line
    // Bytes of head and body together when the head gives the body's length (Content-Length, or
    // no body at all); 0 when it cannot be known (chunked, or a length that does not parse).
    uint64_t requestBytes = 0;
};

// Scans the bytes received so far. A head ends with an empty line (CRLF CRLF, or LF LF from a
// lenient client).
RequestHead scanRequestHead(std::string_view received);
