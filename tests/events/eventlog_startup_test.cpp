// The service over a damaged or unusable event database, as a real process of the emulator
// build: a start-up that fails names the file and the reason and leaves the file as it was; a
// log that cannot store events says so once, not once per event.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <csignal>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "service_fixture.h"

namespace svctest {
namespace {

std::vector<std::string> linesWith(const std::string& log, const std::string& text) {
    std::vector<std::string> out;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        if (line.find(text) != std::string::npos) out.push_back(line);
    }
    return out;
}

// Runs the SQL on a database file of the test's own making.
void makeDatabase(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

TEST(EventLogStartup, DamagedDatabaseFailsTheStartupNamingFileAndReason) {
    struct Row {
        const char* name;
        const char* sql;  // null: random bytes
        const char* reason;
    };
    const Row rows[] = {
        {"random bytes", nullptr, "file is not a database"},
        {"a foreign events_v1",
         "CREATE TABLE events_v1 (id integer primary key, message text);"
         "INSERT INTO events_v1 (message) VALUES ('kept');",
         "table events_v1 has the columns (id, message), not the event log's six"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        TempDir dir;
        const std::string cfg = dir / "cfg";
        ASSERT_EQ(mkdir(cfg.c_str(), 0700), 0);
        const std::string db = cfg + "/eventlog.db";
        if (r.sql == nullptr) {
            std::mt19937 gen(11);
            std::string bytes(32 * 1024, '\0');
            for (auto& c : bytes) c = static_cast<char>(gen());
            writeFile(db, bytes);
        } else {
            makeDatabase(db, r.sql);
        }
        const std::string before = readFile(db);

        Process p(HXRAIDSVC_EMU,
                  {"-debug", "-port", std::to_string(freePort()), "-config", cfg, "-log",
                   dir / "service.log"},
                  dir.path());
        int status = 0;
        ASSERT_TRUE(p.wait(60, status)) << "the start-up must end";
        EXPECT_TRUE(WIFEXITED(status));
        const std::string log = readFile(dir / "service.log");
        const auto lines = linesWith(log, "fail to init event logger: " + db + ": " + r.reason);
        EXPECT_EQ(lines.size(), 1u) << log;
        for (const auto& line : lines) EXPECT_EQ(line.rfind("<11>", 0), 0u) << line;
        EXPECT_EQ(readFile(db), before) << "the damaged file is left byte for byte";
        EXPECT_FALSE(hasSanitizerReport(p.err())) << p.err();
    }
}

TEST(EventLogStartup, EventsThatCannotBeStoredAreReportedOnce) {
    // A log whose every insert is refused, as a full disk would refuse it.
    TempDir dir;
    const std::string cfg = dir / "cfg";
    ASSERT_EQ(mkdir(cfg.c_str(), 0700), 0);
    makeDatabase(cfg + "/eventlog.db",
                 "CREATE TABLE events_v1 (ev_time datetime,ev_mailsent int,ev_type int,"
                 "ev_devname text,ev_code int,ev_data text);"
                 "CREATE TRIGGER full BEFORE INSERT ON events_v1 BEGIN "
                 "SELECT RAISE(ABORT, 'database or disk is full'); END;");
    const int port = freePort();
    Process p(
        HXRAIDSVC_EMU,
        {"-debug", "-port", std::to_string(port), "-config", cfg, "-log", dir / "service.log"},
        dir.path());
    ASSERT_TRUE(waitForHttp(port, 60));
    for (int i = 0; i < 20; ++i) ASSERT_FALSE(loginCookie(port).empty()) << "login " << i;
    std::string cookie = loginCookie(port);
    HttpReply count = httpPost(port, "/", R"({"id":1,"method":"GetEventLogCount"})", cookie);
    EXPECT_NE(count.body.find(R"("result":0)"), std::string::npos) << count.body;

    p.signal(SIGINT);
    int status = 0;
    ASSERT_TRUE(p.wait(30, status));
    const std::string log = readFile(dir / "service.log");
    const auto lines = linesWith(log, "fail to add event");
    ASSERT_EQ(lines.size(), 1u) << log;
    EXPECT_EQ(lines[0].rfind("<11>", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("event log: fail to add event: database or disk is full (events lost "
                            "since the last such line: 1)"),
              std::string::npos)
        << lines[0];
    const auto rest = linesWith(log, "event log: events lost since the last such line: ");
    ASSERT_EQ(rest.size(), 1u) << "the folded losses are told at the stop: " << log;
    const std::string tail = rest[0].substr(rest[0].rfind(' ') + 1);
    EXPECT_GE(std::stoi(tail), 20) << "the other logins' events at least";
    EXPECT_FALSE(hasSanitizerReport(p.err())) << p.err();
}

}  // namespace
}  // namespace svctest
