#include "request_head.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr uint64_t kBound = 1000;

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
        {"a CR waiting for its LF", "GET / HTTP/1.1\r\nHost: x\r\n\r", false, 0, 0},
        {"GET without body", "GET / HTTP/1.1\r\nHost: x\r\n\r\n", true, 27, 27},
        {"no fields at all", "GET / HTTP/1.1\r\n\r\n", true, 18, 18},
        {"LF line ends", "GET / HTTP/1.1\nHost: x\n\n", true, 24, 24},
        {"one empty line before the request", "\r\nGET / HTTP/1.0\r\n\r\n", true, 20, 20},
        {"POST with its length", post, true, post.size(), post.size() + 12},
        {"body bytes after the head", post + "{\"a\":1}", true, post.size(), post.size() + 12},
        {"field name in any case", "POST / HTTP/1.1\r\ncOnTeNt-LeNgTh:  5 \r\n\r\n", true, 40, 45},
        {"a name that only starts alike", "POST / HTTP/1.1\r\nContent-Lengthy: 5\r\n\r\n", true, 39,
         39},
        {"a length at the bound", "POST / HTTP/1.1\r\nContent-Length: 1000\r\n\r\n", true, 41,
         1041},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RequestHead head = scanRequestHead(c.bytes, kBound);
        EXPECT_EQ(head.status, 0);
        EXPECT_EQ(head.complete, c.complete);
        EXPECT_EQ(head.headBytes, c.headBytes);
        EXPECT_EQ(head.requestBytes, c.requestBytes);
    }
}

TEST(RequestHead, RefusesWhatCouldBeReadTwoWays) {
    struct Case {
        const char* name;
        std::string bytes;
        int status;
    };
    const std::string line = "POST / HTTP/1.1\r\n";
    const Case cases[] = {
        {"two lengths that differ", line + "Content-Length: 1\r\nContent-Length: 2\r\n\r\n", 400},
        {"the same length twice", line + "Content-Length: 2\r\nContent-Length: 2\r\n\r\n", 400},
        {"a list of lengths", line + "Content-Length: 2, 2\r\n\r\n", 400},
        {"a plus sign", line + "Content-Length: +49\r\n\r\n", 400},
        {"trailing text", line + "Content-Length: 49 abc\r\n\r\n", 400},
        {"hexadecimal", line + "Content-Length: 0x31\r\n\r\n", 400},
        {"an empty value", line + "Content-Length:\r\n\r\n", 400},
        {"a negative value", line + "Content-Length: -1\r\n\r\n", 400},
        {"a blank before the colon", line + "Content-Length : 49\r\n\r\n", 400},
        {"a field without a colon", line + "Host x\r\n\r\n", 400},
        {"a folded line", line + "Host: x\r\n  y\r\n\r\n", 400},
        {"a NUL in a value", line + std::string("Host: a\0b\r\n\r\n", 13), 400},
        {"a NUL in an unfinished head", line + std::string("Host: a\0", 8), 400},
        {"above the bound", line + "Content-Length: 1001\r\n\r\n", 413},
        {"past 64 bits", line + "Content-Length: 99999999999999999999999\r\n\r\n", 413},
        {"above the bound, then malformed", line + "Content-Length: 1001\r\nHost x\r\n\r\n", 400},
        {"chunked", line + "Transfer-Encoding: chunked\r\n\r\n", 501},
        {"chunked with a length", line + "Content-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n",
         501},
        {"any coding", line + "transfer-encoding: gzip\r\n\r\n", 501},
        {"bare CR line ends", "GET / HTTP/1.1\rHost: x\r\r", 400},
        {"a CR inside a line", "GET / HTTP/1.1\r\nHost: x\ry\r\n\r\n", 400},
        {"HTTP/0.9", "GET /\r\n", 400},
        {"no version, LF", "GET /index.html\n\n", 400},
        {"version in lower case", "GET / http/1.1\r\n\r\n", 400},
        {"two blanks", "GET  / HTTP/1.1\r\n\r\n", 400},
        {"a blank after the version", "GET / HTTP/1.1 \r\n\r\n", 400},
        {"a tab for the blank", "GET\t/ HTTP/1.1\r\n\r\n", 400},
        {"a method that is no token", "G(T / HTTP/1.1\r\n\r\n", 400},
        {"HTTP/9.9", "GET / HTTP/9.9\r\n\r\n", 505},
        {"HTTP/2.0", "GET / HTTP/2.0\r\n\r\n", 505},
        {"HTTP/1.10", "GET / HTTP/1.10\r\n\r\n", 400},
        {"two empty lines first", "\r\n\r\nGET / HTTP/1.1\r\n\r\n", 400},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(scanRequestHead(c.bytes, kBound).status, c.status);
    }
}

TEST(RequestHead, ReadsTheTargetMethodAndSession) {
    RequestHead origin = scanRequestHead("GET /a.js HTTP/1.1\r\n\r\n", kBound);
    EXPECT_FALSE(origin.post);
    EXPECT_EQ(origin.targetAt, 4u);
    EXPECT_EQ(origin.pathAt, 4u);

    const std::string absolute = "GET http://host:6/index.html?x HTTP/1.1\r\n\r\n";
    RequestHead a = scanRequestHead(absolute, kBound);
    EXPECT_EQ(a.status, 0);
    EXPECT_EQ(absolute.substr(a.targetAt, a.pathAt - a.targetAt), "http://host:6");
    EXPECT_EQ(absolute.substr(a.pathAt, 13), "/index.html?x");
    RequestHead bare = scanRequestHead("GET HTTPS://host HTTP/1.1\r\n\r\n", kBound);
    EXPECT_EQ(bare.pathAt - bare.targetAt, 12u);

    const std::string cookies =
        "POST / HTTP/1.1\r\nCookie: uid=admin; sid=0123abcd\r\nCookie: sid=later\r\n\r\n";
    RequestHead c = scanRequestHead(cookies, kBound);
    EXPECT_TRUE(c.post);
    EXPECT_EQ(c.sid, "0123abcd");
    EXPECT_EQ(scanRequestHead("POST / HTTP/1.1\r\nCookie: xsid=1\r\n\r\n", kBound).sid, "");
}

}  // namespace
