#include "smtp_client.h"

#include <gtest/gtest.h>

#include <string>

// Sending against a real server is tested under tests/smtp; these cases never reach a socket.
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

TEST(SmtpUrl, SchemeAndDefaultPortFollowTheProtocol) {
    struct Case {
        int protocol, port;
        const char* expected;
    };
    const Case cases[] = {
        {kSmtpPlain, 0, "smtp://mail.example:25"},
        {kSmtpStartTls, 0, "smtp://mail.example:587"},
        {kSmtpTls, 0, "smtps://mail.example:465"},
        {kSmtpPlain, 2525, "smtp://mail.example:2525"},
        {kSmtpStartTls, 25, "smtp://mail.example:25"},
        {kSmtpTls, 10465, "smtps://mail.example:10465"},
        {7, 0, "smtp://mail.example:25"},  // unknown protocols are sent plain
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "protocol " << c.protocol << " port " << c.port);
        EXPECT_EQ(smtpUrl("mail.example", c.port, c.protocol), c.expected);
    }
}

TEST(SmtpSend, RefusesAMissingOrMalformedAccountBeforeConnecting) {
    struct Case {
        const char* name;
        std::string server;
        int port;
        std::string from;
        const char* reason;
    };
    const Case cases[] = {
        {"no server", "", 0, "raid@example.org", "no SMTP server configured"},
        // An empty sender is the null reverse path and goes out; a broken one does not.
        {"line break in sender", "127.0.0.1", 0, "raid@example.org\r\nRSET",
         "sender address contains a line break"},
        {"path in server", "127.0.0.1/x", 0, "raid@example.org",
         "SMTP server name contains a character not allowed in a host name"},
        {"user part in server", "u:p@127.0.0.1", 0, "raid@example.org",
         "SMTP server name contains a character not allowed in a host name"},
        {"line break in server", "127.0.0.1\r\nQUIT", 0, "raid@example.org",
         "SMTP server name contains a character not allowed in a host name"},
        {"negative port", "127.0.0.1", -1, "raid@example.org", "SMTP port out of range"},
        {"port too large", "127.0.0.1", 65536, "raid@example.org", "SMTP port out of range"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_EQ(sendOne(c.server, c.port, kSmtpPlain, "", "", "ops@example.org", c.from, "s", "b",
                          &error),
                  kSmtpBadInput);
        EXPECT_EQ(error, c.reason);
    }
}

TEST(SmtpSend, AStopAlreadyRequestedSendsNothing) {
    SmtpOptions options;
    int polls = 0;
    options.stopRequested = [&] {
        ++polls;
        return true;
    };
    std::string error;
    // Nothing listens on port 1; had it tried to connect, the result would be a connect error.
    EXPECT_EQ(sendOne("127.0.0.1", 1, kSmtpPlain, "", "", "ops@example.org", "raid@example.org",
                      "s", "b", &error, options),
              kSmtpAborted);
    EXPECT_EQ(polls, 1);
    EXPECT_FALSE(error.empty());
}

TEST(SmtpGlobalInit, CanBeCalledRepeatedly) {
    EXPECT_EQ(smtpGlobalInit(), 0);
    EXPECT_EQ(smtpGlobalInit(), 0);
}

}  // namespace
