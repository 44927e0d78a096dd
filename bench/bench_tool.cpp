// Measurements bench/run takes inside a process, each beside its reference:
//   bench_tool inserts <dir> <n>       events/s through the event store, and a bare SQLite
//                                      loop with the same file settings (one commit each)
//   bench_tool page <db> <start> <n>   ms for one page of the store's query, bare SQLite
//   bench_tool fill <db> <n>           adds n events in one transaction (test data)
//   bench_tool crc <file>              MB/s of the firmware CRC over the file's bytes
// Figures go to standard output, one line, space-separated.

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "event_logger.h"
#include "fw_image.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// The store's own table and insert, and its open flags and busy time-out.
constexpr const char* kCreate =
    "CREATE TABLE IF NOT EXISTS events_v1 (ev_time datetime,ev_mailsent int,ev_type int,"
    "ev_devname text,ev_code int,ev_data text)";
constexpr const char* kInsert = "INSERT INTO events_v1 values (?,0,?,?,?,?)";
constexpr const char* kPage =
    "SELECT ev_time,ev_type,ev_code,ev_devname,ev_data FROM events_v1 "
    "order by ev_time desc, rowid desc LIMIT ? OFFSET ?";

sqlite3* OpenBare(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK ||
        sqlite3_busy_timeout(db, 5000) != SQLITE_OK ||
        sqlite3_exec(db, kCreate, nullptr, nullptr, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        std::exit(1);
    }
    return db;
}

void Insert(sqlite3_stmt* s, long i) {
    const std::string dev = "[1/" + std::to_string(i % 8 + 1) + "] DISK_MODEL_" + std::to_string(i);
    sqlite3_reset(s);
    sqlite3_bind_int64(s, 1, 1700000000 + i / 10);
    sqlite3_bind_int(s, 2, 1);
    sqlite3_bind_text(s, 3, dev.data(), int(dev.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(s, 4, int(i % 40));
    sqlite3_bind_text(s, 5, "bench", 5, SQLITE_STATIC);
    if (sqlite3_step(s) != SQLITE_DONE) {
        std::fprintf(stderr, "insert failed\n");
        std::exit(1);
    }
}

int Inserts(const std::string& dir, long n) {
    EventLogger store;
    if (!store.Open(dir + "/ours.db")) return 1;
    auto start = Clock::now();
    for (long i = 0; i < n; ++i) {
        EventLogEntry e(1, int(i % 40), "[1/" + std::to_string(i % 8 + 1) + "] DISK_MODEL",
                        "bench");
        if (!store.Add(e)) return 1;
    }
    const double ours = n / Seconds(start);
    sqlite3* db = OpenBare(dir + "/bare.db");
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, kInsert, -1, &s, nullptr);
    start = Clock::now();
    for (long i = 0; i < n; ++i) Insert(s, i);
    const double bare = n / Seconds(start);
    sqlite3_finalize(s);
    sqlite3_close(db);
    std::printf("%.0f %.0f\n", ours, bare);
    return 0;
}

int Fill(const std::string& path, long n) {
    sqlite3* db = OpenBare(path);
    sqlite3_stmt* s = nullptr;
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_prepare_v2(db, kInsert, -1, &s, nullptr);
    for (long i = 0; i < n; ++i) Insert(s, i);
    sqlite3_finalize(s);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return 0;
}

// Best of five, in milliseconds.
int Page(const std::string& path, long start, long length) {
    sqlite3* db = OpenBare(path);
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        const auto t = Clock::now();
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, kPage, -1, &s, nullptr);
        sqlite3_bind_int64(s, 1, length);
        sqlite3_bind_int64(s, 2, start);
        long rows = 0;
        while (sqlite3_step(s) == SQLITE_ROW) {
            for (int c = 0; c < 5; ++c) sqlite3_column_text(s, c);
            ++rows;
        }
        sqlite3_finalize(s);
        const double ms = Seconds(t) * 1000;
        if (ms < best) best = ms;
        if (rows == 0) std::fprintf(stderr, "empty page\n");
    }
    sqlite3_close(db);
    std::printf("%.3f\n", best);
    return 0;
}

// Best of three, in MB/s (10^6 bytes).
int Crc(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    double best = 1e9;
    uint32_t crc = 0;
    for (int run = 0; run < 3; ++run) {
        const auto t = Clock::now();
        crc = fwCksum(data.data(), data.size());
        const double s = Seconds(t);
        if (s < best) best = s;
    }
    std::printf("%.0f %u\n", data.size() / best / 1e6, crc);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "inserts" && argc == 4) return Inserts(argv[2], std::atol(argv[3]));
    if (mode == "fill" && argc == 4) return Fill(argv[2], std::atol(argv[3]));
    if (mode == "page" && argc == 5) return Page(argv[2], std::atol(argv[3]), std::atol(argv[4]));
    if (mode == "crc" && argc == 3) return Crc(argv[2]);
    std::fprintf(stderr, "usage: bench_tool inserts|fill|page|crc ...\n");
    return 2;
}
