#include "vendor_command.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(VendorCommand, CarriesTheRequestLittleEndian) {
    uint8_t cdb[16];
    std::fill(std::begin(cdb), std::end(cdb), 0xEE);
    arkBuildVendorCdb(cdb, 0x8000001D, 0x214, 0x1234);
    const uint8_t expected[16] = {0x02, 'A',  'R',  'K',  0x1D, 0x00, 0x00, 0x80,
                                  0x14, 0x02, 0x00, 0x00, 0x34, 0x12, 0x00, 0x00};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(cdb[i], expected[i]) << "byte " << i;
}

// The one rule both processor-device ports apply; the length is what the device actually
// returned, so a key byte beyond it is never trusted.
TEST(VendorCommand, CompletionFollowsStatusAndSense) {
    struct Row {
        const char* name;
        uint8_t status;
        std::vector<uint8_t> sense;
        size_t senseLen;
        bool completed;
    };
    const Row rows[] = {
        {"good, no sense", 0x00, {}, 0, true},
        {"recovered, fixed", 0x02, {0x70, 0, 0x01}, 3, true},
        {"recovered, fixed, VALID bit", 0x02, {0xF0, 0, 0x01}, 3, true},
        {"recovered, fixed, flag bits above the key", 0x02, {0x70, 0, 0xE1}, 3, true},
        {"recovered, descriptor", 0x02, {0x72, 0x01}, 2, true},
        {"fixed, key byte not returned", 0x02, {0x70, 0, 0x01}, 2, false},
        {"descriptor, key byte not returned", 0x02, {0x72, 0x01}, 1, false},
        {"deferred, fixed", 0x02, {0x71, 0, 0x01}, 3, false},
        {"deferred, descriptor", 0x02, {0x73, 0x01}, 2, false},
        {"illegal request", 0x02, {0x70, 0, 0x05}, 3, false},
        {"no sense key", 0x02, {0x70, 0, 0x00}, 3, false},
        {"check condition without sense", 0x02, {}, 0, false},
        {"busy", 0x08, {0x70, 0, 0x01}, 3, false},
        {"reservation conflict", 0x18, {}, 0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(arkVendorCommandCompleted(
                      row.status, row.sense.empty() ? nullptr : row.sense.data(), row.senseLen),
                  row.completed);
    }
}

}  // namespace
