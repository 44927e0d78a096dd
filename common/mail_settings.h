#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One addressee of the alert mail.
struct MailRecipient {
    bool enable = false;
    std::string email;
    uint32_t mask = 0;  // bit (1 << event type): 0x2 information, 0x4 warning, 0x8 error
};

// The configuration's "email_notification" record: the SMTP account and the recipients.
struct MailSettings {
    std::string SMTP_Server;
    int32_t SMTP_Port = 0;  // 0: the protocol's default port
    int32_t Protocol = 0;   // 0 plain SMTP, 1 STARTTLS required, 2 SMTP over TLS
    std::string Sender;
    std::string SMTP_User;
    std::string SMTP_Password;
    std::vector<MailRecipient> Receipients;
};
