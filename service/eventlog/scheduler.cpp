#include "scheduler.h"

#include <algorithm>
#include <ctime>
#include <vector>

#include "ark.h"
#include "device_event.h"
#include "event_codes.h"
#include "values.h"

namespace {

constexpr int64_t kMinute = 60;
constexpr int64_t kDay = 86400;
constexpr uint32_t kMaxListedDevices = 256;
constexpr int64_t kResyncMinutes = 24 * 60;

enum TaskType { kOnce = 1, kEveryNDays = 2, kWeekly = 3, kMonthly = 4 };

// Floor division, so that times before 1970 fall into the right minute too.
int64_t minuteOf(int64_t t) {
    return t >= 0 ? t / kMinute : -((-t + kMinute - 1) / kMinute);
}

bool localTime(int64_t t, std::tm& out) {
    const std::time_t tt = static_cast<std::time_t>(t);
    return localtime_r(&tt, &out) != nullptr;
}

bool sameLocalClockTime(const std::tm& now, int64_t date) {
    std::tm at{};
    return localTime(date, at) && at.tm_hour == now.tm_hour && at.tm_min == now.tm_min;
}

bool bitSet(uint32_t mask, int bit) {
    return bit >= 0 && bit < 32 && (mask >> bit) & 1u;
}

// The first listed array of `domain` whose signature is `signature`.
bool findArray(int domain, uint32_t signature, uint32_t& id, ARK_VD_INFO& info) {
    std::vector<uint32_t> ids(kMaxListedDevices);
    const int n = arkGetLDList(domain, ids.data(), kMaxListedDevices);
    for (int i = 0; i < std::min<int>(n, kMaxListedDevices); ++i) {
        ARK_VD_INFO vd{};
        if (arkGetVDInfo(domain, ids[i], &vd) == 0 && vd.type == ARK_VD_TYPE_ARRAY &&
            vd.array.signature == signature) {
            id = ids[i];
            info = vd;
            return true;
        }
    }
    return false;
}

}  // namespace

bool taskIsDue(const ScheduledTask& task, int64_t now) {
    if (task.type == kOnce) return task.date <= now && now - task.date < kMinute;
    if (task.type != kEveryNDays && task.type != kWeekly && task.type != kMonthly) return false;
    if (task.startdate > now) return false;
    std::tm local{};
    if (!localTime(now, local) || !sameLocalClockTime(local, task.date)) return false;
    switch (task.type) {
        case kEveryNDays: {
            // Whole days since 1970 in UTC, as the console counts them.
            const int64_t every = task.days == 0 ? 1 : task.days;
            return (now / kDay - task.startdate / kDay) % every == 0;
        }
        case kWeekly:
            return bitSet(task.days, local.tm_wday);
        default:
            return bitSet(task.days, local.tm_mday);
    }
}

void runScheduledTask(EventLogger& log, const ScheduledTask& task) {
    const int domain = task.domain;
    uint32_t target = 0;
    ARK_VD_INFO info{};
    if (!findArray(domain, task.signature, target, info)) {
        log.Add(EventLogEntry(kEventError, kEventTaskTargetMissing, "", ""));
        return;
    }
    if (task.memberIndex >= 0) {
        // Only the members the array reports; an index past them names no device.
        const int members = arkArrayMemberCount(info.array);
        const uint32_t member =
            task.memberIndex < members ? info.array.members[task.memberIndex] : ARK_ID_NONE;
        if (arkIsEmptySlot(member)) {
            log.Add(EventLogEntry(kEventError, kEventTaskTargetMissing, "", ""));
            return;
        }
        target = member;
        info = ARK_VD_INFO{};
        if (arkGetVDInfo(domain, target, &info) != 0 || info.type != ARK_VD_TYPE_ARRAY) {
            log.Add(makeDeviceEvent(domain, kEventError, kEventTaskNotStarted, target));
            return;
        }
    }
    if (!arkArrayIsIdle(info.array.flags)) return;
    if (arkArrayTaskCtl(domain, target, ARK_TASK_START_VERIFY) == 0) return;
    if (arkArrayTaskCtl(domain, target, ARK_TASK_START_REBUILD) == 0) return;
    log.Add(makeDeviceEvent(domain, kEventError, kEventTaskNotStarted, target));
}

Scheduler::Scheduler(EventLogger& log, ConfigStore& config, const std::atomic<int>& smartInterval,
                     int64_t startTime)
    : m_log(log), m_config(config), m_smartInterval(smartInterval), m_lastCheck(startTime) {}

void Scheduler::RunMinute(int64_t now) {
    const int interval = m_smartInterval.load();
    if (interval > 0 && m_lastCheck + int64_t{interval} * kMinute <= now) {
        m_lastCheck = now;
        const int domains = arkGetDomainCount();
        for (int d = 0; d < domains; ++d) arkSmartCheckAll(d);  // failures are not reported
    }
    std::vector<ScheduledTask> tasks;
    if (!m_config.GetTasks(tasks)) return;
    for (const ScheduledTask& task : tasks) {
        if (taskIsDue(task, now)) runScheduledTask(m_log, task);
    }
}

void runScheduler(Scheduler& scheduler, EventClock& clock, StopSignal& stop) noexcept {
    int64_t last = minuteOf(clock.Now());
    for (;;) {
        if (clock.WaitUntil(stop, (last + 1) * kMinute)) return;
        const int64_t now = clock.Now();
        const int64_t minute = minuteOf(now);
        if (minute <= last) {
            // The read lags the wait, or the clock was set back: a minute never runs twice.
            // A clock set back by more than a day was wrong before; go on from the new time.
            if (last - minute > kResyncMinutes) last = minute;
            continue;
        }
        last = minute;
        scheduler.RunMinute(now);
    }
}
