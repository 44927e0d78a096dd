#include "event_logger.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstring>
#include <ctime>
#include <memory>

#include "event_logger_impl.h"
#include "log.h"
#include "sqlite_statement.h"

namespace {

constexpr const char* kCreateTable =
    "CREATE TABLE IF NOT EXISTS events_v1 (ev_time datetime,ev_mailsent int,ev_type int,"
    "ev_devname text,ev_code int,ev_data text)";
constexpr const char* kInsert = "INSERT INTO events_v1 values (?,0,?,?,?,?)";
constexpr const char* kCount = "SELECT COUNT(*) FROM events_v1";
constexpr const char* kSelectPage =
    "SELECT ev_time,ev_type,ev_code,ev_devname,ev_data FROM events_v1 "
    "order by ev_time desc, rowid desc LIMIT ? OFFSET ?";
constexpr const char* kClear = "DELETE FROM events_v1";
constexpr const char* kColumns = "PRAGMA table_info(events_v1)";
// The table's columns in the order the statements above rely on.
constexpr const char* kColumnNames[] = {"ev_time",    "ev_mailsent", "ev_type",
                                        "ev_devname", "ev_code",     "ev_data"};

// An administrator reading the live file with the sqlite3 tool holds its lock for a moment;
// writers wait this long rather than lose the event.
constexpr int kBusyTimeoutMs = 5000;

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Empty when events_v1 has the log's columns, else what it has instead.
std::string foreignColumns(sqlite3* db) {
    SqliteStatement s = sqlitePrepare(db, kColumns);
    if (!s) return sqlite3_errmsg(db);
    std::string found;
    bool same = true;
    size_t n = 0;
    while (sqlite3_step(s.get()) == SQLITE_ROW) {
        const std::string name = sqliteColumnText(s.get(), 1);
        if (n >= std::size(kColumnNames) || name != kColumnNames[n]) same = false;
        found += (n++ == 0 ? "" : ", ") + name;
    }
    if (same && n == std::size(kColumnNames)) return "";
    return "table events_v1 has the columns (" + found + "), not the event log's six";
}

}  // namespace

EventLogger::EventLogger() : m_impl(std::make_unique<Impl>()) {}

EventLogger::~EventLogger() {
    Stop();
    Close();
}

bool EventLogger::Open(const std::string& dbPath) {
    std::string ignored;
    return Open(dbPath, ignored);
}

bool EventLogger::Open(const std::string& dbPath, std::string& error) {
    Close();
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(dbPath.c_str(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                             nullptr);
    std::string reason;
    if (rc != SQLITE_OK || sqlite3_busy_timeout(db, kBusyTimeoutMs) != SQLITE_OK ||
        sqlite3_exec(db, kCreateTable, nullptr, nullptr, nullptr) != SQLITE_OK) {
        reason = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    } else {
        reason = foreignColumns(db);
    }
    if (!reason.empty()) {
        error = dbPath + ": " + reason;
        sqlite3_close(db);
        return false;
    }
    m_impl->db = db;
    m_impl->dbPath = dbPath;
    return true;
}

void EventLogger::Close() {
    Stop();  // the threads use the connection
    if (m_impl->db) sqlite3_close(m_impl->db);
    m_impl->db = nullptr;
}

bool EventLogger::IsOpen() const {
    return m_impl->db != nullptr;
}

void EventLogger::Stop() {
    MutexLock lock(m_impl->lifecycle);
    m_impl->stop.Request();
    for (int t : {Impl::kMailer, Impl::kScheduler, Impl::kPoller}) m_impl->thread[t].Join();
    m_impl->stop.Reset();
    if (uint64_t lost = m_impl->losses.TakePending()) {
        logPrint(kLogError, "event log: events lost since the last such line: %" PRIu64, lost);
    }
}

bool EventLogger::Add(const EventLogEntry& entry) {
    sqlite3* db = m_impl->db;
    if (!db) return false;
    std::string reason;
    {
        // The connection's own lock held over the statement, so the message read at the end is
        // this statement's and not another thread's.
        SqliteLock lock(db);
        SqliteStatement s = sqlitePrepare(db, kInsert);
        if (s) {
            sqlite3_bind_int64(s.get(), 1, static_cast<sqlite3_int64>(time(nullptr)));
            sqlite3_bind_int(s.get(), 2, entry.type);
            sqlite3_bind_text(s.get(), 3, entry.devname.data(),
                              static_cast<int>(entry.devname.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int(s.get(), 4, entry.code);
            sqlite3_bind_text(s.get(), 5, entry.data.data(), static_cast<int>(entry.data.size()),
                              SQLITE_TRANSIENT);
            if (sqlite3_step(s.get()) == SQLITE_DONE) return true;
        }
        reason = sqlite3_errmsg(db);
    }
    if (uint64_t lost = m_impl->losses.Lost()) {
        logPrint(kLogError,
                 "event log: fail to add event: %s (events lost since the last such line: %" PRIu64
                 ")",
                 reason.c_str(), lost);
    }
    return false;
}

int EventLogger::Count() {
    sqlite3* db = m_impl->db;
    if (!db) return -1;
    SqliteLock lock(db);
    SqliteStatement s = sqlitePrepare(db, kCount);
    if (!s || sqlite3_step(s.get()) != SQLITE_ROW) {
        logPrint(kLogError, "event log: fail to count events: %s", sqlite3_errmsg(db));
        return -1;
    }
    return sqlite3_column_int(s.get(), 0);
}

int EventLogger::Get(int start, int length,
                     const std::function<void(const EventLogEntry&)>& callback) {
    // SQLite reads a negative LIMIT as "no limit".
    if (start < 0 || length < 0) return -1;
    sqlite3* db = m_impl->db;
    if (!db) return -1;
    // The callback runs between the steps, so the connection is not held for the whole loop;
    // the message of a failure is read right after it.
    SqliteStatement s = sqlitePrepare(db, kSelectPage);
    if (!s) {
        logPrint(kLogError, "event log: fail to read events: %s", sqlite3_errmsg(db));
        return -1;
    }
    sqlite3_bind_int(s.get(), 1, length);
    sqlite3_bind_int(s.get(), 2, start);
    int rows = 0;
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
        EventLogEntry entry;
        entry.time = sqlite3_column_int64(s.get(), 0);
        entry.type = sqlite3_column_int(s.get(), 1);
        entry.code = sqlite3_column_int(s.get(), 2);
        entry.devname = sqliteColumnText(s.get(), 3);
        entry.data = sqliteColumnText(s.get(), 4);
        if (callback) callback(entry);
        ++rows;
    }
    if (rc == SQLITE_DONE) return rows;
    logPrint(kLogError, "event log: fail to read events: %s", sqlite3_errstr(rc));
    return -1;
}

bool EventLogger::Clear() {
    return m_impl->db && sqlite3_exec(m_impl->db, kClear, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool EventLogger::Backup(std::string& backupPath) {
    if (!m_impl->db) return false;
    MutexLock guard(m_impl->backupLock);
    const std::string target = folderOf(m_impl->dbPath) + "/eventlog.bak";

    // Built under a fresh name and renamed into place: a download of an earlier copy keeps
    // reading a whole file.
    std::string temp = target + ".XXXXXX";
    int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        logPrint(kLogError, "event log: fail to back up to %s: %s", temp.c_str(),
                 std::strerror(errno));
        return false;
    }
    close(fd);

    sqlite3* copy = nullptr;
    std::string reason;
    if (sqlite3_open_v2(temp.c_str(), &copy, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        reason = copy != nullptr ? sqlite3_errmsg(copy) : "cannot open";
    } else if (sqlite3_backup* backup = sqlite3_backup_init(copy, "main", m_impl->db, "main")) {
        int step = sqlite3_backup_step(backup, -1);
        sqlite3_backup_finish(backup);
        if (step != SQLITE_DONE) {
            reason = sqlite3_errstr(step);
        } else if (sqlite3_errcode(copy) != SQLITE_OK) {
            reason = sqlite3_errmsg(copy);
        }
    } else {
        reason = sqlite3_errmsg(copy);
    }
    if (sqlite3_close(copy) != SQLITE_OK && reason.empty()) reason = "cannot close the copy";
    if (reason.empty() && rename(temp.c_str(), target.c_str()) != 0) reason = std::strerror(errno);
    if (!reason.empty()) {
        logPrint(kLogError, "event log: fail to back up to %s: %s", target.c_str(), reason.c_str());
        unlink(temp.c_str());
        return false;
    }
    backupPath = target;
    return true;
}
