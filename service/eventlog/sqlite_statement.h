#pragma once

// Prepared statements of the event log's connection: prepared and finalised on each use, none
// kept between calls.

#include <sqlite3.h>

#include <cstddef>
#include <memory>
#include <string>

struct SqliteFinalize {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using SqliteStatement = std::unique_ptr<sqlite3_stmt, SqliteFinalize>;

// Holds a connection's own (recursive) lock for a scope, so a sequence of calls and the error
// message read after them belong together.
class SqliteLock {
public:
    explicit SqliteLock(sqlite3* db) : m_mutex(sqlite3_db_mutex(db)) {
        sqlite3_mutex_enter(m_mutex);
    }
    ~SqliteLock() { sqlite3_mutex_leave(m_mutex); }
    SqliteLock(const SqliteLock&) = delete;
    SqliteLock& operator=(const SqliteLock&) = delete;

private:
    sqlite3_mutex* m_mutex;
};

// Null when `db` is null or the statement does not prepare.
inline SqliteStatement sqlitePrepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* s = nullptr;
    if (!db || sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK) {
        sqlite3_finalize(s);
        return nullptr;
    }
    return SqliteStatement(s);
}

// A text column with its stored length, so embedded zero bytes survive; NULL reads as empty.
inline std::string sqliteColumnText(sqlite3_stmt* s, int column) {
    const unsigned char* text = sqlite3_column_text(s, column);
    const int bytes = sqlite3_column_bytes(s, column);
    if (!text || bytes <= 0) return std::string();
    return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(bytes));
}
