#include "notification_text.h"

#include <cstdio>
#include <iterator>

namespace {

// Index = event code; "%s" stands for the device name. Empty rows use the generic form.
constexpr const char* kEventTexts[] = {
    nullptr,
    "Disk \"%s\" was removed.",
    "Disk \"%s\" was plugged in.",
    "An error occurs on disk \"%s\".",
    "Array \"%s\" rebuilding started.",
    "Array \"%s\" rebuilding aborted.",
    "Array \"%s\" rebuilding finished.",
    "Spare disk \"%s\" took over.",
    "Array \"%s\" rebuilding failed.",
    "Array \"%s\" verify started.",
    "Array \"%s\" verify aborted.",
    "Array \"%s\" verify failed.",
    "Array \"%s\" verify finished.",
    "Array \"%s\" initialization started.",
    "Array \"%s\" initialization aborted.",
    "Array \"%s\" initialization failed.",
    "Array \"%s\" initialization finished.",
    "Array \"%s\" verify data inconsistent.",
    "Array \"%s\" transform started.",
    "Array \"%s\" transform aborted.",
    "Array \"%s\" transform failed.",
    "Array \"%s\" transform finished.",
    "Disk \"%s\" SMART checking failed.",
    "Disk \"%s\" SMART checking OK.",
    "Failed to repair bad sector on disk \"%s\".",
    "Successfully repaired bad sector on disk \"%s\".",
};

// Substitutes the name as a value, so a '%' inside it stays a plain character.
std::string substitute(std::string_view pattern, std::string_view devname) {
    std::string out;
    const auto at = pattern.find("%s");
    out += pattern.substr(0, at);
    out += devname;
    out += pattern.substr(at + 2);
    return out;
}

// Length of the longest prefix of at most `max` bytes that ends on a UTF-8 character boundary.
std::size_t utf8Cut(std::string_view text, std::size_t max) {
    if (text.size() <= max) return text.size();
    std::size_t cut = max;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return cut;
}

}  // namespace

std::string eventMailText(int code, std::string_view devname, std::string_view data) {
    if (code > 0 && code < static_cast<int>(std::size(kEventTexts)) && kEventTexts[code])
        return substitute(kEventTexts[code], devname);
    std::string out = "Event code: " + std::to_string(code) + ", dev: ";
    out += devname;
    out += ", data: ";
    out += data;
    return out;
}

std::string notificationBody(std::time_t time, int code, std::string_view devname,
                             std::string_view data) {
    std::tm tm{};
    if (localtime_r(&time, &tm) == nullptr) tm = std::tm{};
    char head[64];
    std::snprintf(head, sizeof head,
                  "Date: %04d-%02d-%02d %02d:%02d:%02d\r\nEvent: ", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    std::string body = head;
    body += eventMailText(code, devname, data);
    body.resize(utf8Cut(body, kNotificationBodyMax));
    return body;
}
