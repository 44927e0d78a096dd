#include "mail_message.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <string>

#include "scoped_time_zone.h"

namespace {

// Runs a test body in a given time zone and the German locale, restoring both afterwards.
class GermanLocaleTime : public testing::Test {
protected:
    void SetUp() override {
        oldLocale_ = std::setlocale(LC_ALL, nullptr);
        ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr)
            << "the de_DE.UTF-8 locale must be generated (scripts/install-deps)";
    }
    void TearDown() override { std::setlocale(LC_ALL, oldLocale_.c_str()); }
    void useZone(const char* tz) { zone_.Set(tz); }

private:
    ScopedTimeZone zone_;
    std::string oldLocale_;
};

constexpr std::time_t kJune5 = 1749132189;       // 2025-06-05 14:03:09 UTC, a Thursday
constexpr std::time_t kNewYearEve = 1735689599;  // 2024-12-31 23:59:59 UTC, a Tuesday

TEST_F(GermanLocaleTime, DateHeaderKeepsEnglishNamesAndTheZoneOffset) {
    // The locale really is German: strftime would name the day "Do".
    char localName[32];
    std::tm tm{};
    useZone("UTC0");
    gmtime_r(&kJune5, &tm);
    std::strftime(localName, sizeof localName, "%a", &tm);
    ASSERT_STREQ(localName, "Do");

    struct Case {
        const char* tz;
        std::time_t t;
        const char* expected;
    };
    const Case cases[] = {
        {"UTC0", kJune5, "Thu,  5 Jun 2025 14:03:09 +0000"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", kJune5, "Thu,  5 Jun 2025 16:03:09 +0200"},
        {"EST5EDT,M3.2.0,M11.1.0", kJune5, "Thu,  5 Jun 2025 10:03:09 -0400"},
        {"<+0530>-5:30", kJune5, "Thu,  5 Jun 2025 19:33:09 +0530"},
        {"<-0330>3:30", kJune5, "Thu,  5 Jun 2025 10:33:09 -0330"},
        {"UTC0", kNewYearEve, "Tue, 31 Dec 2024 23:59:59 +0000"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", kNewYearEve, "Wed,  1 Jan 2025 00:59:59 +0100"},
        {"<-0330>3:30", kNewYearEve, "Tue, 31 Dec 2024 20:29:59 -0330"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.tz << " at " << c.t);
        useZone(c.tz);
        EXPECT_EQ(formatMailDate(c.t), c.expected);
    }
}

TEST_F(GermanLocaleTime, MessageHasTheHeaderBlockThenTheBody) {
    useZone("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(buildMailMessage(kJune5, "ops@example.org", "raid@example.org", "Disk alert",
                               "line one\r\nline two"),
              "Date: Thu,  5 Jun 2025 16:03:09 +0200\r\n"
              "To: <ops@example.org>\r\n"
              "From: <raid@example.org>\r\n"
              "Subject: Disk alert\r\n"
              "\r\n"
              "line one\r\nline two\r\n");
}

TEST(MailBody, EveryLineEndIsSentAsCrlf) {
    struct Case {
        const char* name;
        std::string body;
        std::string sent;
    };
    const Case cases[] = {
        {"CRLF stays", "a\r\nb", "a\r\nb\r\n"},
        {"bare LF", "a\nb\n", "a\r\nb\r\n\r\n"},
        {"bare CR", "a\rb", "a\r\nb\r\n"},
        {"LF CR is two line ends", "a\n\rb", "a\r\n\r\nb\r\n"},
        {"a lone dot after a bare LF", "a\n.\nMAIL FROM:<x@evil.example>",
         "a\r\n.\r\nMAIL FROM:<x@evil.example>\r\n"},
        {"empty", "", "\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string text =
            buildMailMessage(kJune5, "a@b.example", "c@d.example", "s", c.body);
        const size_t at = text.find("\r\n\r\n");
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(text.substr(at + 4), c.sent);
    }
}

TEST(MailFields, RefusesWhatWouldChangeTheDialogueOrHeaders) {
    using namespace std::string_literals;
    struct Case {
        const char* name;
        std::string to, from, subject;
        const char* reason;  // empty: accepted
    };
    const Case cases[] = {
        {"plain", "a@b.example", "c@d.example", "Hello: world\t!", ""},
        {"empty subject", "a@b.example", "c@d.example", "", ""},
        {"empty recipient", "", "c@d.example", "s", "recipient address is empty"},
        {"empty sender: the null reverse path", "a@b.example", "", "s", ""},
        {"CRLF in recipient", "a@b.example>\r\nRCPT TO:<x@evil.example", "c@d.example", "s",
         "recipient address contains a line break"},
        {"LF in sender", "a@b.example", "c@d.example\nDATA", "s",
         "sender address contains a line break"},
        {"CR alone in recipient", "a@b\r.example", "c@d.example", "s",
         "recipient address contains a line break"},
        {"NUL in recipient", "a@b.example\0x"s, "c@d.example", "s",
         "recipient address contains a line break"},
        {"tab in sender", "a@b.example", "c@d\t.example", "s",
         "sender address contains a control character"},
        {"'<' in recipient", "a<b@c.example", "c@d.example", "s",
         "recipient address contains '<' or '>'"},
        {"'>' in sender", "a@b.example", "c@d.example> SIZE=1", "s",
         "sender address contains '<' or '>'"},
        {"CRLF in subject", "a@b.example", "c@d.example", "s\r\nBcc: x@evil.example",
         "subject contains a line break"},
        {"LF in subject", "a@b.example", "c@d.example", "s\nX: y", "subject contains a line break"},
        {"NUL in subject", "a@b.example", "c@d.example", "s\0t"s, "subject contains a line break"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(checkMailFields({.to = c.to, .from = c.from, .subject = c.subject}), c.reason);
    }
}

}  // namespace
