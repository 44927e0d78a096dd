#include "mail_round.h"

#include <gtest/gtest.h>

#include <set>

#include "fake_mail_queue.h"
#include "notification_text.h"
#include "scoped_time_zone.h"

namespace {

struct Sent {
    std::string to, subject, body;
};

// Records every mail; recipients in `failing` are refused like a server's 550.
struct RecordingSender {
    std::vector<Sent> sent;
    std::set<std::string> failing;

    MailSender fn() {
        return [this](const MailSettings&, const std::string& to, const std::string& subject,
                      const std::string& body, std::string* error) {
            if (failing.count(to)) {
                *error = "RCPT failed: 550";
                return 55;
            }
            sent.push_back({to, subject, body});
            return 0;
        };
    }
    std::vector<std::string> recipients() const {
        std::vector<std::string> out;
        for (const auto& s : sent) out.push_back(s.to);
        return out;
    }
};

MailSettings account(std::vector<MailRecipient> recipients) {
    MailSettings s;
    s.SMTP_Server = "127.0.0.1";
    s.Sender = "raid@example.org";
    s.Receipients = std::move(recipients);
    return s;
}

class MailRound : public testing::Test {
protected:
    ScopedTimeZone zone_{"UTC0"};
    FakeMailQueue queue_;
    RecordingSender sender_;
};

TEST_F(MailRound, MaskAndEnableChooseTheRecipients) {
    const auto settings = account({
        {true, "info@x.example", 0x2},
        {true, "warn@x.example", 0x4},
        {true, "error@x.example", 0x8},
        {false, "off@x.example", 0xE},
        {true, "all@x.example", 0xE},
        {true, "none@x.example", 0},
        {true, "high@x.example", 0x80000000},
    });
    struct Case {
        int type;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {1, {"info@x.example", "all@x.example"}},
        {2, {"warn@x.example", "all@x.example"}},
        {3, {"error@x.example", "all@x.example"}},
        {0, {}},
        {31, {"high@x.example"}},
        {32, {}},  // beyond the mask's bits
        {-1, {}},
        {1000, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type);
        queue_.rows.clear();
        sender_.sent.clear();
        const auto row = queue_.Insert(1749132189, c.type, 1, "d");
        EXPECT_EQ(runMailRound(settings, queue_, sender_.fn()), 1);
        EXPECT_EQ(sender_.recipients(), c.expected);
        // A row that reached nobody still used up one try.
        EXPECT_EQ(queue_.MailSent(row), c.expected.empty() ? 1 : kMailSentDone);
    }
    EXPECT_TRUE(queue_.added.empty());
}

TEST_F(MailRound, SendsTheEventTextUnderTheFixedSubject) {
    queue_.Insert(1749132189, 2, 1, "[1/E1/3] DM4000_Z1");
    runMailRound(account({{true, "ops@x.example", 0x4}}), queue_, sender_.fn());
    ASSERT_EQ(sender_.sent.size(), 1u);
    EXPECT_EQ(sender_.sent[0].subject, "RAID Manager Notification");
    EXPECT_EQ(sender_.sent[0].body,
              "Date: 2025-06-05 14:03:09\r\nEvent: Disk \"[1/E1/3] DM4000_Z1\" was removed.");
}

TEST_F(MailRound, HandlesAHundredRowsARound) {
    std::vector<int64_t> ids;
    ids.reserve(150);
    for (int i = 0; i < 150; ++i) ids.push_back(queue_.Insert(1749132189 + i, 3, 8, "a"));
    const auto settings = account({{true, "ops@x.example", 0x8}});

    EXPECT_EQ(runMailRound(settings, queue_, sender_.fn()), 100);
    EXPECT_EQ(sender_.sent.size(), 100u);
    EXPECT_EQ(queue_.MailSent(ids[99]), kMailSentDone);
    EXPECT_EQ(queue_.MailSent(ids[100]), 0);

    EXPECT_EQ(runMailRound(settings, queue_, sender_.fn()), 50);
    EXPECT_EQ(sender_.sent.size(), 150u);
    EXPECT_EQ(queue_.MailSent(ids[149]), kMailSentDone);

    EXPECT_EQ(runMailRound(settings, queue_, sender_.fn()), 0);
    EXPECT_EQ(sender_.sent.size(), 150u);
}

TEST_F(MailRound, AFailingRecipientIsTriedTenTimesAndEachFailureRecorded) {
    sender_.failing = {"bad@x.example"};
    const auto row = queue_.Insert(1749132189, 3, 11, "Data");
    const auto settings = account({{true, "bad@x.example", 0x8}});
    for (int round = 1; round <= 10; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        EXPECT_EQ(runMailRound(settings, queue_, sender_.fn()), 1);
        EXPECT_EQ(queue_.MailSent(row), round);
        ASSERT_EQ(queue_.added.size(), static_cast<size_t>(round));
        const auto& e = queue_.added.back();
        EXPECT_EQ(e.type, 3);
        EXPECT_EQ(e.code, kEventMailFailed);
        EXPECT_EQ(e.devname, "bad@x.example");
        EXPECT_EQ(e.data, "RCPT failed: 550");
    }
    EXPECT_EQ(runMailRound(settings, queue_, sender_.fn()), 0);
    EXPECT_EQ(queue_.added.size(), 10u);
}

TEST_F(MailRound, OneDeliveredRecipientCompletesTheRow) {
    sender_.failing = {"bad@x.example"};
    const auto row = queue_.Insert(1749132189, 3, 11, "Data");
    runMailRound(account({{true, "bad@x.example", 0x8}, {true, "good@x.example", 0x8}}), queue_,
                 sender_.fn());
    EXPECT_EQ(sender_.recipients(), std::vector<std::string>{"good@x.example"});
    EXPECT_EQ(queue_.MailSent(row), kMailSentDone);
    ASSERT_EQ(queue_.added.size(), 1u);
    EXPECT_EQ(queue_.added[0].devname, "bad@x.example");
}

TEST_F(MailRound, AStopEndsTheRoundBetweenRows) {
    const auto first = queue_.Insert(1, 3, 8, "a");
    const auto second = queue_.Insert(2, 3, 8, "b");
    int asked = 0;
    const auto stop = [&] { return ++asked > 1; };
    EXPECT_EQ(runMailRound(account({{true, "ops@x.example", 0x8}}), queue_, sender_.fn(), stop), 1);
    EXPECT_EQ(queue_.MailSent(first), kMailSentDone);
    EXPECT_EQ(queue_.MailSent(second), 0);
}

TEST_F(MailRound, UnreadableRowsSendNothing) {
    queue_.Insert(1, 3, 8, "a");
    queue_.failRead = true;
    EXPECT_EQ(runMailRound(account({{true, "ops@x.example", 0x8}}), queue_, sender_.fn()), -1);
    EXPECT_TRUE(sender_.sent.empty());
}

}  // namespace
