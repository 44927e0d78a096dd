#pragma once

// Test helper: a second, independent connection to an event log file, as an administrator's
// sqlite3 tool or another process would have. It sets no busy time-out, so a lock held
// elsewhere shows at once as SQLITE_BUSY.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

class RawDb {
public:
    explicit RawDb(const std::string& path) {
        EXPECT_EQ(sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK)
            << path;
    }
    ~RawDb() { sqlite3_close(m_db); }
    RawDb(const RawDb&) = delete;
    RawDb& operator=(const RawDb&) = delete;

    // The result code of the statements.
    int Exec(const std::string& sql) {
        return sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr);
    }

    // Every row as its text columns joined by '|' (NULL as "NULL").
    std::vector<std::string> Rows(const std::string& sql) {
        std::vector<std::string> out;
        sqlite3_stmt* s = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(m_db, sql.c_str(), -1, &s, nullptr), SQLITE_OK) << sql;
        while (s && sqlite3_step(s) == SQLITE_ROW) {
            std::string row;
            for (int i = 0; i < sqlite3_column_count(s); ++i) {
                if (i) row += '|';
                const unsigned char* t = sqlite3_column_text(s, i);
                row += t ? reinterpret_cast<const char*>(t) : "NULL";
            }
            out.push_back(row);
        }
        sqlite3_finalize(s);
        return out;
    }

    // ev_mailsent of every row, in rowid order.
    std::vector<int> MailSent() {
        std::vector<int> out;
        for (const auto& v : Rows("SELECT ev_mailsent FROM events_v1 ORDER BY ROWID"))
            out.push_back(std::stoi(v));
        return out;
    }

private:
    sqlite3* m_db = nullptr;
};
