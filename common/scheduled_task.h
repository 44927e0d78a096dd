#pragma once

#include <cstdint>

// One entry of the configuration's "tasks" list: an array task the scheduler starts when due.
struct ScheduledTask {
    int32_t domain = 0;
    uint32_t id = 0;          // not used by the run
    uint32_t signature = 0;   // identity of the target array
    int32_t memberIndex = 0;  // below 0: the array itself; else that member of it
    int32_t type = 0;         // 1 once, 2 every N days, 3 weekly, 4 monthly
    uint32_t days = 0;        // N, or a weekday or month-day bit mask
    int64_t startdate = 0;    // seconds since 1970
    int64_t date = 0;         // seconds since 1970: the moment, or the time of day, of the run
};
