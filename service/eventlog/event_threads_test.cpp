#include "event_threads.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "emulated_domains.h"
#include "event_logger_impl.h"
#include "event_test_env.h"
#include "fake_clock.h"
#include "raw_db.h"

namespace {

constexpr int64_t kStart = 1773489600;  // a whole minute

class EventThreadsTest : public EventTestEnv {
protected:
    EventThreadDeps Deps() {
        EventThreadDeps deps;
        deps.config = &config;
        deps.smartInterval = &interval;
        deps.send = [this](const MailSettings&, const std::string& to, const std::string&,
                           const std::string& body, std::string*) {
            std::lock_guard<std::mutex> lock(m_sentLock);
            sent.push_back(to + ": " + body.substr(body.find("Event: ")));
            return 0;
        };
        return deps;
    }

    std::vector<std::string> Sent() {
        std::lock_guard<std::mutex> lock(m_sentLock);
        return sent;
    }

    std::atomic<int> interval{0};
    EmulatedDomains domains;
    std::vector<std::string> sent;

private:
    std::mutex m_sentLock;
};

TEST_F(EventThreadsTest, StartNeedsAnOpenLogAndItsDependencies) {
    EventThreadDeps none;
    EXPECT_FALSE(log.Start(none));
    EventThreadDeps noInterval = Deps();
    noInterval.smartInterval = nullptr;
    EXPECT_FALSE(log.Start(noInterval));

    EventLogger closed;
    EXPECT_FALSE(closed.Start(Deps()));
    closed.Stop();
}

TEST_F(EventThreadsTest, StartsOnceAndStopsAndStartsAgain) {
    // Real clock: every wait ends at the stop, so Stop returns without waiting out a period.
    EXPECT_TRUE(log.Start(Deps()));
    EXPECT_FALSE(log.Start(Deps()));  // already running
    log.Stop();
    log.Stop();  // nothing left to stop
    EXPECT_TRUE(log.Start(Deps()));
    log.Close();  // stops the threads before the connection goes
    EXPECT_FALSE(log.IsOpen());
}

// A scheduled verify starts, the controller reports it and the SMART checks' results, the
// poller stores them with their device names, and the mailer mails each once: one simulated
// hour, all three threads on one timeline.
TEST_F(EventThreadsTest, AnHourOfAllThreeThreads) {
    emu::State s;
    s.disks[0x100] = emuDisk(0x100, "MODEL", "SERIAL", {.controller = 0, .port = 1, .target = 2},
                             ARK_DISK_ENCLOSURE | ARK_DISK_SMART_ON);
    s.disks[0x101] = emuDisk(0x101, "OTHER", "S2", {.controller = 0, .port = 2, .target = 0});
    s.arrays[0x200] = emuArray(0x200, "Mirror", {0x100, 0x101}, 0xA1);
    emu::Emulator& e = domains.Add(s);

    value tasks, mail;
    ASSERT_TRUE(json::parse(R"([{"domain":0,"signature":161,"memberIndex":-1,"type":1,"date":)" +
                                std::to_string(kStart + 600) + "}]",
                            tasks));
    ASSERT_TRUE(config.SetValue(tasks, "tasks"));
    ASSERT_TRUE(json::parse(R"({"SMTP_Server":"127.0.0.1","Sender":"raid@example.org",
        "Receipients":[{"email":"ops@example.org","enable":true,"mask":14}]})",
                            mail));
    ASSERT_TRUE(config.SetValue(mail, "email_notification"));
    interval = 25;

    FakeClock clock(kStart, kStart + 3600, 3);
    EventThreadDeps deps = Deps();
    deps.clock = &clock;
    ASSERT_TRUE(log.Start(deps));
    clock.WaitParked();
    log.Stop();

    // The verify (minute 10), then a SMART check at minutes 25 and 50.
    std::vector<std::string> stored;
    for (const auto& ev : Events())
        stored.push_back(std::to_string(ev.type) + " " + std::to_string(ev.code) + " " +
                         ev.devname);
    EXPECT_EQ(stored, (std::vector<std::string>{"1 9 Mirror", "1 23 [1/E2/3] MODEL_SERIAL",
                                                "1 23 [1/E2/3] MODEL_SERIAL"}));
    EXPECT_EQ(Sent(),
              (std::vector<std::string>{
                  "ops@example.org: Event: Array \"Mirror\" verify started.",
                  "ops@example.org: Event: Disk \"[1/E2/3] MODEL_SERIAL\" SMART checking OK.",
                  "ops@example.org: Event: Disk \"[1/E2/3] MODEL_SERIAL\" SMART checking OK.",
              }));
    EXPECT_TRUE(e.Snapshot().arrays.at(0x200).flags & ARK_ARRAY_VERIFYING);

    // Every event is marked mailed.
    EXPECT_EQ(RawDb(Dir() + "/eventlog.db").MailSent(), (std::vector<int>{10, 10, 10}));
}

}  // namespace
