#include "request_head.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(RequestHead, FindsTheEndAndTheRequestSize) {
    struct Case {
        const char* name;
        std::string bytes;
        bool complete;
        size_t headBytes;
        uint64_t requestBytes;
    };
    const std::string post = "POST / HTTP/1.1\r\nHost: x\r\nContent-Length: 12\r\n\r\n";
    const Case cases[] = {
        {"nothing yet", "", false, 0, 0},
        {"request line only", "GET / HTTP/1.1\r\n", false, 0, 0},
        {"one blank short", "GET / HTTP/1.1\r\nHost: x\r\n", false, 0, 0},
        {"GET without body", "GET / HTTP/1.1\r\nHost: x\r\n\r\n", true, 27, 27},
        {"no fields at all", "GET / HTTP/1.1\r\n\r\n", true, 18, 18},
        {"lenient line ends", "GET / HTTP/1.1\nHost: x\n\n", true, 24, 24},
        {"POST with its length", post, true, post.size(), post.size() + 12},
        {"body bytes after the head", post + "{\"a\":1}", true, post.size(), post.size() + 12},
        {"field name in any case", "POST / HTTP/1.1\r\ncOnTeNt-LeNgTh:  5 \r\n\r\n", true, 40, 45},
        {"chunked: size unknown", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", true, 47,
         0},
        {"length not a number", "POST / HTTP/1.1\r\nContent-Length: 1x\r\n\r\n", true, 39, 0},
        {"two lengths that differ",
         "POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n", true, 57, 0},
        {"length past 64 bits",
         "POST / HTTP/1.1\r\nContent-Length: 99999999999999999999999\r\n\r\n", true, 60, 0},
        {"a name that only starts alike", "POST / HTTP/1.1\r\nContent-Lengthy: 5\r\n\r\n", true, 39,
         39},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RequestHead head = scanRequestHead(c.bytes);
        EXPECT_EQ(head.complete, c.complete);
        EXPECT_EQ(head.headBytes, c.headBytes);
        EXPECT_EQ(head.requestBytes, c.requestBytes);
    }
}

}  // namespace
