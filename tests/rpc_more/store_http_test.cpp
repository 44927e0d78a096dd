#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <vector>

#include "fw_image.h"
#include "fw_test_image.h"
#include "service_fixture.h"
#include "smtp_harness.h"

namespace svctest {
namespace {

using nlohmann::ordered_json;

// The scenario's controller and disks.
constexpr uint32_t kIdFirst = 0x24101E4A;
constexpr uint32_t kIdSecond = 0x00011E4A;
constexpr uint32_t kFlashSize = 65536;

std::string ok(const std::string& result) {
    return R"({"jsonrpc":"2.0","id":1,"result":)" + result + "}";
}
std::string failed(int code, const std::string& message) {
    return R"({"jsonrpc":"2.0","id":1,"error":{"code":)" + std::to_string(code) +
           R"(,"message":")" + message + "\"}}";
}
const std::string kBadParams = failed(-32602, "internal server error");
const std::string kFailed = failed(-32603, "internal server error");

// The service over the test scenario, logged in as admin.
class StoreHttp : public testing::Test {
protected:
    void SetUp() override {
        service = std::make_unique<ConsoleService>(
            std::vector<std::string>{},
            std::map<std::string, std::string>{{"ARK_EMULATOR_SCENARIO", STORE_SCENARIO}});
        ASSERT_TRUE(service->ready) << service->log();
        port = service->port;
        cookie = loginCookie(port);
        ASSERT_FALSE(cookie.empty());
    }
    void TearDown() override {
        if (service && service->ready) {
            EXPECT_TRUE(service->stop()) << service->log();
        }
    }

    // The reply body of one call (id 1), with the session unless told otherwise.
    std::string call(const std::string& method, const std::string& params = "",
                     bool withSession = true) {
        std::string body = R"({"jsonrpc":"2.0","id":1,"method":")" + method + "\"";
        if (!params.empty()) body += R"(,"params":)" + params;
        return httpPost(port, "/", body + "}", withSession ? cookie : "").body;
    }
    ordered_json result(const std::string& method, const std::string& params = "") {
        ordered_json reply = ordered_json::parse(call(method, params), nullptr, false);
        return reply.is_object() && reply.contains("result") ? reply["result"] : ordered_json();
    }
    // The log, newest first, with the times taken out (they must be plausible).
    ordered_json eventsWithoutTimes() {
        ordered_json list = result("GetEventLog", R"({"start":0,"length":100})");
        for (auto& e : list) {
            EXPECT_GT(e.value("time", 0LL), 1700000000LL);
            e.erase("time");
        }
        return list;
    }

    std::unique_ptr<ConsoleService> service;
    int port = 0;
    std::string cookie;
};

TEST_F(StoreHttp, EveryMethodAsksForASessionFirst) {
    for (const char* method : {"GetEventLogCount", "GetEventLog", "ClearEventLog", "SetPassword",
                               "SendMail", "FlashUpdate", "GetSmartInfo", "GetConfig", "SetConfig",
                               "GetDomainConfig", "SetDomainConfig"}) {
        SCOPED_TRACE(method);
        EXPECT_EQ(call(method, R"({"domain":0,"id":0})", false), failed(401, "Unauthorized"));
    }
    EXPECT_EQ(result("GetEventLogCount"), 1) << "the login, and no call without a session";
}

TEST_F(StoreHttp, EventLogPasswordAndItsEvent) {
    EXPECT_EQ(call("GetEventLogCount"), ok("1"));
    EXPECT_EQ(eventsWithoutTimes().dump(),
              R"([{"type":1,"code":101,"devname":"admin","data":""}])");
    EXPECT_EQ(call("GetEventLog", R"({"start":0,"length":101})"), kBadParams);
    EXPECT_EQ(call("GetEventLog", R"({"start":-1,"length":10})"), kBadParams);
    EXPECT_EQ(call("GetEventLog", R"({"start":0,"length":-1})"), kBadParams);
    EXPECT_EQ(call("GetEventLog", R"({"start":1,"length":10})"), ok("[]"));

    EXPECT_EQ(call("SetPassword", R"({"old":"nope","new":"s3cret"})"),
              failed(-32602, "wrong password"));
    EXPECT_EQ(call("SetPassword", R"({"old":"","new":7})"), kBadParams);
    EXPECT_EQ(call("GetEventLogCount"), ok("1")) << "refusals are no user action";
    EXPECT_EQ(call("SetPassword", R"({"old":"","new":"s3cret"})"), ok("true"));
    EXPECT_EQ(eventsWithoutTimes().dump(), R"([{"type":1,"code":109,"devname":"","data":""},)"
                                           R"({"type":1,"code":101,"devname":"admin","data":""}])");
    EXPECT_EQ(loginCookie(port, ""), "");
    EXPECT_NE(loginCookie(port, "s3cret"), "");
    ordered_json stored = ordered_json::parse(readFile(service->configDir() + "/config.json"));
    EXPECT_EQ(stored["password"], "s3cret");

    EXPECT_EQ(call("ClearEventLog"), ok("true"));
    EXPECT_EQ(call("GetEventLogCount"), ok("0"));
    EXPECT_EQ(call("GetEventLog", R"({"start":0,"length":100})"), ok("[]"));
}

TEST_F(StoreHttp, ConfigurationSectionsAndDomainSettings) {
    EXPECT_EQ(call("GetConfig", R"({"key":"settings"})"),
              ok(R"({"ServerPort":)" + std::to_string(port) + "}"));
    EXPECT_EQ(call("GetConfig", R"({"key":"tasks"})"), ok("{}"));
    EXPECT_EQ(call("SetConfig", R"("settings")"), kBadParams);

    const std::string settings = R"({"SMARTInterval":60,"RestrictLocal":0})";
    const std::string tasks = R"([{"domain":0,"id":268,"signature":5,"type":1,"date":1}])";
    const std::string mail = R"({"SMTP_Server":"127.0.0.1","Receipients":[]})";
    EXPECT_EQ(call("SetConfig", R"({"settings":)" + settings + R"(,"tasks":)" + tasks +
                                    R"(,"email_notification":)" + mail + "}"),
              ok("true"));
    EXPECT_EQ(
        call("GetConfig", R"({"key":"settings"})"),
        ok(R"({"SMARTInterval":60,"RestrictLocal":0,"ServerPort":)" + std::to_string(port) + "}"));
    EXPECT_EQ(call("GetConfig", R"({"key":"tasks"})"), ok(tasks));
    EXPECT_EQ(call("GetConfig", R"({"key":"email_notification"})"), ok(mail));
    EXPECT_EQ(call("SetConfig", R"({"tasks":[]})"), ok("true"));
    EXPECT_EQ(call("GetConfig", R"({"key":"tasks"})"), ok("[]"));
    ordered_json stored = ordered_json::parse(readFile(service->configDir() + "/config.json"));
    EXPECT_EQ(stored["settings"], ordered_json::parse(settings)) << "the port is not stored";

    const std::string defaults =
        R"({"HBAMode":0,"RebuildPriority":50,"AutoRebuild":1,"IgnoreRebuildErrors":0,)"
        R"("DiskIdleTimer":0,"SpinupCount":2,"SpinupDelay":7,"BBUTempThreshold":60})";
    EXPECT_EQ(call("GetDomainConfig", R"({"domain":0})"), ok(defaults));
    EXPECT_EQ(call("GetDomainConfig", R"({"domain":3})"), ok("{}"));
    EXPECT_EQ(call("SetDomainConfig", R"({"domain":0,"RebuildPriority":80,"SpinupDelay":"0x10"})"),
              ok("true"));
    EXPECT_EQ(result("GetDomainConfig", R"({"domain":0})")["RebuildPriority"], 80);
    EXPECT_EQ(result("GetDomainConfig", R"({"domain":0})")["SpinupDelay"], 16);
    EXPECT_EQ(call("GetConfig", R"({"key":"domain0"})"),
              ok(R"({"domain":0,"RebuildPriority":80,"SpinupDelay":"0x10"})"));
    EXPECT_EQ(call("SetDomainConfig", R"({"domain":3,"HBAMode":1})"),
              failed(-32602, "no such domain"));
    EXPECT_EQ(call("GetConfig", R"({"key":"domain3"})"), ok("{}"));
}

// Values the start-up or the mailer could not use are refused before anything is written; a
// stored port of 70000 made the next start fail.
TEST_F(StoreHttp, ConfigurationThatCannotBeReadBackIsRefusedUnwritten) {
    ASSERT_EQ(call("SetConfig", R"({"settings":{"ServerPort":8080}})"), ok("true"));
    const std::string before = readFile(service->configDir() + "/config.json");
    for (const std::string params :
         {R"({"settings":1e+30})", R"({"settings":{"ServerPort":70000}})",
          R"({"settings":{"SMARTInterval":"soon"}})", R"({"tasks":{"type":1}})",
          R"({"email_notification":{"SMTP_Port":-25}})"}) {
        SCOPED_TRACE(params);
        EXPECT_NE(call("SetConfig", params).find(R"("code":-32602)"), std::string::npos);
    }
    EXPECT_EQ(call("SetDomainConfig", R"({"domain":2147483647})"),
              failed(-32602, "no such domain"));
    EXPECT_EQ(readFile(service->configDir() + "/config.json"), before);
    EXPECT_EQ(call("GetConfig", R"({"key":"domain2147483647"})"), ok("{}"));
}

TEST_F(StoreHttp, SmartInfoOfADisk) {
    EXPECT_EQ(
        call("GetSmartInfo", R"({"domain":0,"id":256})"),
        ok(R"({"status":true,"attrs":[)"
           R"({"id":1,"name":"Read Error Rate","flags":11,"current":100,"worst":99,)"
           R"("raw":"00 00 00 00 00 00","threshold":6,"type":"Pre-fail","update":"Always"},)"
           R"({"id":9,"name":"Power-On Hours","flags":50,"current":97,"worst":97,)"
           R"("raw":"34 12 00 00 00 00","threshold":0,"type":"Old_age","update":"Always"},)"
           R"({"id":160,"name":"Unknown Attribute","flags":0,"current":100,"worst":100,)"
           R"("raw":"FF FF FF FF FF FF","threshold":0,"type":"Old_age","update":"Offline"}]})"));
    EXPECT_EQ(call("GetSmartInfo", R"({"domain":0,"id":0})"), kBadParams);
    EXPECT_EQ(call("GetSmartInfo", R"({"domain":0,"id":257})"),
              failed(-32603, "SMART feature not enabled"));
    EXPECT_EQ(call("GetSmartInfo", R"({"domain":0,"id":999})"),
              failed(-32603, "get device info failed"));
}

TEST_F(StoreHttp, SendMailReachesTheServer) {
    SmtpHarness smtp;
    ASSERT_EQ(smtp.Start(), "") << "the mail test needs /usr/bin/python3 with aiosmtpd";
    auto params = [&](const std::string& to) {
        return R"({"SMTP_Server":"127.0.0.1","SMTP_Port":)" + std::to_string(smtp.Port("auth")) +
               R"(,"Protocol":0,"SMTP_User":"alert","SMTP_Password":"s3cret","Receipient":")" + to +
               R"(","Sender":"raid@example.org","Subject":"Test mail","Body":"It works."})";
    };
    EXPECT_EQ(call("SendMail", params("ops@example.org")), ok("true"));
    EXPECT_EQ(call("SendMail", params("reject@example.org")), kFailed);
    const auto spooled = smtp.Spooled("auth");
    ASSERT_EQ(spooled.size(), 1u);
    EXPECT_EQ(spooled[0].mailFrom, "raid@example.org");
    EXPECT_EQ(spooled[0].rcptTos, std::vector<std::string>{"ops@example.org"});
    EXPECT_EQ(spooled[0].authUser, "alert");
    EXPECT_NE(spooled[0].data.find("Subject: Test mail\r\n"), std::string::npos) << spooled[0].data;
    EXPECT_NE(spooled[0].data.find("\r\n\r\nIt works."), std::string::npos) << spooled[0].data;
    EXPECT_EQ(call("GetEventLogCount"), ok("1")) << "a test mail is no event";

    // No account given: no login is tried (a missing user is empty, not the text "null").
    EXPECT_EQ(
        call("SendMail", R"({"SMTP_Server":"127.0.0.1","SMTP_Port":)" +
                             std::to_string(smtp.Port("optional")) +
                             R"(,"Receipient":"ops@example.org","Sender":"raid@example.org"})"),
        ok("true"));
    const auto plain = smtp.Spooled("optional");
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain[0].authUser, "");
}

// A body's bare line ends reach the server as CRLF, so a lone "." line is escaped like any other
// and cannot end the message early; an empty Sender goes out as the null reverse path.
TEST_F(StoreHttp, SendMailSendsEveryLineEndAsCrlfAndAnEmptySender) {
    SmtpHarness smtp;
    ASSERT_EQ(smtp.Start(), "") << "the mail test needs /usr/bin/python3 with aiosmtpd";
    const std::string params = R"({"SMTP_Server":"127.0.0.1","SMTP_Port":)" +
                               std::to_string(smtp.Port("optional")) +
                               R"(,"Receipient":"ops@example.org","Sender":"","Subject":"s",)"
                               R"("Body":"one\n.\nRCPT TO:<x@evil.example>\rtwo"})";
    EXPECT_EQ(call("SendMail", params), ok("true"));
    const auto spooled = smtp.Spooled("optional");
    ASSERT_EQ(spooled.size(), 1u);
    EXPECT_EQ(spooled[0].mailFrom, "<>") << "the server's name for the null reverse path";
    EXPECT_EQ(spooled[0].rcptTos, std::vector<std::string>{"ops@example.org"});
    const std::string& data = spooled[0].data;
    EXPECT_NE(data.find("From: <>\r\n"), std::string::npos) << data;
    EXPECT_EQ(data.substr(data.find("\r\n\r\n") + 4),
              "one\r\n.\r\nRCPT TO:<x@evil.example>\r\ntwo\r\n");
}

// A server that accepts and never answers costs a worker the 10 s connection time-out, not more.
TEST_F(StoreHttp, SendMailToASilentServerEndsAtTheConnectionTimeOut) {
    SmtpHarness smtp;
    ASSERT_EQ(smtp.Start(), "") << "the mail test needs /usr/bin/python3 with aiosmtpd";
    const std::string params = R"({"SMTP_Server":"127.0.0.1","SMTP_Port":)" +
                               std::to_string(smtp.Port("silent")) +
                               R"(,"Receipient":"ops@example.org","Sender":"raid@example.org"})";
    EXPECT_EQ(call("SendMail", params), kFailed);
    // libcurl names the limit that ended the try.
    EXPECT_TRUE(std::regex_search(
        service->log(),
        std::regex("fail to send test mail: .*timed out after 10[0-9]{3} milliseconds")))
        << service->log();
}

// curl as a browser's form upload would send it, with a cookie jar of its own.
class Curl {
public:
    Curl(const TempDir& dir, int port)
        : m_dir(dir), m_base("http://127.0.0.1:" + std::to_string(port)) {}

    struct Result {
        int status = 0;
        std::string body;
    };
    Result run(const std::string& args) const {
        const std::string out = m_dir / "curl.body";
        std::remove(out.c_str());
        const std::string command = "/usr/bin/curl -s -b '" + (m_dir / "jar") + "' -c '" +
                                    (m_dir / "jar") + "' -o '" + out + "' -w '%{http_code}' " +
                                    args;
        Result r;
        if (FILE* p = popen(command.c_str(), "r")) {
            char code[16] = {};
            if (std::fgets(code, sizeof code, p) != nullptr) r.status = std::atoi(code);
            pclose(p);
        }
        r.body = readFile(out);
        return r;
    }
    Result login() const {
        return run(
            "-H 'Content-Type: application/json' -d "
            "'{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"Login\","
            "\"params\":{\"username\":\"admin\",\"password\":\"\"}}' " +
            m_base + "/");
    }
    Result upload(const std::string& path, const std::string& file) const {
        return run("-F 'file=@" + file + ";type=application/octet-stream' " + m_base + path);
    }

private:
    const TempDir& m_dir;
    std::string m_base;
};

std::string writeImage(const TempDir& dir, const std::string& name, const fwtest::Bytes& image) {
    std::string path = dir / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
    return path;
}

TEST_F(StoreHttp, FirmwareUploadedWithCurl) {
    TempDir dir;
    Curl curl(dir, port);
    const fwtest::Bytes boot = fwtest::patterned(3000, 1);
    const fwtest::Bytes main = fwtest::patterned(1024, 2);
    const std::string good = writeImage(
        dir, "good.bin",
        fwtest::buildImage({{{boot, 0x1000}, {main, 0x8000}}, {{kIdFirst, kFwAnyId}}, {}}));
    const std::string foreign = writeImage(
        dir, "foreign.bin", fwtest::buildImage({{{boot, 0}}, {{kIdFirst, kIdSecond + 1}}, {}}));
    const std::string tooFar = writeImage(
        dir, "toofar.bin",
        fwtest::buildImage({{{main, 0}, {main, kFlashSize}}, {{kFwAnyId, kFwAnyId}}, {}}));
    fwtest::Bytes broken = fwtest::buildImage({{{boot, 0}}, {{kFwAnyId, kFwAnyId}}, {}});
    broken[100] ^= 0x80;
    const std::string corrupt = writeImage(dir, "corrupt.bin", broken);

    const std::string unauthorized =
        R"({"jsonrpc":"2.0","error":{"code":401,"message":"Unauthorized"}})";
    Curl::Result anonymous = curl.upload("/fwupdate/0/0", good);
    EXPECT_EQ(anonymous.status, 200);
    EXPECT_EQ(anonymous.body, unauthorized);

    ASSERT_EQ(curl.login().status, 200);
    const struct {
        const char* path;
        const std::string& file;
        int status;
        std::string body;
    } rows[] = {
        {"/fwupdate/0/0", good, 200, R"({"jsonrpc":"2.0","result":true})"},
        {"/fwupdate/0/0", foreign, 200,
         R"({"jsonrpc":"2.0","error":{"code":-32603,"message":"file is not compatible with current device"}})"},
        {"/fwupdate/0/0", tooFar, 200,
         R"({"jsonrpc":"2.0","error":{"code":-32603,"message":"download error"}})"},
        {"/fwupdate/0/0", corrupt, 200,
         R"({"jsonrpc":"2.0","error":{"code":-32603,"message":"unknown file format"}})"},
        {"/fwupdate/0/7", good, 200,
         R"({"jsonrpc":"2.0","error":{"code":-32603,"message":"fail to get PCI ID"}})"},
        {"/fwupdate/x/0", good, 400, ""},
        {"/fwupdate/0/-", good, 400, ""},
        {"/fwupdate/10/0", good, 400, ""},
        {"/fwupdate/0/0/", good, 400, ""},
        {"/fwupdate/", good, 400, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.path) + " " + row.file);
        Curl::Result r = curl.upload(row.path, row.file);
        EXPECT_EQ(r.status, row.status);
        EXPECT_EQ(r.body, row.body);
    }
    EXPECT_EQ(call("GetEventLogCount"), ok("2")) << "the two logins only";
}

TEST_F(StoreHttp, AnUploadOverTheBoundIsRefusedUnread) {
    TempDir dir;
    Curl curl(dir, port);
    const std::string big = dir / "big.bin";
    {
        std::ofstream out(big, std::ios::binary);
        const std::string mib(1 << 20, '\x5A');
        for (int i = 0; i < 65; ++i) out << mib;
    }
    // Without a session the body is not even looked at: no 413, the refusal of the session.
    Curl::Result anonymous = curl.upload("/fwupdate/0/0", big);
    EXPECT_EQ(anonymous.status, 200);
    EXPECT_EQ(anonymous.body, R"({"jsonrpc":"2.0","error":{"code":401,"message":"Unauthorized"}})");

    ASSERT_EQ(curl.login().status, 200);
    Curl::Result r = curl.upload("/fwupdate/0/0", big);
    EXPECT_EQ(r.status, 413);
    EXPECT_EQ(r.body, "");
    // The service goes on serving.
    EXPECT_EQ(call("GetEventLogCount"), ok("2"));
}

}  // namespace
}  // namespace svctest
