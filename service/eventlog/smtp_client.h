#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <string_view>

#include "mail_settings.h"

// Sends one mail over SMTP through libcurl. Each call uses its own handle, so several threads
// (the mailer, RPC workers) may send at once once smtpGlobalInit has run.

// Values of the "Protocol" setting.
inline constexpr int kSmtpPlain = 0;
inline constexpr int kSmtpStartTls = 1;  // STARTTLS required for the whole connection
inline constexpr int kSmtpTls = 2;       // TLS from the first byte (smtps)

// Results besides libcurl's own codes, which smtpSend passes on unchanged.
inline constexpr int kSmtpOk = 0;
inline constexpr int kSmtpFailedInit = 2;  // no libcurl handle
inline constexpr int kSmtpAborted = 42;    // the stop predicate ended the transfer
inline constexpr int kSmtpBadInput = 43;   // refused before connecting; see the error text
inline constexpr int kSmtpOutOfMemory = 27;

struct SmtpOptions {
    long connectTimeoutMs = 10'000;
    long totalTimeoutMs = 120'000;
    // Polled while the transfer runs (and once before it starts); true aborts it with
    // kSmtpAborted. Empty: never stops early.
    std::function<bool()> stopRequested;
    // Time for the Date header; empty: the current time.
    std::function<std::time_t()> now;
};

// Process-wide libcurl set-up. Call once at start-up before any thread sends; later calls
// return the first call's result. 0 on success, else the libcurl code.
int smtpGlobalInit();

// One mail to one recipient; the account and the sender come from MailSettings.
struct Mail {
    std::string to;
    std::string subject;
    std::string body;
};

// 0 on success, else a libcurl result code or one of the codes above; on failure *errorText
// (when given) gets a readable reason. Port 0 means the protocol's default (25, 587, 465).
// Credentials are offered only when the user is not empty. An empty sender is the null reverse
// path. The peer certificate is not checked. The recipients of `account` are not used.
int smtpSend(const MailSettings& account, const Mail& mail, std::string* errorText,
             const SmtpOptions& options = {});

// The URL smtpSend connects to, e.g. "smtps://mail.example:465".
std::string smtpUrl(std::string_view server, int port, int protocol);
