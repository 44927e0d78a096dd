#include "mail_round.h"

#include "log.h"
#include "notification_text.h"

namespace {

bool maskSelects(uint32_t mask, int type) {
    // Types outside the mask's 32 bits select nothing (and must not be shifted in).
    return type >= 0 && type < 32 && (mask & (uint32_t{1} << type)) != 0;
}

}  // namespace

MailSender smtpMailSender(SmtpOptions options) {
    return [options = std::move(options)](const MailSettings& s, const std::string& to,
                                          const std::string& subject, const std::string& body,
                                          std::string* error) {
        return smtpSend(s, Mail{to, subject, body}, error, options);
    };
}

bool notifyEvent(const EventLogEntry& entry, const MailSettings& settings, const MailSender& send,
                 MailQueue& queue) {
    bool sent = false;
    std::string body;
    for (const auto& r : settings.Receipients) {
        if (!r.enable || !maskSelects(r.mask, entry.type)) continue;
        if (body.empty())
            body = notificationBody(entry.time, entry.code, entry.devname, entry.data);
        std::string error;
        const int rc = send(settings, r.email, kNotificationSubject, body, &error);
        if (rc == kSmtpOk) {
            sent = true;
            continue;
        }
        if (error.empty()) error = "mail error " + std::to_string(rc);
        logPrint(kLogError, "fail to send mail to %s: %s", r.email.c_str(), error.c_str());
        queue.Add(EventLogEntry(3, kEventMailFailed, r.email, error));
    }
    return sent;
}

int runMailRound(const MailSettings& settings, MailQueue& queue, const MailSender& send,
                 const std::function<bool()>& stopRequested) {
    std::vector<PendingMail> rows;
    if (!queue.ReadPendingMail(kMailRoundRows, rows)) return -1;
    int handled = 0;
    for (const auto& row : rows) {
        if (handled == kMailRoundRows || (stopRequested && stopRequested())) break;
        const bool sent = notifyEvent(row.entry, settings, send, queue);
        if (!queue.SetMailSent(row.rowid, sent ? kMailSentDone : row.mailsent + 1))
            logPrint(kLogError, "updateMailFlag failed");
        ++handled;
    }
    return handled;
}
