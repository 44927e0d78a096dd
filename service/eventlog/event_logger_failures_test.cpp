// What the event log says when its file is damaged or a statement fails: the reason reaches the
// caller or the service log, and a damaged file is left as it was.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "event_logger.h"
#include "log.h"
#include "raw_db.h"

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeAll(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A folder of the test's own with the service log written into it.
class EventLogFailures : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "eventfail.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        db = dir / "eventlog.db";
        ASSERT_EQ(logOpen((dir / "service.log").c_str()), 0);
    }
    void TearDown() override {
        logger.Close();
        logClose();
        fs::remove_all(dir);
    }
    // The service log's lines that contain `text`.
    std::vector<std::string> logLines(const std::string& text) {
        std::vector<std::string> out;
        std::istringstream lines(readAll(dir / "service.log"));
        for (std::string line; std::getline(lines, line);) {
            if (line.find(text) != std::string::npos) out.push_back(line);
        }
        return out;
    }
    std::vector<std::string> folder() {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) {
            if (e.path().filename() != "service.log") names.push_back(e.path().filename());
        }
        return names;
    }

    fs::path dir, db;
    EventLogger logger;
};

std::string randomBytes(size_t n) {
    std::mt19937 gen(7);
    std::string out(n, '\0');
    for (auto& c : out) c = static_cast<char>(gen());
    return out;
}

TEST_F(EventLogFailures, OpenRefusesADamagedFileNamingItAndLeavesItAsItWas) {
    struct Row {
        const char* name;
        const char* schema;  // null: the file is random bytes
        const char* reason;
    };
    const Row rows[] = {
        {"random bytes", nullptr, "file is not a database"},
        {"another table of that name", "CREATE TABLE events_v1 (id integer, note text)",
         "table events_v1 has the columns (id, note), not the event log's six"},
        {"the columns in another order",
         "CREATE TABLE events_v1 (ev_time, ev_type, ev_mailsent, ev_devname, ev_code, ev_data)",
         "table events_v1 has the columns (ev_time, ev_type, ev_mailsent, ev_devname, "
         "ev_code, ev_data)"},
        {"a seventh column",
         "CREATE TABLE events_v1 (ev_time datetime,ev_mailsent int,ev_type int,"
         "ev_devname text,ev_code int,ev_data text, extra)",
         "table events_v1 has the columns (ev_time, ev_mailsent, ev_type, ev_devname, ev_code, "
         "ev_data, extra)"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        fs::remove(db);
        if (r.schema == nullptr) {
            writeAll(db, randomBytes(64 * 1024));
        } else {
            writeAll(db, "");  // an empty file is an empty database
            RawDb raw(db.string());
            ASSERT_EQ(raw.Exec(r.schema), SQLITE_OK);
            ASSERT_EQ(raw.Exec("INSERT INTO events_v1 DEFAULT VALUES"), SQLITE_OK);
        }
        const std::string before = readAll(db);
        std::string error;
        EXPECT_FALSE(logger.Open(db.string(), error));
        EXPECT_FALSE(logger.IsOpen());
        EXPECT_EQ(error.rfind(db.string() + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(r.reason), std::string::npos) << error;
        EXPECT_EQ(readAll(db), before) << "byte for byte";
        EXPECT_EQ(folder(), std::vector<std::string>{"eventlog.db"}) << "no journal left behind";
    }
    std::string error;
    EXPECT_FALSE(logger.Open((dir / "missing" / "eventlog.db").string(), error));
    EXPECT_NE(error.find("missing/eventlog.db: unable to open database file"), std::string::npos)
        << error;
}

TEST_F(EventLogFailures, FailedAddsAreLoggedOnceNotOncePerEvent) {
    ASSERT_TRUE(logger.Open(db.string()));
    {
        RawDb raw(db.string());
        ASSERT_EQ(raw.Exec("CREATE TRIGGER full BEFORE INSERT ON events_v1 BEGIN "
                           "SELECT RAISE(ABORT, 'no room for the event'); END"),
                  SQLITE_OK);
    }
    for (int i = 0; i < 25; ++i) EXPECT_FALSE(logger.Add(EventLogEntry(1, 101, "admin", "")));
    EXPECT_EQ(logger.Count(), 0);
    const auto lines = logLines("fail to add event");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("<11>"), std::string::npos) << "error level: " << lines[0];
    EXPECT_NE(lines[0].find("fail to add event: no room for the event (events lost since the "
                            "last such line: 1)"),
              std::string::npos)
        << lines[0];
    logger.Close();
    EXPECT_EQ(logLines("events lost since the last such line: 24").size(), 1u)
        << "the folded losses are told when the log closes";
}

TEST_F(EventLogFailures, EveryFailedReadIsLoggedWithItsReason) {
    ASSERT_TRUE(logger.Open(db.string()));
    logger.Close();
    {
        RawDb raw(db.string());
        ASSERT_EQ(raw.Exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                           "WHERE i < 2000) INSERT INTO events_v1 SELECT i, 0, 1, 'disk ' || i, "
                           "1, printf('%.200c', 'x') FROM n"),
                  SQLITE_OK);
    }
    // A page in the middle of the table overwritten; the schema on page 1 stays readable.
    std::string bytes = readAll(db);
    ASSERT_GT(bytes.size(), 64u * 4096);
    bytes.replace(40 * 4096, 4096, std::string(4096, '\xA5'));
    writeAll(db, bytes);

    ASSERT_TRUE(logger.Open(db.string())) << "only the table's pages are damaged";
    EXPECT_EQ(logger.Count(), -1);
    EXPECT_EQ(logger.Count(), -1);
    EXPECT_EQ(logLines("event log: fail to count events: database disk image is malformed").size(),
              2u);
    EXPECT_EQ(logger.Get(0, 100000, nullptr), -1);
    EXPECT_EQ(logLines("event log: fail to read events: database disk image is malformed").size(),
              1u);
    EXPECT_EQ(logLines("fail to").size(), 3u) << "nothing else was logged";
}

TEST_F(EventLogFailures, FailedBackupIsLoggedWithItsReasonAndLeavesNoPart) {
    ASSERT_TRUE(logger.Open(db.string()));
    ASSERT_TRUE(logger.Add(EventLogEntry(1, 1, "", "")));
    fs::create_directory(dir / "eventlog.bak");
    writeAll(dir / "eventlog.bak" / "keep", "x");
    std::string path = "unchanged";
    EXPECT_FALSE(logger.Backup(path));
    EXPECT_EQ(path, "unchanged");
    const auto lines = logLines("event log: fail to back up to " + (dir / "eventlog.bak").string());
    ASSERT_EQ(lines.size(), 1u) << readAll(dir / "service.log");
    EXPECT_NE(lines[0].find(": Is a directory"), std::string::npos) << lines[0];
    auto names = folder();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"eventlog.bak", "eventlog.db"}));
}

}  // namespace
