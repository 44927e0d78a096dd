#include "poller.h"

#include "ark.h"
#include "device_event.h"
#include "event_codes.h"
#include "log.h"

bool pollEventsOnce(EventLogger& log, int domainCount, const StopSignal& stop) {
    for (int domain = 0; domain < domainCount; ++domain) {
        ARK_EVENT event{};
        while (arkGetEvent(domain, &event) == 0) {
            logPrint(kLogDebug, "Event: code %d, devid %d", event.code,
                     static_cast<int>(event.devid));
            // A failed Add loses the event; the queue has already given it up.
            log.Add(makeDeviceEvent(domain, eventSeverity(event.code), event.code, event.devid));
            if (stop.Requested()) return false;
            event = ARK_EVENT{};
        }
    }
    return true;
}

void runPoller(EventLogger& log, EventClock& clock, StopSignal& stop) noexcept {
    // Domains are found once at start-up; none appear later.
    const int domains = arkGetDomainCount();
    for (;;) {
        if (clock.WaitUntil(stop, clock.Now() + kPollIntervalSeconds)) return;
        if (!pollEventsOnce(log, domains, stop)) return;
    }
}
