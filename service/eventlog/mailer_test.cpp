#include "mailer.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "event_test_env.h"
#include "fake_clock.h"
#include "raw_db.h"

namespace {

struct Sent {
    std::string to, body;
};

class MailerTest : public EventTestEnv {
protected:
    void SetUp() override {
        EventTestEnv::SetUp();
        db = std::make_unique<RawDb>(Dir() + "/eventlog.db");
        queue = std::make_unique<EventMailQueue>(RawHandle(), log);
    }
    void TearDown() override {
        queue.reset();
        sqlite3_close(m_handle);
        db.reset();
        EventTestEnv::TearDown();
    }

    // The queue works on a connection of its own here, opened like the log's.
    sqlite3* RawHandle() {
        sqlite3_open_v2((Dir() + "/eventlog.db").c_str(), &m_handle,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
        return m_handle;
    }

    void SetMail(const std::string& json) {
        value v;
        ASSERT_TRUE(json::parse(json, v));
        ASSERT_TRUE(config.SetValue(v, "email_notification"));
    }

    MailSender Recorder() {
        return [this](const MailSettings&, const std::string& to, const std::string&,
                      const std::string& body, std::string* error) {
            if (failing.count(to)) {
                *error = "RCPT failed: 550";
                return 55;
            }
            sent.push_back({to, body});
            return 0;
        };
    }

    std::unique_ptr<RawDb> db;
    std::unique_ptr<EventMailQueue> queue;
    std::vector<Sent> sent;
    std::set<std::string> failing;
    StopSignal stop;

private:
    sqlite3* m_handle = nullptr;
};

constexpr const char* kOneRecipient =
    R"({"SMTP_Server":"127.0.0.1","Sender":"raid@example.org",
        "Receipients":[{"email":"ops@example.org","enable":true,"mask":14}]})";

TEST_F(MailerTest, PendingRowsAreReadOldestFirstAndCopiedWhole) {
    ASSERT_TRUE(log.Add(EventLogEntry(2, 1, "[1/2] DISK_SN", "")));
    ASSERT_TRUE(log.Add(EventLogEntry(1, 101, "admin", "")));  // a user action: never mailed
    ASSERT_TRUE(log.Add(EventLogEntry(3, 99, "x", "detail")));
    ASSERT_TRUE(log.Add(EventLogEntry(1, 4, "done", "")));
    ASSERT_TRUE(log.Add(EventLogEntry(1, 6, "tried", "")));
    ASSERT_EQ(db->Exec("UPDATE events_v1 SET ev_mailsent=10 WHERE ROWID=4"), SQLITE_OK);
    ASSERT_EQ(db->Exec("UPDATE events_v1 SET ev_mailsent=9 WHERE ROWID=5"), SQLITE_OK);

    std::vector<PendingMail> rows;
    ASSERT_TRUE(queue->ReadPendingMail(100, rows));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].rowid, 1);
    EXPECT_EQ(rows[0].entry.type, 2);
    EXPECT_EQ(rows[0].entry.code, 1);
    EXPECT_EQ(rows[0].entry.devname, "[1/2] DISK_SN");
    EXPECT_GT(rows[0].entry.time, 0);
    EXPECT_EQ(rows[1].rowid, 3);
    EXPECT_EQ(rows[1].entry.data, "detail");
    EXPECT_EQ(rows[2].rowid, 5);
    EXPECT_EQ(rows[2].mailsent, 9);

    ASSERT_TRUE(queue->ReadPendingMail(1, rows));
    EXPECT_EQ(rows.size(), 1u);
    ASSERT_TRUE(queue->SetMailSent(3, 10));
    EXPECT_EQ(db->MailSent(), (std::vector<int>{0, 0, 10, 10, 9}));
}

TEST_F(MailerTest, HundredAndFiftyRowsTakeTwoRounds) {
    SetMail(kOneRecipient);
    for (int i = 0; i < 150; ++i) ASSERT_TRUE(log.Add(EventLogEntry(2, 1, std::to_string(i), "")));
    EXPECT_EQ(runMailerRound(config, *queue, Recorder(), stop), 100);
    EXPECT_EQ(sent.size(), 100u);
    EXPECT_NE(sent[0].body.find("Event: Disk \"0\" was removed."), std::string::npos);
    EXPECT_EQ(runMailerRound(config, *queue, Recorder(), stop), 50);
    EXPECT_EQ(sent.size(), 150u);
    EXPECT_NE(sent[149].body.find("Disk \"149\""), std::string::npos);
    EXPECT_EQ(runMailerRound(config, *queue, Recorder(), stop), 0);
    EXPECT_EQ(db->MailSent(), std::vector<int>(150, 10));
}

TEST_F(MailerTest, FailingRecipientUsesUpTenTries) {
    SetMail(kOneRecipient);
    failing.insert("ops@example.org");
    ASSERT_TRUE(log.Add(EventLogEntry(3, 22, "[1/1] D_S", "")));
    for (int round = 1; round <= 12; ++round) runMailerRound(config, *queue, Recorder(), stop);
    EXPECT_TRUE(sent.empty());
    const auto failures = EventsWithCode(114);
    ASSERT_EQ(failures.size(), 10u);
    EXPECT_EQ(failures[0].type, 3);
    EXPECT_EQ(failures[0].devname, "ops@example.org");
    EXPECT_EQ(failures[0].data, "RCPT failed: 550");
    // The row tried ten times, then the ten failure events (never mailed themselves).
    std::vector<int> expected = {10};
    expected.resize(11, 0);
    EXPECT_EQ(db->MailSent(), expected);
}

TEST_F(MailerTest, NoMailSettingsSendsNothing) {
    ASSERT_TRUE(log.Add(EventLogEntry(2, 1, "d", "")));
    EXPECT_EQ(runMailerRound(config, *queue, Recorder(), stop), -1);
    SetMail(R"(["not", "an", "object"])");
    EXPECT_EQ(runMailerRound(config, *queue, Recorder(), stop), -1);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(db->MailSent(), (std::vector<int>{0}));
}

TEST_F(MailerTest, StoppedRoundLeavesTheRows) {
    SetMail(kOneRecipient);
    ASSERT_TRUE(log.Add(EventLogEntry(2, 1, "d", "")));
    stop.Request();
    EXPECT_EQ(runMailerRound(config, *queue, Recorder(), stop), 0);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(db->MailSent(), (std::vector<int>{0}));
}

TEST_F(MailerTest, NoReadIsOpenWhileMailIsSent) {
    SetMail(kOneRecipient);
    ASSERT_TRUE(log.Add(EventLogEntry(2, 1, "a", "")));
    ASSERT_TRUE(log.Add(EventLogEntry(2, 2, "b", "")));
    // Another connection writes during each send without waiting: an open read of the
    // mailer would hold a shared lock and make it fail with SQLITE_BUSY.
    std::vector<int> writes;
    MailSender send = [&](const MailSettings&, const std::string&, const std::string&,
                          const std::string&, std::string*) {
        writes.push_back(db->Exec("INSERT INTO events_v1 VALUES (1,10,1,'',200,'')"));
        return 0;
    };
    EXPECT_EQ(runMailerRound(config, *queue, send, stop), 2);
    EXPECT_EQ(writes, (std::vector<int>{SQLITE_OK, SQLITE_OK}));
}

TEST_F(MailerTest, ThreadMailsOncePerMinute) {
    SetMail(kOneRecipient);
    ASSERT_TRUE(log.Add(EventLogEntry(2, 1, "a", "")));
    FakeClock clock(5000, 5000 + 600);
    int rounds = 0;
    MailSender send = Recorder();
    MailSender counting = [&](const MailSettings& s, const std::string& to,
                              const std::string& subject, const std::string& body,
                              std::string* error) {
        ++rounds;
        // A new event each round, so every round has one row to send.
        log.Add(EventLogEntry(2, 2, "r" + std::to_string(rounds), ""));
        return send(s, to, subject, body, error);
    };
    std::thread mailer([&] { runMailer(config, *queue, counting, clock, stop); });
    clock.WaitParked();
    stop.Request();
    mailer.join();
    EXPECT_EQ(rounds, 10);  // at 5060, 5120, ... 5600
    EXPECT_EQ(clock.Waits(), 10);
    ASSERT_EQ(sent.size(), 10u);
    EXPECT_NE(sent[9].body.find("\"r9\""), std::string::npos);
}

}  // namespace
