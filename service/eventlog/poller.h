#pragma once

#include "event_clock.h"
#include "event_logger.h"

// The controller event poller: every 2 seconds each domain's event queue is drained into the
// event log.

inline constexpr int kPollIntervalSeconds = 2;

// One round: for each of the first `domainCount` domains in order, every queued controller
// event is added to `log` with the type of its code and the name of its device. `stop` is
// looked at after each event; false when it was requested (the round ended early), else true.
bool pollEventsOnce(EventLogger& log, int domainCount, const StopSignal& stop);

// The poller thread's body: reads the domain count once, then runs a round every
// kPollIntervalSeconds on `clock` until `stop`.
void runPoller(EventLogger& log, EventClock& clock, StopSignal& stop) noexcept;
