#include <gtest/gtest.h>

#include <regex>

#include "service_fixture.h"

namespace svctest {
namespace {

const char kJsonType[] = "application/json; charset=utf-8";

TEST(RpcHttp, UnparsableBodiesGetAParseError) {
    ConsoleService service;
    ASSERT_TRUE(service.ready) << service.log();
    for (const char* body : {"not json", "", "{\"jsonrpc\":\"2.0\",", "\xff\xfe"}) {
        SCOPED_TRACE(body);
        HttpReply reply = httpPost(service.port, "/", body);
        EXPECT_EQ(reply.status, 200);
        EXPECT_EQ(reply.headers["content-type"], kJsonType);
        EXPECT_EQ(reply.body,
                  R"({"jsonrpc":"2.0","error":{"code":-32700,"message":"Parse error"}})");
    }
    EXPECT_TRUE(service.stop());
}

// The length a client announces is not taken on trust before login: a body announced over the
// bound is refused unread, however large the number, and the service goes on serving.
TEST(RpcHttp, BodyAnnouncedOverTheBoundIsRefusedUnread) {
    ConsoleService service;
    ASSERT_TRUE(service.ready) << service.log();
    for (const char* length : {"67108865", "2000000000000000034", "18446744073709551615"}) {
        SCOPED_TRACE(length);
        HttpReply reply = httpRaw(service.port, std::string("POST / HTTP/1.1\r\nHost: x\r\n"
                                                            "Content-Type: application/json\r\n"
                                                            "Content-Length: ") +
                                                    length + "\r\n\r\n{\"method\":");
        EXPECT_EQ(reply.status, 413);
        EXPECT_EQ(reply.body, "");
    }
    HttpReply info =
        httpPost(service.port, "/", R"({"jsonrpc":"2.0","id":4,"method":"GetServerInfo"})");
    EXPECT_EQ(info.status, 200);
    EXPECT_NE(info.body.find("\"version\""), std::string::npos) << info.body;
    EXPECT_TRUE(service.stop());
}

TEST(RpcHttp, LoginSetsHttpOnlySessionCookiesAndLogoutEndsTheSession) {
    ConsoleService service;
    ASSERT_TRUE(service.ready) << service.log();
    const int port = service.port;

    HttpReply info = httpPost(port, "/", R"({"jsonrpc":"2.0","id":4,"method":"GetServerInfo"})");
    EXPECT_EQ(info.body, R"({"jsonrpc":"2.0","id":4,"result":{"version":"2.0.264",)"
                         R"("title":"RAID Management Console","logo":"morvi.svg","os":"Linux"}})");

    HttpReply bad = httpPost(
        port, "/",
        R"({"jsonrpc":"2.0","id":1,"method":"Login","params":{"username":"Admin","password":""}})");
    EXPECT_EQ(bad.body,
              R"({"jsonrpc":"2.0","id":1,"error":{"code":401,"message":"internal server error"}})");
    EXPECT_EQ(bad.headers.count("set-cookie"), 0u);

    HttpReply good = httpPost(
        port, "/",
        R"({"jsonrpc":"2.0","id":2,"method":"Login","params":{"username":"admin","password":""}})");
    EXPECT_EQ(good.body, R"({"jsonrpc":"2.0","id":2,"result":true})");
    std::string cookies = good.headers["set-cookie"];
    EXPECT_TRUE(std::regex_search(cookies, std::regex("(^|\n)sid=[0-9a-f]{32};Path=/;.*HttpOnly")))
        << cookies;
    EXPECT_TRUE(std::regex_search(cookies, std::regex("(^|\n)uid=admin;Path=/;.*HttpOnly")))
        << cookies;
    EXPECT_EQ(cookies.find("Expires"), std::string::npos) << "session cookies";
    EXPECT_EQ(cookies.find("Max-Age"), std::string::npos) << "session cookies";
    std::string cookie = "sid=" + setCookie(good, "sid") + "; uid=admin";

    const std::string unknown = R"({"jsonrpc":"2.0","id":3,"method":"NoSuchMethod"})";
    EXPECT_EQ(httpPost(port, "/", unknown).body,
              R"({"jsonrpc":"2.0","id":3,"error":{"code":401,"message":"Unauthorized"}})");
    EXPECT_EQ(httpPost(port, "/", unknown, cookie).body,
              R"({"jsonrpc":"2.0","id":3,"error":{"code":-32601,"message":"method unknown"}})");

    // Each worker serves many requests; the session must be seen on every one of them, whatever
    // path the worker's previous request had.
    for (int i = 0; i < 30; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(httpGet(port, i % 2 ? "/eventlog" : "/js/arkgui.js", cookie).status, 200);
        EXPECT_EQ(httpPost(port, i % 3 ? "/" : "/rpc", unknown, cookie).body,
                  R"({"jsonrpc":"2.0","id":3,"error":{"code":-32601,"message":"method unknown"}})");
    }

    HttpReply out = httpPost(port, "/", R"({"jsonrpc":"2.0","id":5,"method":"Logout"})", cookie);
    EXPECT_EQ(out.body, R"({"jsonrpc":"2.0","id":5,"result":true})");
    EXPECT_EQ(setCookie(out, "sid"), "invalid");
    EXPECT_NE(out.headers["set-cookie"].find("sid=invalid;Path=/;"), std::string::npos)
        << out.headers["set-cookie"];
    EXPECT_EQ(httpPost(port, "/", unknown, cookie).body,
              R"({"jsonrpc":"2.0","id":3,"error":{"code":401,"message":"Unauthorized"}})");
    EXPECT_TRUE(service.stop());
}

std::string multipart(const std::string& boundary, const std::string& content) {
    return "--" + boundary +
           "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"fw.bin\"\r\n"
           "Content-Type: application/octet-stream\r\n\r\n" +
           content + "\r\n--" + boundary + "--\r\n";
}

TEST(RpcHttp, FirmwareUploadRouteNeedsAnAttachmentAndASession) {
    ConsoleService service;
    ASSERT_TRUE(service.ready) << service.log();
    const int port = service.port;
    const std::string type = "multipart/form-data; boundary=XyZ";
    const std::string body = multipart("XyZ", std::string("\x01\x02not firmware", 14));

    HttpReply none = httpPost(port, "/fwupdate/0/5", "", "", "application/octet-stream");
    EXPECT_EQ(none.status, 400);
    EXPECT_EQ(none.body, "");

    HttpReply anonymous = httpPost(port, "/fwupdate/0/5", body, "", type);
    EXPECT_EQ(anonymous.body, R"({"jsonrpc":"2.0","error":{"code":401,"message":"Unauthorized"}})");

    std::string cookie = loginCookie(port);
    ASSERT_FALSE(cookie.empty());
    HttpReply upload = httpPost(port, "/fwupdate/0/5", body, cookie, type);
    EXPECT_EQ(upload.status, 200);
    EXPECT_EQ(upload.headers["content-type"], kJsonType);
    EXPECT_NE(upload.body.find("\"error\""), std::string::npos) << "not a firmware image";
    EXPECT_EQ(upload.body.find("\"code\":401"), std::string::npos) << upload.body;
    EXPECT_TRUE(service.stop());
}

}  // namespace
}  // namespace svctest
