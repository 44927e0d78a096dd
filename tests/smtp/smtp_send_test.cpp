#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <ctime>
#include <string>

#include "scoped_time_zone.h"
#include "smtp_client.h"
#include "smtp_harness.h"

namespace {

// The account and the mail as one call, as the tests below name them.
int sendOne(std::string_view server, int port, int protocol, std::string_view user,
            std::string_view password, std::string_view to, std::string_view from,
            std::string_view subject, std::string_view body, std::string* errorText,
            const SmtpOptions& options = {}) {
    MailSettings account;
    account.SMTP_Server = server;
    account.SMTP_Port = port;
    account.Protocol = protocol;
    account.SMTP_User = user;
    account.SMTP_Password = password;
    account.Sender = from;
    return smtpSend(account, Mail{std::string(to), std::string(subject), std::string(body)},
                    errorText, options);
}

constexpr std::time_t kSentAt = 1749132189;  // Thu 2025-06-05 14:03:09 UTC
constexpr const char* kTo = "ops@example.org";
constexpr const char* kFrom = "raid@example.org";

class SmtpSendTest : public testing::Test {
protected:
    ScopedTimeZone zone_{"UTC0"};

    void SetUp() override {
        ASSERT_EQ(smtpGlobalInit(), 0);
        const std::string failure = server_.Start();
        ASSERT_EQ(failure, "") << "the SMTP tests need /usr/bin/python3 with aiosmtpd";
    }

    static SmtpOptions fixedClock() {
        SmtpOptions options;
        options.now = [] { return kSentAt; };
        return options;
    }

    SmtpHarness server_;
};

TEST_F(SmtpSendTest, EachProtocolDeliversTheExactMessage) {
    struct Case {
        const char* listener;
        int protocol;
        const char* user;
        const char* password;
        bool tls;
    };
    const Case cases[] = {
        {"plain", kSmtpPlain, "", "", false},
        {"auth", kSmtpPlain, SmtpHarness::kUser, SmtpHarness::kPassword, false},
        {"starttls", kSmtpStartTls, SmtpHarness::kUser, SmtpHarness::kPassword, true},
        {"smtps", kSmtpTls, SmtpHarness::kUser, SmtpHarness::kPassword, true},
    };
    // A line that starts with a dot must survive the end-of-data escaping.
    const char* body =
        "Date: 2025-06-05 14:03:09\r\nEvent: Disk \"[1/E1/3] DM4000_Z1\" was removed."
        "\r\n.hidden line\r\nlast";
    const std::string expected =
        "Date: Thu,  5 Jun 2025 14:03:09 +0000\r\n"
        "To: <ops@example.org>\r\n"
        "From: <raid@example.org>\r\n"
        "Subject: RAID Manager Notification\r\n"
        "\r\n"
        "Date: 2025-06-05 14:03:09\r\n"
        "Event: Disk \"[1/E1/3] DM4000_Z1\" was removed.\r\n"
        ".hidden line\r\n"
        "last\r\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.listener);
        std::string error;
        ASSERT_EQ(sendOne("127.0.0.1", server_.Port(c.listener), c.protocol, c.user, c.password,
                          kTo, kFrom, "RAID Manager Notification", body, &error, fixedClock()),
                  kSmtpOk)
            << error;
        const auto got = server_.Spooled(c.listener);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].data, expected);
        EXPECT_EQ(got[0].mailFrom, kFrom);
        EXPECT_EQ(got[0].rcptTos, std::vector<std::string>{kTo});
        EXPECT_EQ(got[0].tls, c.tls);
        EXPECT_EQ(got[0].authUser, c.user);
    }
}

TEST_F(SmtpSendTest, RefusedSessionsFailWithAReasonAndDeliverNothing) {
    struct Case {
        const char* name;
        const char* listener;
        int protocol;
        const char* user;
        const char* password;
        const char* to;
        int expected;  // the libcurl code
    };
    const Case cases[] = {
        {"STARTTLS asked of a server without it", "plain", kSmtpStartTls, "", "", kTo, 64},
        {"wrong password", "auth", kSmtpPlain, SmtpHarness::kUser, "wrong", kTo, 67},
        {"wrong password after STARTTLS", "starttls", kSmtpStartTls, SmtpHarness::kUser, "wrong",
         kTo, 67},
        {"wrong user over TLS", "smtps", kSmtpTls, "nobody", SmtpHarness::kPassword, kTo, 67},
        // Without a user name the password is not offered, and the server wants a login.
        {"password without user", "auth", kSmtpPlain, "", SmtpHarness::kPassword, kTo, 55},
        {"plain where STARTTLS is required", "starttls", kSmtpPlain, SmtpHarness::kUser,
         SmtpHarness::kPassword, kTo, 55},
        {"rejected recipient", "plain", kSmtpPlain, "", "", "reject-me@example.org", 55},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_EQ(sendOne("127.0.0.1", server_.Port(c.listener), c.protocol, c.user, c.password,
                          c.to, kFrom, "s", "b", &error, fixedClock()),
                  c.expected);
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(server_.Spooled(c.listener).empty());
    }
}

TEST_F(SmtpSendTest, NothingListeningIsAConnectError) {
    // A bound socket that never listens keeps the port ours and refuses connections.
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    ASSERT_EQ(getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    std::string error;
    EXPECT_EQ(sendOne("127.0.0.1", ntohs(addr.sin_port), kSmtpPlain, "", "", kTo, kFrom, "s", "b",
                      &error),
              7);
    EXPECT_FALSE(error.empty());
    close(fd);
}

TEST_F(SmtpSendTest, ASilentServerEndsInATimeOut) {
    SmtpOptions options;
    options.connectTimeoutMs = 300;
    options.totalTimeoutMs = 600;
    std::string error;
    EXPECT_EQ(sendOne("127.0.0.1", server_.Port("silent"), kSmtpPlain, "", "", kTo, kFrom, "s", "b",
                      &error, options),
              28);
    EXPECT_FALSE(error.empty());
    // The time-out came while waiting for the greeting, not for the connection.
    EXPECT_TRUE(server_.WaitForConnections("silent", 1));
}

TEST_F(SmtpSendTest, StoppingAbortsATransferThatIsWaitingOnTheServer) {
    // Default time-outs: only the stop can end this in reasonable time. It is raised once the
    // server has the connection, so the abort comes from inside the transfer.
    SmtpOptions options;
    options.stopRequested = [this] { return server_.Connections("silent") > 0; };
    std::string error;
    EXPECT_EQ(sendOne("127.0.0.1", server_.Port("silent"), kSmtpPlain, "", "", kTo, kFrom, "s", "b",
                      &error, options),
              kSmtpAborted);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(server_.Connections("silent"), 1);
}

TEST_F(SmtpSendTest, InjectedLineBreaksNeverReachTheServer) {
    struct Case {
        const char* name;
        const char* to;
        const char* from;
        const char* subject;
    };
    const Case cases[] = {
        {"extra recipient", "ops@example.org>\r\nRCPT TO:<victim@example.net", kFrom, "s"},
        {"command after sender", kTo, "raid@example.org>\r\nRSET\r\nMAIL FROM:<boss@example.org",
         "s"},
        {"bare LF in recipient", "ops@example.org\nQUIT", kFrom, "s"},
        {"header in subject", kTo, kFrom, "s\r\nBcc: victim@example.net"},
        {"body in subject", kTo, kFrom, "s\r\n\r\nfake body"},
        {"angle bracket in sender", kTo, "raid@example.org> SIZE=1", "s"},
        {"angle bracket in recipient", "<ops@example.org", kFrom, "s"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_EQ(sendOne("127.0.0.1", server_.Port("plain"), kSmtpPlain, "", "", c.to, c.from,
                          c.subject, "b", &error),
                  kSmtpBadInput);
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(server_.Connections("plain"), 0);
    EXPECT_TRUE(server_.Spooled("plain").empty());

    // The same listener does count a clean send, so the zero above means something.
    std::string error;
    ASSERT_EQ(sendOne("127.0.0.1", server_.Port("plain"), kSmtpPlain, "", "", kTo, kFrom, "s", "b",
                      &error),
              kSmtpOk)
        << error;
    EXPECT_EQ(server_.Connections("plain"), 1);
}

}  // namespace
