#include "event_codes.h"

#include <gtest/gtest.h>

namespace {

TEST(EventSeverity, WarningsErrorsAndInformation) {
    const int warnings[] = {1, 2, 3, 5, 7, 10, 14, 19, 28};
    const int errors[] = {8, 11, 15, 17, 20, 22, 24};
    const int information[] = {0, 4, 6, 9, 12, 13, 16, 18, 21, 23, 25, 26, 27, 29, 255};
    for (int c : warnings) EXPECT_EQ(eventSeverity(c), kEventWarning) << "code " << c;
    for (int c : errors) EXPECT_EQ(eventSeverity(c), kEventError) << "code " << c;
    for (int c : information) EXPECT_EQ(eventSeverity(c), kEventInformation) << "code " << c;
}

}  // namespace
