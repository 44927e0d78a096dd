#pragma once

#include <cstdint>
#include <string>

// The TCG tool's diagnostic sink: one process-wide reporting level, lines of a four-character
// level label, ": ", the items as given, and a newline, all on standard output. A line is
// opened with beginLine and closed when the log object goes out of scope. Single-threaded.

// Reporting levels, 0 (always shown) to 7.
enum TcgLogLevel : int {
    TCG_ERR = 0,   // failures
    TCG_WARN = 1,  // warnings
    TCG_INFO = 2,  // ordinary progress
    TCG_DBG = 3,   // details
    TCG_DBG1 = 4,  // entry traces
    TCG_DBG2 = 5,  // retry notices
    TCG_DBG3 = 6,  // buffer dumps
    TCG_DBG4 = 7,
};

extern int g_tcgLogLevel;

// The reporting level; producers test `tcgLogLevel() >= level` before building a line.
int& tcgLogLevel();

// The label of `level` ("ERR ", "WARN", ...); "????" outside 0-7.
const char* tcgLevelLabel(int level);

template <typename T>
class Log {
public:
    Log() = default;
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;
    virtual ~Log();

    Log& beginLine(T level);

    Log& operator<<(const char* text);
    Log& operator<<(const std::string& text);
    Log& operator<<(unsigned value);
    Log& operator<<(int value);
    Log& operator<<(unsigned long value);
    Log& operator<<(long value);
    Log& operator<<(unsigned long long value);
    Log& operator<<(long long value);
    Log& operator<<(bool flag) { return *this << int(flag); }
    Log& operator<<(uint8_t value) { return *this << unsigned(value); }
    Log& operator<<(uint16_t value) { return *this << unsigned(value); }
};

extern template class Log<int>;

class CLog : public Log<int> {};

// Writes one line at `level` when the reporting level allows it; the items cost nothing
// otherwise: TCGLOG(TCG_ERR) << "Session start failed rc = " << rc;
#define TCGLOG(level)                                                                \
    for (bool tcgLogOnce = tcgLogLevel() >= (level); tcgLogOnce; tcgLogOnce = false) \
    CLog().beginLine(level)
