#pragma once

// Test helper: the process's time zone (TZ) for as long as it lives; the old one comes back
// after.

#include <stdlib.h>
#include <time.h>

#include <optional>
#include <string>

class ScopedTimeZone {
public:
    ScopedTimeZone() {
        if (const char* tz = getenv("TZ")) m_saved = tz;
    }
    explicit ScopedTimeZone(const char* tz) : ScopedTimeZone() { Set(tz); }
    ~ScopedTimeZone() {
        if (m_saved)
            setenv("TZ", m_saved->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

    // A POSIX TZ string, e.g. "CET-1CEST,M3.5.0,M10.5.0/3".
    void Set(const char* tz) {
        setenv("TZ", tz, 1);
        tzset();
    }

private:
    std::optional<std::string> m_saved;
};
