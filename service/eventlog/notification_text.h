#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

// What an alert mail says about one event.

inline constexpr const char* kNotificationSubject = "RAID Manager Notification";
// The body never grows past this many bytes.
inline constexpr std::size_t kNotificationBodyMax = 2047;

// The sentence for an event code with the device name in place ("Disk \"x\" was removed.");
// codes without a sentence of their own get "Event code: %d, dev: %s, data: %s".
std::string eventMailText(int code, std::string_view devname, std::string_view data);

// "Date: YYYY-MM-DD hh:mm:ss\r\nEvent: " in local time, then eventMailText, cut to
// kNotificationBodyMax bytes without splitting a UTF-8 sequence.
std::string notificationBody(std::time_t time, int code, std::string_view devname,
                             std::string_view data);
