#pragma once

#include <ctime>
#include <string>
#include <string_view>

// The text of one mail as it goes to the SMTP server, and the checks that keep caller-supplied
// header fields from changing the SMTP dialogue or the header block.

// Local time as a mail Date value ("Thu,  5 Jun 2025 14:03:09 +0200"). Day and month names are
// English whatever the process locale, as mail readers expect.
std::string formatMailDate(std::time_t t);

// "Date: ...\r\nTo: <to>\r\nFrom: <from>\r\nSubject: ...\r\n\r\nbody\r\n", every line end of the
// body (CR, LF or CRLF) written as CRLF. The fields must have passed checkMailFields.
std::string buildMailMessage(std::time_t date, std::string_view to, std::string_view from,
                             std::string_view subject, std::string_view body);

// Empty when the address may go into an SMTP command and a header; otherwise a sentence saying
// what is wrong. `role` names the field in that sentence ("recipient", "sender").
std::string checkMailAddress(std::string_view address, std::string_view role);

// The fields of a mail that go into SMTP commands and headers, named at each call.
struct MailFields {
    std::string_view to;
    std::string_view from;
    std::string_view subject;
};

// Empty when the recipient, sender and subject are all acceptable; otherwise the first reason.
// The sender may be empty (the null reverse path).
std::string checkMailFields(const MailFields& fields);
