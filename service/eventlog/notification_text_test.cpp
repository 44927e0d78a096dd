#include "notification_text.h"

#include <gtest/gtest.h>

#include <string>

#include "scoped_time_zone.h"

namespace {

TEST(EventMailText, EachCodeHasItsSentence) {
    struct Case {
        int code;
        const char* devname;
        const char* data;
        const char* expected;
    };
    const Case cases[] = {
        {1, "[1/E1/3] DM4000_Z1", "", "Disk \"[1/E1/3] DM4000_Z1\" was removed."},
        {2, "d", "", "Disk \"d\" was plugged in."},
        {3, "d", "", "An error occurs on disk \"d\"."},
        {4, "Data", "", "Array \"Data\" rebuilding started."},
        {7, "s", "", "Spare disk \"s\" took over."},
        {8, "Data", "", "Array \"Data\" rebuilding failed."},
        {12, "Data", "", "Array \"Data\" verify finished."},
        {13, "Data", "", "Array \"Data\" initialization started."},
        {17, "Data", "", "Array \"Data\" verify data inconsistent."},
        {21, "Data", "", "Array \"Data\" transform finished."},
        {22, "d", "", "Disk \"d\" SMART checking failed."},
        {23, "d", "", "Disk \"d\" SMART checking OK."},
        {24, "d", "", "Failed to repair bad sector on disk \"d\"."},
        {25, "d", "", "Successfully repaired bad sector on disk \"d\"."},
        // Codes without a sentence of their own.
        {26, "d", "x", "Event code: 26, dev: d, data: x"},
        {28, "Data", "", "Event code: 28, dev: Data, data: "},
        {0, "", "", "Event code: 0, dev: , data: "},
        {-3, "d", "", "Event code: -3, dev: d, data: "},
        {99, "d", "z", "Event code: 99, dev: d, data: z"},
        // A name is a value, never a format.
        {5, "%s%n%d", "", "Array \"%s%n%d\" rebuilding aborted."},
        {27, "%s", "%n", "Event code: 27, dev: %s, data: %n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.code);
        EXPECT_EQ(eventMailText(c.code, c.devname, c.data), c.expected);
    }
}

class NotificationBody : public testing::Test {
protected:
    ScopedTimeZone zone_{"CET-1CEST,M3.5.0,M10.5.0/3"};
};

TEST_F(NotificationBody, StartsWithTheLocalTimeOfTheEvent) {
    // 2024-12-31 23:59:59 UTC is already the new year in Central Europe.
    EXPECT_EQ(notificationBody(1735689599, 6, "Data", ""),
              "Date: 2025-01-01 00:59:59\r\nEvent: Array \"Data\" rebuilding finished.");
}

TEST_F(NotificationBody, IsCutAtTheLimitWithoutSplittingACharacter) {
    const std::string head = "Date: 2025-01-01 00:59:59\r\nEvent: Event code: 26, dev: d, data: ";
    // Two-byte characters placed so that the limit falls inside one of them.
    std::string data = std::string((kNotificationBodyMax - head.size()) % 2 == 0 ? 1 : 0, 'x');
    while (data.size() < 3000) data += "\xC3\xA9";  // é
    const std::string body = notificationBody(1735689599, 26, "d", data);
    ASSERT_EQ(body.size(), kNotificationBodyMax - 1);
    EXPECT_EQ(body.compare(0, head.size(), head), 0);
    EXPECT_EQ(body.substr(body.size() - 2), "\xC3\xA9");

    const std::string shortBody = notificationBody(1735689599, 26, "d", "short");
    EXPECT_EQ(shortBody, head + "short");
}

}  // namespace
