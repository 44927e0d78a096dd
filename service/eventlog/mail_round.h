#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "event_codes.h"
#include "event_logger.h"
#include "mail_settings.h"
#include "smtp_client.h"

// One round of the mailer: the events not yet mailed go to the recipients whose mask selects
// their type, and each row's attempt count is updated. The mailer thread runs a round once a
// minute; the round itself keeps no state and starts no thread.

inline constexpr int kMailRoundRows = 100;  // rows handled per round at most
inline constexpr int kMailSentDone = 10;    // attempt count of a row that needs no more tries

struct PendingMail {
    int64_t rowid = 0;
    EventLogEntry entry;  // with the stored time
    int mailsent = 0;     // attempts so far
};

// What a round needs of the event store.
class MailQueue {
public:
    virtual ~MailQueue() = default;

    // Fills `out` with at most `limit` events whose code is below 100 and whose attempt count is
    // below kMailSentDone. The rows are copied and the read finished before this returns, so no
    // read stays open while mail is sent. False when the rows cannot be read.
    virtual bool ReadPendingMail(int limit, std::vector<PendingMail>& out) = 0;
    // Sets a row's attempt count. False when it was not stored.
    virtual bool SetMailSent(int64_t rowid, int value) = 0;
    // Appends an event (the failure event of a mail).
    virtual bool Add(const EventLogEntry& entry) = 0;
};

// Sends one mail with the account in `settings`: 0, or an smtpSend result code with the reason
// in *error.
using MailSender =
    std::function<int(const MailSettings& settings, const std::string& to,
                      const std::string& subject, const std::string& body, std::string* error)>;

// The real sender: smtpSend with these options (time-outs, stop predicate).
MailSender smtpMailSender(SmtpOptions options);

// Mails one event to each enabled recipient whose mask has bit (1 << type). Each failed send is
// logged and recorded as event 114 (recipient, reason). True when at least one mail went out.
bool notifyEvent(const EventLogEntry& entry, const MailSettings& settings, const MailSender& send,
                 MailQueue& queue);

// Handles up to kMailRoundRows pending rows in the order read: a row whose event reached someone
// is marked done, any other counts one more attempt. Before each row `stopRequested` (when
// given) is asked; true ends the round, leaving the remaining rows as they were. Returns the
// number of rows handled, or -1 when the rows could not be read.
int runMailRound(const MailSettings& settings, MailQueue& queue, const MailSender& send,
                 const std::function<bool()>& stopRequested = {});
