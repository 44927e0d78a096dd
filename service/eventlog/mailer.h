#pragma once

#include <sqlite3.h>

#include "config_store.h"
#include "event_clock.h"
#include "event_logger.h"
#include "mail_round.h"

// The mailer thread around the mail round: every 60 seconds the events not yet mailed go to the
// recipients of the configuration's "email_notification".

inline constexpr int kMailIntervalSeconds = 60;

// The mail state of the event log, on the log's own connection. Rows are read oldest first.
class EventMailQueue : public MailQueue {
public:
    // `db` is the log's connection (serialized mode); failure events go through `log`.
    EventMailQueue(sqlite3* db, EventLogger& log) : m_db(db), m_log(log) {}

    bool ReadPendingMail(int limit, std::vector<PendingMail>& out) override;
    bool SetMailSent(int64_t rowid, int value) override;
    bool Add(const EventLogEntry& entry) override;

private:
    sqlite3* m_db;
    EventLogger& m_log;
};

// One mailer minute: reads the mail settings (none configured: nothing to do, -1) and runs one
// mail round that ends early once `stop` is requested. Returns the rows handled, or -1.
int runMailerRound(ConfigStore& config, MailQueue& queue, const MailSender& send,
                   const StopSignal& stop);

// The mailer thread's body: a round every kMailIntervalSeconds on `clock` until `stop`.
void runMailer(ConfigStore& config, MailQueue& queue, const MailSender& send, EventClock& clock,
               StopSignal& stop) noexcept;
