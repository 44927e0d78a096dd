#pragma once

#include <atomic>
#include <cstdint>

#include "config_store.h"
#include "event_clock.h"
#include "event_logger.h"
#include "scheduled_task.h"

// The minute scheduler: once a minute the periodic SMART check of all domains when its interval
// is due, and each scheduled array task of the configuration's "tasks" that is due.

// Whether `task` is due at `now` (seconds since 1970): type 1 once within the minute after its
// date; types 2 (every N days), 3 (weekday mask) and 4 (month-day mask) from startdate on, at
// the local hour and minute of date. Local time follows the process's time zone (TZ).
bool taskIsDue(const ScheduledTask& task, int64_t now);

// Starts a verify (else a rebuild or initialisation) on the task's target: the first listed
// array of the task's domain with the task's signature, or its member at memberIndex. Adds event
// 112 when there is no such array or member, 113 when the target cannot be started; does nothing
// when the target is already busy.
void runScheduledTask(EventLogger& log, const ScheduledTask& task);

// The scheduler's state between minutes. RunMinute may be called on its own (tests run hours
// of minutes this way); runScheduler calls it once for each new whole minute.
class Scheduler {
public:
    // `startTime` is when the scheduler began: the first SMART check comes one interval later.
    // `smartInterval` (minutes; 0 or less: none) is read at every minute.
    Scheduler(EventLogger& log, ConfigStore& config, const std::atomic<int>& smartInterval,
              int64_t startTime);

    // One minute's work at `now`: the SMART check of every domain when an interval has passed
    // since the last one, then every due task in list order.
    void RunMinute(int64_t now);

private:
    EventLogger& m_log;
    ConfigStore& m_config;
    const std::atomic<int>& m_smartInterval;
    int64_t m_lastCheck;
};

// The scheduler thread's body: waits for each whole minute on `clock` and runs it, until `stop`.
// A minute is never run twice, however the clock's reads lag its waits or the clock is set
// back; only a step back of more than a day starts over from the new time.
void runScheduler(Scheduler& scheduler, EventClock& clock, StopSignal& stop) noexcept;
