#include "smtp_client.h"

#include <curl/curl.h>

#include <cstring>
#include <memory>
#include <mutex>

#include "mail_message.h"

static_assert(kSmtpFailedInit == CURLE_FAILED_INIT);
static_assert(kSmtpAborted == CURLE_ABORTED_BY_CALLBACK);
static_assert(kSmtpBadInput == CURLE_BAD_FUNCTION_ARGUMENT);
static_assert(kSmtpOutOfMemory == CURLE_OUT_OF_MEMORY);

namespace {

struct Upload {
    const std::string* text;
    std::size_t offset = 0;
};

size_t readMessage(char* buffer, size_t size, size_t count, void* userdata) {
    auto* up = static_cast<Upload*>(userdata);
    const std::size_t room = size * count;
    const std::size_t left = up->text->size() - up->offset;
    const std::size_t n = left < room ? left : room;
    if (n > 0) std::memcpy(buffer, up->text->data() + up->offset, n);
    up->offset += n;
    return n;
}

int checkStop(void* userdata, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* stop = static_cast<const std::function<bool()>*>(userdata);
    return (*stop)() ? 1 : 0;
}

// The host goes into a URL: anything that could start a path, user part or query is refused.
std::string checkServer(std::string_view server) {
    if (server.empty()) return "no SMTP server configured";
    for (const char c : server) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F || std::strchr("/\\@?#<>", c))
            return "SMTP server name contains a character not allowed in a host name";
    }
    return {};
}

int fail(std::string* errorText, int code, std::string text) {
    if (errorText) *errorText = std::move(text);
    return code;
}

struct EasyDeleter {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct SlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

}  // namespace

int smtpGlobalInit() {
    static std::once_flag once;
    static CURLcode result = CURLE_OK;
    std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
    return result;
}

std::string smtpUrl(std::string_view server, int port, int protocol) {
    int defaultPort = 25;
    const char* scheme = "smtp://";
    if (protocol == kSmtpTls) {
        scheme = "smtps://";
        defaultPort = 465;
    } else if (protocol == kSmtpStartTls) {
        defaultPort = 587;
    }
    std::string url = scheme;
    url += server;
    url += ':';
    url += std::to_string(port == 0 ? defaultPort : port);
    return url;
}

int smtpSend(const MailSettings& account, const Mail& mail, std::string* errorText,
             const SmtpOptions& options) {
    const std::string_view server = account.SMTP_Server;
    const int port = account.SMTP_Port;
    const int protocol = account.Protocol;
    const std::string_view user = account.SMTP_User;
    const std::string_view password = account.SMTP_Password;
    const std::string_view from = account.Sender;
    const std::string_view to = mail.to;
    const std::string_view subject = mail.subject;
    const std::string_view body = mail.body;
    // Everything below ends up on the wire as it stands, so it is checked before connecting.
    if (auto why = checkServer(server); !why.empty()) return fail(errorText, kSmtpBadInput, why);
    if (port < 0 || port > 65535) return fail(errorText, kSmtpBadInput, "SMTP port out of range");
    if (auto why = checkMailFields({.to = to, .from = from, .subject = subject}); !why.empty())
        return fail(errorText, kSmtpBadInput, why);
    if (user.find('\0') != std::string_view::npos || password.find('\0') != std::string_view::npos)
        return fail(errorText, kSmtpBadInput, "SMTP credentials contain a NUL character");

    if (const int init = smtpGlobalInit(); init != CURLE_OK)
        return fail(errorText, init, curl_easy_strerror(static_cast<CURLcode>(init)));
    if (options.stopRequested && options.stopRequested())
        return fail(errorText, kSmtpAborted, curl_easy_strerror(CURLE_ABORTED_BY_CALLBACK));

    const std::time_t now = options.now ? options.now() : std::time(nullptr);
    const std::string message = buildMailMessage(now, to, from, subject, body);
    const std::string url = smtpUrl(server, port, protocol);
    const std::string userText(user), passwordText(password);
    const std::string fromText = "<" + std::string(from) + ">";
    const std::string toText = "<" + std::string(to) + ">";

    std::unique_ptr<CURL, EasyDeleter> handle(curl_easy_init());
    if (!handle) return fail(errorText, kSmtpFailedInit, "cannot create a libcurl handle");
    CURL* h = handle.get();

    std::unique_ptr<curl_slist, SlistDeleter> recipients(
        curl_slist_append(nullptr, toText.c_str()));
    if (!recipients) return fail(errorText, kSmtpOutOfMemory, "out of memory");

    char curlError[CURL_ERROR_SIZE] = {};
    Upload upload{&message};
    const std::function<bool()> never = [] { return false; };
    const std::function<bool()>* stop = options.stopRequested ? &options.stopRequested : &never;

    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, curlError);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, options.connectTimeoutMs);
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, options.totalTimeoutMs);
    if (!userText.empty()) {
        curl_easy_setopt(h, CURLOPT_USERNAME, userText.c_str());
        curl_easy_setopt(h, CURLOPT_PASSWORD, passwordText.c_str());
    }
    if (protocol == kSmtpStartTls) curl_easy_setopt(h, CURLOPT_USE_SSL, (long)CURLUSESSL_ALL);
    if (protocol == kSmtpStartTls || protocol == kSmtpTls) {
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
    }
    curl_easy_setopt(h, CURLOPT_MAIL_FROM, fromText.c_str());
    curl_easy_setopt(h, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(h, CURLOPT_READFUNCTION, readMessage);
    curl_easy_setopt(h, CURLOPT_READDATA, &upload);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, checkStop);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, stop);

    const CURLcode result = curl_easy_perform(h);
    if (result == CURLE_OK) return kSmtpOk;
    const std::size_t len = strnlen(curlError, sizeof curlError);
    return fail(errorText, result,
                len > 0 ? std::string(curlError, len) : std::string(curl_easy_strerror(result)));
}
