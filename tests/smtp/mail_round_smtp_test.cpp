#include <gtest/gtest.h>

#include <ctime>

#include "fake_mail_queue.h"
#include "mail_round.h"
#include "scoped_time_zone.h"
#include "smtp_harness.h"

// A mail round against the real loopback server: rows become mails in the spool, and the rows
// and failure events record what happened.
namespace {

constexpr std::time_t kSentAt = 1749132189;  // Thu 2025-06-05 14:03:09 UTC

class MailRoundSmtpTest : public testing::Test {
protected:
    ScopedTimeZone zone_{"UTC0"};

    void SetUp() override {
        ASSERT_EQ(smtpGlobalInit(), 0);
        ASSERT_EQ(server_.Start(), "") << "the SMTP tests need /usr/bin/python3 with aiosmtpd";
        SmtpOptions options;
        options.now = [] { return kSentAt; };
        send_ = smtpMailSender(options);
    }

    MailSettings account(const char* listener, int protocol, bool login) {
        MailSettings s;
        s.SMTP_Server = "127.0.0.1";
        s.SMTP_Port = server_.Port(listener);
        s.Protocol = protocol;
        s.Sender = "raid@example.org";
        if (login) {
            s.SMTP_User = SmtpHarness::kUser;
            s.SMTP_Password = SmtpHarness::kPassword;
        }
        return s;
    }

    SmtpHarness server_;
    MailSender send_;
    FakeMailQueue queue_;
};

TEST_F(MailRoundSmtpTest, PendingEventsReachTheirRecipients) {
    auto settings = account("plain", kSmtpPlain, false);
    settings.Receipients = {{true, "errors@example.org", 0x8}, {true, "all@example.org", 0xE}};
    const auto failed = queue_.Insert(kSentAt - 60, 3, 8, "Data");
    const auto healthy = queue_.Insert(kSentAt - 30, 1, 23, "[1/2] DM2000_X");

    EXPECT_EQ(runMailRound(settings, queue_, send_), 2);

    const auto spool = server_.Spooled("plain");
    ASSERT_EQ(spool.size(), 3u);
    EXPECT_EQ(spool[0].rcptTos, std::vector<std::string>{"errors@example.org"});
    EXPECT_EQ(spool[1].rcptTos, std::vector<std::string>{"all@example.org"});
    EXPECT_EQ(spool[2].rcptTos, std::vector<std::string>{"all@example.org"});
    EXPECT_EQ(spool[0].data,
              "Date: Thu,  5 Jun 2025 14:03:09 +0000\r\n"
              "To: <errors@example.org>\r\n"
              "From: <raid@example.org>\r\n"
              "Subject: RAID Manager Notification\r\n"
              "\r\n"
              "Date: 2025-06-05 14:02:09\r\n"
              "Event: Array \"Data\" rebuilding failed.\r\n");
    EXPECT_NE(spool[2].data.find("Event: Disk \"[1/2] DM2000_X\" SMART checking OK.\r\n"),
              std::string::npos);
    EXPECT_EQ(queue_.MailSent(failed), kMailSentDone);
    EXPECT_EQ(queue_.MailSent(healthy), kMailSentDone);
    EXPECT_TRUE(queue_.added.empty());
}

TEST_F(MailRoundSmtpTest, TheAccountReachesTheServerOverStartTls) {
    auto settings = account("starttls", kSmtpStartTls, true);
    settings.Receipients = {{true, "ops@example.org", 0x4}};
    const auto row = queue_.Insert(kSentAt, 2, 1, "d");
    EXPECT_EQ(runMailRound(settings, queue_, send_), 1);
    const auto spool = server_.Spooled("starttls");
    ASSERT_EQ(spool.size(), 1u);
    EXPECT_TRUE(spool[0].tls);
    EXPECT_EQ(spool[0].authUser, SmtpHarness::kUser);
    EXPECT_EQ(spool[0].mailFrom, "raid@example.org");
    EXPECT_EQ(queue_.MailSent(row), kMailSentDone);
}

TEST_F(MailRoundSmtpTest, EachFailedRecipientBecomesAnEvent) {
    auto settings = account("plain", kSmtpPlain, false);
    settings.Receipients = {{true, "reject@example.org", 0x8}, {true, "ops@example.org", 0x8}};
    const auto row = queue_.Insert(kSentAt, 3, 11, "Data");
    EXPECT_EQ(runMailRound(settings, queue_, send_), 1);

    EXPECT_EQ(server_.Spooled("plain").size(), 1u);
    EXPECT_EQ(queue_.MailSent(row), kMailSentDone);  // one recipient got it
    ASSERT_EQ(queue_.added.size(), 1u);
    EXPECT_EQ(queue_.added[0].code, kEventMailFailed);
    EXPECT_EQ(queue_.added[0].type, 3);
    EXPECT_EQ(queue_.added[0].devname, "reject@example.org");
    EXPECT_EQ(queue_.added[0].data, "RCPT failed: 550");
}

TEST_F(MailRoundSmtpTest, AnAccountWithoutServerFailsClearlyAndCountsATry) {
    auto settings = account("plain", kSmtpPlain, false);
    settings.SMTP_Server.clear();
    settings.Receipients = {{true, "ops@example.org", 0x8}};
    const auto row = queue_.Insert(kSentAt, 3, 11, "Data");
    EXPECT_EQ(runMailRound(settings, queue_, send_), 1);

    EXPECT_EQ(queue_.MailSent(row), 1);
    ASSERT_EQ(queue_.added.size(), 1u);
    EXPECT_EQ(queue_.added[0].data, "no SMTP server configured");
    EXPECT_EQ(server_.Connections("plain"), 0);
}

}  // namespace
