#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct EventThreadDeps;

// One event of the log.
struct EventLogEntry {
    EventLogEntry() = default;
    EventLogEntry(int eventType, int eventCode, std::string device, std::string text)
        : type(eventType), code(eventCode), devname(std::move(device)), data(std::move(text)) {}

    int64_t time = 0;     // seconds since 1970; set when read back from the log
    int type = 0;         // 1 information, 2 warning, 3 error
    int code = 0;         // controller codes below 100, audit codes from 101
    std::string devname;  // the device, user or recipient the event is about; may be empty
    std::string data;     // extra detail; may be empty
};

// The service's event log: the table events_v1 of an SQLite database. The connection is opened
// in the serialized (full-mutex) mode and shared by every thread; Add, Count, Get, Clear and
// Backup may be called from any thread at once. Open/Close and Start/Stop are called by the
// start-up and shutdown only: Open before any use, Start after Open, Stop before Close.
class EventLogger {
public:
    EventLogger();
    ~EventLogger();  // stops and closes
    EventLogger(const EventLogger&) = delete;
    EventLogger& operator=(const EventLogger&) = delete;

    // Opens (creating if missing) the database file `dbPath` and its table. The backup is
    // written beside it as "eventlog.bak". False when the file cannot be opened, the table
    // cannot be created or an existing events_v1 has not the six columns of the log; the logger
    // is then closed, `error` names the file and the reason, and a file that exists is left as
    // it was. An open logger is closed first.
    bool Open(const std::string& dbPath, std::string& error);
    bool Open(const std::string& dbPath);
    // Stops the threads first.
    void Close();
    bool IsOpen() const;

    // Starts the poller, the scheduler and the mailer, in that order, stopping at the first
    // that cannot be created; true only when all three run. False also when the log is not
    // open, a required dependency is missing or the threads run already. Defined with the
    // threads (target svc_event_threads).
    bool Start(const EventThreadDeps& deps);
    // Requests the stop and joins the mailer, the scheduler and the poller, in that order; each
    // ends at its next wait or between two events or mails. Safe to call when none run. Logs
    // the events lost since the last line about lost events.
    void Stop();

    // Appends one event stamped with the current time. False when it was not stored; the loss
    // is logged with SQLite's reason, at most one line a minute, each with the number of events
    // lost since the previous one.
    bool Add(const EventLogEntry& entry);

    // Number of events, or -1 when it cannot be read (logged with the reason, as is every
    // failed read and backup of an open log below).
    int Count();

    // Calls `callback` for the events at positions start .. start + length - 1, newest first
    // (same-second events newest-inserted first). Returns the number of rows delivered, or -1
    // when start or length is negative or the query fails (rows delivered before a failure
    // have then been passed to the callback).
    int Get(int start, int length, const std::function<void(const EventLogEntry&)>& callback);

    // Removes every event (and with them their mail state).
    bool Clear();

    // Writes a consistent copy of the whole database to the folder's "eventlog.bak" and gives
    // its path. The copy is built under a temporary name and renamed into place, so a reader of
    // an earlier copy never sees it change. False when the copy could not be made.
    bool Backup(std::string& backupPath);

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};
