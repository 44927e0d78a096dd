// The TCG stack end to end over the controller emulator.

#include <gtest/gtest.h>

#include "tcg_dev_generic.h"
#include "tcg_emulated_stack.h"

namespace {

const char* const kPlainMachine = R"({"domains": [{
  "first_id": 256,
  "disks": [
    {"comment": "256 1/1", "port": 0, "capacity": 2000000, "model": "HD7200 4T0A610",
     "serial": "K4K1ZB7B", "fwrev": "A5GNT920"}
  ]
}]})";

TEST(TcgOverEmulator, DisksThatAreNotTcgDrivesAreNotSupported) {
    struct Case {
        const char* location;
        bool identified;
        const char* output;
    };
    const Case cases[] = {
        // IDENTIFY answers; the drive aborts TRUSTED RECEIVE.
        {"1/1", true, "sendCmd failed!\n"},
        // No such disk: nothing answers.
        {"1/9", false, "ATA IDENTIFY failed!\nsendCmd failed!\n"},
        {"", false, "ATA IDENTIFY failed!\nsendCmd failed!\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.location);
        tcgtest::EmulatedStack stack(kPlainMachine);
        TcgDevGeneric probe;
        testing::internal::CaptureStdout();
        probe.TcgDevOS::openDevice(c.location);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output);
        EXPECT_TRUE(probe.isPresent());
        EXPECT_FALSE(probe.isAnySSC());
        if (c.identified) {
            // The ATA text fields as the drive fills them: blank-padded, kept untrimmed.
            EXPECT_EQ(std::string(probe.diskInfo.modelNumber),
                      "HD7200 4T0A610" + std::string(26, ' '));
            EXPECT_EQ(std::string(probe.diskInfo.serialNumber), "K4K1ZB7B" + std::string(12, ' '));
            EXPECT_EQ(std::string(probe.diskInfo.firmwareRevision), "A5GNT920");
        } else {
            EXPECT_STREQ(probe.diskInfo.modelNumber, "");
        }
        testing::internal::CaptureStdout();
        EXPECT_EQ(stack.open(c.location), nullptr);
        testing::internal::GetCapturedStdout();
    }
}

}  // namespace
