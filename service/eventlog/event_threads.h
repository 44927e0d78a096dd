#pragma once

#include <atomic>

#include "config_store.h"
#include "event_clock.h"
#include "mail_round.h"

// What the event log's threads need from the service; EventLogger::Start takes it.
struct EventThreadDeps {
    // Required. Both must outlive EventLogger::Stop.
    ConfigStore* config = nullptr;                    // "tasks" and "email_notification"
    const std::atomic<int>* smartInterval = nullptr;  // minutes; 0 or less: no periodic check

    // Optional, for tests. clock: null reads and waits on the real-time clock (2 s poll, whole
    // minutes, 60 s mail rounds). send: empty mails through smtpSend with its default time-outs,
    // aborting a transfer as soon as a stop is requested.
    EventClock* clock = nullptr;
    MailSender send;
};
