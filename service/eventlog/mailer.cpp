#include "mailer.h"

#include <string>

#include "sqlite_statement.h"

namespace {

constexpr const char* kSelectPending =
    "SELECT ROWID,ev_time,ev_type,ev_code,ev_devname,ev_data,ev_mailsent FROM events_v1 "
    "WHERE ev_mailsent<? AND ev_code<100 ORDER BY ROWID LIMIT ?";
constexpr const char* kUpdateMailFlag = "UPDATE events_v1 SET ev_mailsent=? WHERE ROWID=?";

}  // namespace

bool EventMailQueue::ReadPendingMail(int limit, std::vector<PendingMail>& out) {
    out.clear();
    SqliteStatement s = sqlitePrepare(m_db, kSelectPending);
    if (!s) return false;
    sqlite3_bind_int(s.get(), 1, kMailSentDone);
    sqlite3_bind_int(s.get(), 2, limit);
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
        PendingMail row;
        row.rowid = sqlite3_column_int64(s.get(), 0);
        row.entry.time = sqlite3_column_int64(s.get(), 1);
        row.entry.type = sqlite3_column_int(s.get(), 2);
        row.entry.code = sqlite3_column_int(s.get(), 3);
        row.entry.devname = sqliteColumnText(s.get(), 4);
        row.entry.data = sqliteColumnText(s.get(), 5);
        row.mailsent = sqlite3_column_int(s.get(), 6);
        out.push_back(std::move(row));
    }
    // The statement is finished here, before any mail is sent: no read stays open meanwhile.
    return rc == SQLITE_DONE;
}

bool EventMailQueue::SetMailSent(int64_t rowid, int sent) {
    SqliteStatement s = sqlitePrepare(m_db, kUpdateMailFlag);
    if (!s) return false;
    sqlite3_bind_int64(s.get(), 1, sent);
    sqlite3_bind_int64(s.get(), 2, rowid);
    return sqlite3_step(s.get()) == SQLITE_DONE;
}

bool EventMailQueue::Add(const EventLogEntry& entry) {
    return m_log.Add(entry);
}

int runMailerRound(ConfigStore& config, MailQueue& queue, const MailSender& send,
                   const StopSignal& stop) {
    MailSettings settings;
    if (!config.GetMailSettings(settings)) return -1;
    return runMailRound(settings, queue, send, [&stop] { return stop.Requested(); });
}

void runMailer(ConfigStore& config, MailQueue& queue, const MailSender& send, EventClock& clock,
               StopSignal& stop) noexcept {
    for (;;) {
        if (clock.WaitUntil(stop, clock.Now() + kMailIntervalSeconds)) return;
        runMailerRound(config, queue, send, stop);
    }
}
