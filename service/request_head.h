#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// What the first bytes of a connection say about its request, read before a worker takes it.
// The head is read strictly: anything a second reader could take differently (two lengths, a
// length that is not plain digits, a chunked body, a bare CR) is refused, not guessed at.
struct RequestHead {
    bool complete = false;  // the blank line that ends the head has arrived
    size_t headBytes = 0;   // bytes up to and including that blank line
    // 0 when the head may be served; otherwise the status it is refused with (400 malformed,
    // 413 a body above the bound, 501 a transfer coding, 505 another HTTP version).
    int status = 0;
    uint64_t bodyBytes = 0;     // Content-Length, 0 without one
    uint64_t requestBytes = 0;  // head and body together
    bool post = false;          // the method is POST
    // An absolute-form target ("http://host/path"): bytes [targetAt, pathAt) are the scheme and
    // authority, dropped to serve the path. Equal when the target is already a path.
    size_t targetAt = 0;
    size_t pathAt = 0;
    // The value of the `sid` cookie, or empty; it views the scanned bytes.
    std::string_view sid;
};

// Scans the bytes received so far. A head ends with an empty line; lines end with CRLF or LF,
// and one empty line before the request line is skipped. A body longer than `maxBody` is
// refused with 413. An incomplete head is only refused once it already shows a fault.
RequestHead scanRequestHead(std::string_view received, uint64_t maxBody);
