#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

// The loopback SMTP server of the mail tests (smtp_server.py on Debian's aiosmtpd), run in a
// temporary folder of its own. Listeners: "plain", "auth" (AUTH required), "starttls"
// (STARTTLS then AUTH required), "smtps" (TLS from the start, AUTH required) and "silent"
// (accepts and never answers). Recipients whose local part starts with "reject" are refused.
// One instance per test; not thread-safe.
class SmtpHarness {
public:
    static constexpr const char* kUser = "alert";
    static constexpr const char* kPassword = "s3cret";

    struct Message {
        std::string mailFrom;
        std::vector<std::string> rcptTos;
        std::string authUser;  // empty when the client did not authenticate
        bool tls = false;
        std::string data;  // the DATA bytes as received, dot-stuffing removed
    };

    SmtpHarness() = default;
    SmtpHarness(const SmtpHarness&) = delete;
    SmtpHarness& operator=(const SmtpHarness&) = delete;
    ~SmtpHarness();  // stops the server and removes the folder

    // Makes the folder, starts the server and waits for its ports. Empty on success, else why
    // the server could not be started (a test should fail on it: no server is no pass).
    std::string Start();

    int Port(const std::string& listener) const;
    const std::filesystem::path& Dir() const { return dir_; }

    // Messages the listener accepted, in arrival order.
    std::vector<Message> Spooled(const std::string& listener) const;
    // Connections the listener accepted so far.
    int Connections(const std::string& listener) const;
    // Waits (a few seconds at most) until the listener has logged `count` connections; the
    // server logs an accepted connection a moment after the client sees it connected.
    bool WaitForConnections(const std::string& listener, int count) const;

private:
    std::filesystem::path dir_;
    std::map<std::string, int> ports_;
    pid_t pid_ = -1;
    int stdinFd_ = -1;
};
