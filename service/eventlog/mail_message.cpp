#include "mail_message.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr const char* kDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool hasLineBreak(std::string_view text) {
    // A NUL would cut the text short where libcurl takes it as a C string.
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// SMTP ends lines with CRLF only. A bare LF or CR handed on as it is lets a line that holds a
// lone "." slip past the end-of-data escaping (which looks for CRLF "."), and a lenient server
// then takes what follows as commands. Every line end becomes CRLF; the escaping of lines that
// start with a dot is then done by libcurl as the message is sent.
void appendCrlfLines(std::string& text, std::string_view body) {
    for (size_t i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '\r') {
            text += "\r\n";
            if (i + 1 < body.size() && body[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            text += "\r\n";
        } else {
            text += c;
        }
    }
}

}  // namespace

std::string formatMailDate(std::time_t t) {
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr) return {};
    long offset = tm.tm_gmtoff / 60;
    const char sign = offset < 0 ? '-' : '+';
    offset = std::labs(offset);
    const int wday = tm.tm_wday >= 0 && tm.tm_wday < 7 ? tm.tm_wday : 0;
    const int mon = tm.tm_mon >= 0 && tm.tm_mon < 12 ? tm.tm_mon : 0;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s, %2d %s %04d %02d:%02d:%02d %c%02ld%02ld", kDayNames[wday],
                  tm.tm_mday, kMonthNames[mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  sign, offset / 60, offset % 60);
    return buf;
}

std::string buildMailMessage(std::time_t date, std::string_view to, std::string_view from,
                             std::string_view subject, std::string_view body) {
    std::string text;
    text.reserve(to.size() + from.size() + subject.size() + body.size() + 128);
    text += "Date: ";
    text += formatMailDate(date);
    text += "\r\nTo: <";
    text += to;
    text += ">\r\nFrom: <";
    text += from;
    text += ">\r\nSubject: ";
    text += subject;
    text += "\r\n\r\n";
    appendCrlfLines(text, body);
    text += "\r\n";
    return text;
}

std::string checkMailAddress(std::string_view address, std::string_view role) {
    std::string who(role);
    if (address.empty()) return who + " address is empty";
    if (hasLineBreak(address)) return who + " address contains a line break";
    for (const char c : address) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) return who + " address contains a control character";
        if (c == '<' || c == '>') return who + " address contains '<' or '>'";
    }
    return {};
}

std::string checkMailFields(const MailFields& fields) {
    if (auto why = checkMailAddress(fields.to, "recipient"); !why.empty()) return why;
    // An empty sender is the null reverse path (MAIL FROM:<>), which SMTP allows; the server
    // decides whether to take it.
    if (!fields.from.empty()) {
        if (auto why = checkMailAddress(fields.from, "sender"); !why.empty()) return why;
    }
    if (hasLineBreak(fields.subject)) return "subject contains a line break";
    return {};
}
