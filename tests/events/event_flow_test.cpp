#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "emulated_domains.h"
#include "event_test_env.h"
#include "event_threads.h"
#include "fake_clock.h"
#include "raw_db.h"
#include "smtp_client.h"
#include "smtp_harness.h"

namespace {

constexpr int64_t kStart = 1773489600;

class EventFlowTest : public EventTestEnv {
protected:
    void SetUp() override {
        EventTestEnv::SetUp();
        ASSERT_EQ(smtpGlobalInit(), 0);
        ASSERT_EQ(server.Start(), "") << "these tests need /usr/bin/python3 with aiosmtpd";

        emu::State s;
        s.disks[0x100] = emuDisk(0x100, "MODEL", "SERIAL",
                                 {.controller = 0, .port = 1, .target = 2}, ARK_DISK_ENCLOSURE);
        emu::Event removed;
        removed.code = 1;
        removed.devid = 0x100;
        s.events.push_back(removed);
        domains.Add(s);
    }

    void SetMail(const std::string& listener, const std::string& recipient) {
        value mail;
        ASSERT_TRUE(json::parse(R"({"SMTP_Server":"127.0.0.1","SMTP_Port":)" +
                                    std::to_string(server.Port(listener)) +
                                    R"(,"Protocol":0,"SMTP_User":"","SMTP_Password":"",
                "Sender":"raid@example.org","Receipients":[{"email":")" +
                                    recipient + R"(","enable":true,"mask":4}]})",
                                mail));
        ASSERT_TRUE(config.SetValue(mail, "email_notification"));
    }

    EventThreadDeps Deps(EventClock& clock) {
        EventThreadDeps deps;
        deps.config = &config;
        deps.smartInterval = &interval;
        deps.clock = &clock;
        return deps;  // the real sender
    }

    // ev_mailsent of every row, oldest first.
    std::vector<int> MailSent() { return RawDb(Dir() + "/eventlog.db").MailSent(); }

    SmtpHarness server;
    EmulatedDomains domains;
    std::atomic<int> interval{0};
};

TEST_F(EventFlowTest, ControllerEventIsStoredMailedAndMarkedSent) {
    SetMail("plain", "ops@example.org");
    FakeClock clock(kStart, kStart + 120, 3);
    ASSERT_TRUE(log.Start(Deps(clock)));
    clock.WaitParked();
    log.Stop();

    const auto events = Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, 2);
    EXPECT_EQ(events[0].code, 1);
    EXPECT_EQ(events[0].devname, "[1/E2/3] MODEL_SERIAL");

    const auto mails = server.Spooled("plain");
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].mailFrom, "raid@example.org");
    EXPECT_EQ(mails[0].rcptTos, std::vector<std::string>{"ops@example.org"});
    EXPECT_NE(mails[0].data.find("Subject: RAID Manager Notification\r\n"), std::string::npos);
    EXPECT_NE(mails[0].data.find("\r\nEvent: Disk \"[1/E2/3] MODEL_SERIAL\" was removed."),
              std::string::npos)
        << mails[0].data;
    EXPECT_EQ(MailSent(), std::vector<int>{10});
}

TEST_F(EventFlowTest, StopEndsATransferToASilentServer) {
    SetMail("silent", "ops@example.org");
    FakeClock clock(kStart, kStart + 120, 3);
    ASSERT_TRUE(log.Start(Deps(clock)));
    // The mailer has connected and waits for a greeting that never comes (connect and total
    // time-outs are far longer than this test).
    ASSERT_TRUE(server.WaitForConnections("silent", 1));
    log.Stop();

    // It was the stop that ended the transfer: the failure says so, and the try is counted.
    const auto failures = EventsWithCode(114);
    ASSERT_EQ(failures.size(), 1u);
    std::string reason = failures[0].data;
    std::transform(reason.begin(), reason.end(), reason.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    EXPECT_NE(reason.find("abort"), std::string::npos) << failures[0].data;
    EXPECT_EQ(failures[0].devname, "ops@example.org");
    EXPECT_EQ(MailSent(), (std::vector<int>{1, 0}));  // the row, then its failure event
}

}  // namespace
