#include "config_checks.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>

namespace {

struct IntRule {
    const char* key;
    int64_t min;
    int64_t max;
    bool booleanToo;  // true and false stand for 1 and 0
};

constexpr int64_t kU32 = 0xFFFFFFFFll;

const IntRule kSettings[] = {
    {"ServerPort", 1, 65535, false},
    {"RestrictLocal", 0, 1, true},
    {"SMARTInterval", 0, 525600, false},  // a year of minutes
};

const IntRule kTask[] = {
    {"domain", 0, INT32_MAX, false},
    {"id", 0, kU32, false},
    {"signature", 0, kU32, false},
    {"memberIndex", INT32_MIN, INT32_MAX, false},
    {"type", 1, 4, false},
    {"days", 0, kU32, false},
    {"startdate", INT64_MIN, INT64_MAX, false},
    {"date", INT64_MIN, INT64_MAX, false},
};

const IntRule kMail[] = {
    {"SMTP_Port", 0, 65535, false},
    {"Protocol", 0, 2, false},
};

const char* const kMailTexts[] = {"SMTP_Server", "SMTP_User", "SMTP_Password", "Sender"};

const IntRule kRecipient[] = {{"mask", 0, kU32, false}};

const IntRule kDomain[] = {
    {"HBAMode", 0, kU32, true},       {"RebuildPriority", 0, kU32, true},
    {"AutoRebuild", 0, kU32, true},   {"IgnoreRebuildErrors", 0, kU32, true},
    {"DiskIdleTimer", 0, kU32, true}, {"SpinupCount", 0, kU32, true},
    {"SpinupDelay", 0, kU32, true},   {"BBUTempThreshold", 0, kU32, true},
};

// A whole number as the store reads one back: an integer, or a text that is one in full (as
// "0x1E"). A floating number or a text with anything after its digits is not.
bool integerOf(const value& v, int64_t& out) {
    if (v.is_number_unsigned()) {
        if (v.get<uint64_t>() > static_cast<uint64_t>(INT64_MAX)) return false;
        out = static_cast<int64_t>(v.get<uint64_t>());
        return true;
    }
    if (v.is_number_integer()) {
        out = v.get<int64_t>();
        return true;
    }
    if (!v.is_string()) return false;
    const std::string& text = v.get_ref<const std::string&>();
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtoll(text.c_str(), &end, 0);
    return errno == 0 && end == text.c_str() + text.size();
}

bool fits(const value& v, const IntRule& rule) {
    if (v.is_boolean()) return rule.booleanToo;
    int64_t n = 0;
    return integerOf(v, n) && n >= rule.min && n <= rule.max;
}

std::string rangeText(const IntRule& rule) {
    return "an integer from " + std::to_string(rule.min) + " to " + std::to_string(rule.max);
}

template <size_t N>
std::string checkInts(const value& object, const IntRule (&rules)[N], const std::string& where) {
    for (const IntRule& rule : rules) {
        auto it = object.find(rule.key);
        if (it == object.end() || fits(*it, rule)) continue;
        return where + rule.key + " must be " + rangeText(rule);
    }
    return {};
}

std::string checkTasks(const value& tasks) {
    if (!tasks.is_array()) return "tasks must be a list";
    for (size_t i = 0; i < tasks.size(); ++i) {
        const std::string where = "tasks[" + std::to_string(i) + "].";
        if (!tasks[i].is_object()) return "tasks[" + std::to_string(i) + "] must be an object";
        if (auto why = checkInts(tasks[i], kTask, where); !why.empty()) return why;
    }
    return {};
}

std::string checkMail(const value& mail) {
    if (!mail.is_object()) return "email_notification must be an object";
    if (auto why = checkInts(mail, kMail, "email_notification."); !why.empty()) return why;
    for (const char* key : kMailTexts) {
        auto it = mail.find(key);
        if (it != mail.end() && !it->is_string()) {
            return std::string("email_notification.") + key + " must be a text";
        }
    }
    auto list = mail.find("Receipients");
    if (list == mail.end()) return {};
    if (!list->is_array()) return "email_notification.Receipients must be a list";
    for (size_t i = 0; i < list->size(); ++i) {
        const value& r = (*list)[i];
        const std::string where = "email_notification.Receipients[" + std::to_string(i) + "]";
        if (!r.is_object()) return where + " must be an object";
        auto email = r.find("email");
        if (email != r.end() && !email->is_string()) return where + ".email must be a text";
        auto enable = r.find("enable");
        if (enable != r.end() && !enable->is_boolean())
            return where + ".enable must be true or false";
        if (auto why = checkInts(r, kRecipient, where + "."); !why.empty()) return why;
    }
    return {};
}

}  // namespace

std::string checkConfigSection(std::string_view name, const value& section) {
    if (name == "settings") {
        if (!section.is_object()) return "settings must be an object";
        return checkInts(section, kSettings, "settings.");
    }
    if (name == "tasks") return checkTasks(section);
    if (name == "email_notification") return checkMail(section);
    return std::string(name) + " is not a configuration section";
}

std::string checkDomainSettings(const value& params) {
    if (!params.is_object()) return "params must be an object";
    return checkInts(params, kDomain, "");
}
