#include "event_logger.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "raw_db.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

class EventLoggerTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "eventtest.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        dbPath = dir / "eventlog.db";
        ASSERT_TRUE(logger.Open(dbPath.string()));
    }
    void TearDown() override {
        logger.Close();
        fs::remove_all(dir);
    }
    std::vector<EventLogEntry> get(int start, int length, int* result = nullptr) {
        std::vector<EventLogEntry> out;
        int n = logger.Get(start, length, [&](const EventLogEntry& e) { out.push_back(e); });
        if (result) *result = n;
        return out;
    }

    fs::path dir, dbPath;
    EventLogger logger;
};

TEST_F(EventLoggerTest, TableIsExactlyAsSpecifiedWithoutIndex) {
    RawDb raw(dbPath.string());
    // SQLite reports the affinity names it knows in capitals.
    EXPECT_EQ(raw.Rows("PRAGMA table_info(events_v1)"), (std::vector<std::string>{
                                                            "0|ev_time|datetime|0|NULL|0",
                                                            "1|ev_mailsent|INT|0|NULL|0",
                                                            "2|ev_type|INT|0|NULL|0",
                                                            "3|ev_devname|TEXT|0|NULL|0",
                                                            "4|ev_code|INT|0|NULL|0",
                                                            "5|ev_data|TEXT|0|NULL|0",
                                                        }));
    EXPECT_EQ(raw.Rows("SELECT type, name, sql FROM sqlite_master"),
              std::vector<std::string>{
                  "table|events_v1|CREATE TABLE events_v1 (ev_time datetime,ev_mailsent int,"
                  "ev_type int,ev_devname text,ev_code int,ev_data text)"});

    ASSERT_TRUE(logger.Add(EventLogEntry(2, 7, "Array 1", "detail")));
    EXPECT_EQ(raw.Rows("SELECT ev_mailsent, ev_type, ev_devname, ev_code, ev_data, "
                       "typeof(ev_time) FROM events_v1"),
              std::vector<std::string>{"0|2|Array 1|7|detail|integer"});
}

TEST_F(EventLoggerTest, ReopeningKeepsRows) {
    EXPECT_EQ(logger.Count(), 0);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(logger.Add(EventLogEntry(1, 101 + i, "admin", "")));
    logger.Close();
    EXPECT_FALSE(logger.IsOpen());

    EventLogger again;
    ASSERT_TRUE(again.Open(dbPath.string()));
    EXPECT_EQ(again.Count(), 3);
    std::vector<int> codes;
    EXPECT_EQ(again.Get(0, 10, [&](const EventLogEntry& e) { codes.push_back(e.code); }), 3);
    EXPECT_EQ(codes, (std::vector<int>{103, 102, 101}));
}

TEST_F(EventLoggerTest, PagesNewestFirstWithSameSecondRowsNewestInsertedFirst) {
    {
        RawDb raw(dbPath.string());
        // Inserted in this order; the expected order is by time, then by insertion, both
        // descending.
        EXPECT_EQ(
            raw.Exec("INSERT INTO events_v1 VALUES (100,0,1,'a',1,''),(200,0,1,'b',1,''),"
                     "(100,0,1,'c',1,''),(300,0,1,'d',1,''),(200,0,1,'e',1,''),(200,0,1,'f',1,'')"),
            SQLITE_OK);
    }
    EXPECT_EQ(logger.Count(), 6);
    struct Case {
        int start, length;
        int result;
        std::string names;
    };
    const Case cases[] = {
        {0, 6, 6, "dfebca"}, {0, 100, 6, "dfebca"}, {0, 2, 2, "df"}, {2, 2, 2, "eb"},
        {4, 10, 2, "ca"},    {5, 1, 1, "a"},        {6, 5, 0, ""},   {100, 1, 0, ""},
        {0, 0, 0, ""},       {-1, 5, -1, ""},       {0, -1, -1, ""}, {-3, -3, -1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "start " << c.start << ", length " << c.length);
        int result = 0;
        std::string names;
        for (const auto& e : get(c.start, c.length, &result)) names += e.devname;
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(names, c.names);
    }
    auto page = get(0, 1);
    ASSERT_EQ(page.size(), 1u);
    EXPECT_EQ(page[0].time, 300);
}

TEST_F(EventLoggerTest, AddStampsNowAndSameSecondEventsComeBackNewestFirst) {
    const time_t before = time(nullptr);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(logger.Add(EventLogEntry(1, i, "", "")));
    const time_t after = time(nullptr);
    auto events = get(0, 10);
    ASSERT_EQ(events.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(events[i].code, 4 - i);
        EXPECT_GE(events[i].time, before);
        EXPECT_LE(events[i].time, after);
        EXPECT_EQ(events[i].type, 1);
    }
}

TEST_F(EventLoggerTest, TextsRoundTripAsStored) {
    struct Case {
        const char* name;
        std::string devname, data;
    };
    const Case cases[] = {
        {"empty", "", ""},
        {"single quotes", "O'Brien's disk", "it's '' fine"},
        {"double quotes", "\"quoted\"", "say \"hi\""},
        {"SQL-looking", "x'); DROP TABLE events_v1; --", "' OR '1'='1"},
        {"UTF-8", "Datenträger ☃", "größe"},
        {"embedded zero byte", "a\0b"s, "\0"s},
        {"long", std::string(5000, 'L'), std::string(10000, 'D')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(logger.Clear());
        ASSERT_TRUE(logger.Add(EventLogEntry(3, 114, c.devname, c.data)));
        auto events = get(0, 1);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].devname, c.devname);
        EXPECT_EQ(events[0].data, c.data);
        EXPECT_EQ(events[0].type, 3);
        EXPECT_EQ(events[0].code, 114);
        EXPECT_EQ(logger.Count(), 1);
    }
}

TEST_F(EventLoggerTest, ClearRemovesRowsAndTheirMailState) {
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(logger.Add(EventLogEntry(3, 5, "d", "")));
    RawDb raw(dbPath.string());
    EXPECT_EQ(raw.Exec("UPDATE events_v1 SET ev_mailsent=10"), SQLITE_OK);
    ASSERT_TRUE(logger.Clear());
    EXPECT_EQ(logger.Count(), 0);
    EXPECT_EQ(get(0, 10).size(), 0u);
    ASSERT_TRUE(logger.Add(EventLogEntry(3, 5, "d", "")));
    EXPECT_EQ(raw.Rows("SELECT ev_mailsent FROM events_v1"), std::vector<std::string>{"0"});
}

TEST_F(EventLoggerTest, FailedInsertIsReported) {
    {
        // The statement prepares but its step fails.
        RawDb raw(dbPath.string());
        EXPECT_EQ(raw.Exec("CREATE TRIGGER refuse BEFORE INSERT ON events_v1 BEGIN "
                           "SELECT RAISE(ABORT, 'refused'); END"),
                  SQLITE_OK);
    }
    EXPECT_FALSE(logger.Add(EventLogEntry(1, 1, "", "")));
    EXPECT_EQ(logger.Count(), 0);
}

TEST_F(EventLoggerTest, ReaderHoldingTheFileCostsNoEvent) {
    RawDb reader(dbPath.string());
    EXPECT_EQ(reader.Exec("BEGIN"), SQLITE_OK);
    EXPECT_EQ(reader.Rows("SELECT COUNT(*) FROM events_v1"), std::vector<std::string>{"0"});
    // The reader's shared lock blocks the insert's commit until the reader lets go.
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(reader.Exec("COMMIT"), SQLITE_OK);
    });
    EXPECT_TRUE(logger.Add(EventLogEntry(1, 1, "", "")));
    release.join();
    EXPECT_EQ(logger.Count(), 1);
}

TEST(EventLoggerClosed, EveryOperationFails) {
    EventLogger logger;
    std::string path = "unchanged";
    int calls = 0;
    EXPECT_FALSE(logger.IsOpen());
    EXPECT_FALSE(logger.Add(EventLogEntry(1, 1, "", "")));
    EXPECT_EQ(logger.Count(), -1);
    EXPECT_EQ(logger.Get(0, 10, [&](const EventLogEntry&) { ++calls; }), -1);
    EXPECT_FALSE(logger.Clear());
    EXPECT_FALSE(logger.Backup(path));
    logger.Stop();
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(path, "unchanged");

    EXPECT_FALSE(logger.Open("/nonexistent-folder-for-test/eventlog.db"));
    EXPECT_FALSE(logger.IsOpen());
}

TEST_F(EventLoggerTest, BackupWhileInsertingIsConsistent) {
    constexpr int kEvents = 1500;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < kEvents; ++i)
            EXPECT_TRUE(logger.Add(EventLogEntry(1, i % 100, "disk " + std::to_string(i), "")));
        done = true;
    });

    int previous = 0, backups = 0;
    const fs::path expected = dir / "eventlog.bak";
    while (!done || backups < 3) {
        std::string path;
        ASSERT_TRUE(logger.Backup(path));
        ++backups;
        EXPECT_EQ(fs::path(path), expected);
        RawDb copy(path);
        EXPECT_EQ(copy.Rows("PRAGMA integrity_check"), std::vector<std::string>{"ok"});
        auto count = copy.Rows("SELECT COUNT(*) FROM events_v1");
        ASSERT_EQ(count.size(), 1u);
        int n = std::stoi(count[0]);
        EXPECT_GE(n, previous);  // each copy is a later state than the one before
        EXPECT_LE(n, kEvents);
        previous = n;
    }
    writer.join();

    std::string path;
    ASSERT_TRUE(logger.Backup(path));
    RawDb copy(path);
    EXPECT_EQ(copy.Rows("SELECT COUNT(*), MIN(ev_devname = 'disk ' || (rowid - 1)) FROM events_v1"),
              std::vector<std::string>{std::to_string(kEvents) + "|1"});
    // No temporary copies are left behind.
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"eventlog.db", "eventlog.bak"}));
}

}  // namespace
