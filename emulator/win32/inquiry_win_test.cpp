#include "inquiry_win.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#include "frames_win.h"
#include "win32_standin.h"

namespace {

using emu::win32::BuildInquiryData;
using emu::win32::DiskUnit;
using emu::win32::ProcessorUnit;

constexpr size_t kBuffer = arkwin::kInquiryBufferSize;

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Writes a unit record at `at`: address, inquiry length, next offset, and (as much as fits)
// a processor device's inquiry bytes with vendor "ARK".
void PutUnit(std::vector<uint8_t>& b, size_t at, uint8_t pathId, uint32_t length, uint32_t next,
             uint8_t type = 3) {
    b[at] = pathId;
    b[at + 1] = 7;
    b[at + 2] = 0;
    Put32(b, at + 4, length);
    Put32(b, at + 8, next);
    const uint8_t inquiry[11] = {type, 0, 5, 2, 31, 0, 0, 0, 'A', 'R', 'K'};
    for (size_t i = 0; i < sizeof(inquiry) && at + 12 + i < b.size(); ++i) {
        b[at + 12 + i] = inquiry[i];
    }
}

// One bus whose first unit is at `first` with `units` in its chain.
std::vector<uint8_t> OneBus(size_t size, uint8_t units, uint32_t first) {
    std::vector<uint8_t> b(size);
    b[0] = 1;
    b[4] = units;
    Put32(b, 8, first);
    return b;
}

struct Case {
    const char* name;
    std::function<std::vector<uint8_t>()> buffer;
    std::optional<size_t> returned;  // unset: the whole buffer
    bool found;
    uint32_t address;
};

TEST(InquiryWalk, FindsTheControllerOrStopsInsideTheData) {
    const Case cases[] = {
        {"built chain, controller behind a disk",
         [] {
             auto b = BuildInquiryData({{DiskUnit(0, 0, 0), ProcessorUnit(0, 5, 1)}});
             b.resize(kBuffer);
             return b;
         },
         std::nullopt, true, 0x000501},
        {"controller on the third bus",
         [] {
             auto b = BuildInquiryData({{DiskUnit(0, 0, 0)}, {}, {ProcessorUnit(2, 1, 0)}});
             b.resize(kBuffer);
             return b;
         },
         std::nullopt, true, 0x020100},
        {"vendor text differs",
         [] {
             auto b = BuildInquiryData({{ProcessorUnit(0, 1, 0, "ARX")}});
             b.resize(kBuffer);
             return b;
         },
         std::nullopt, false, 0},
        {"only disks",
         [] {
             auto b = BuildInquiryData({{DiskUnit(0, 0, 0), DiskUnit(0, 1, 0)}});
             b.resize(kBuffer);
             return b;
         },
         std::nullopt, false, 0},
        {"unit count stops the chain before the controller",
         [] {
             auto b = BuildInquiryData({{DiskUnit(0, 0, 0), ProcessorUnit(0, 5, 1)}});
             b[4] = 1;
             b.resize(kBuffer);
             return b;
         },
         std::nullopt, false, 0},
        {"first offset inside the header", [] { return OneBus(kBuffer, 1, 8); }, std::nullopt,
         false, 0},
        {"offset past the last allowed start",
         [] {
             auto b = OneBus(kBuffer, 1, 32753);
             return b;
         },
         std::nullopt, false, 0},
        {"inquiry bytes would run past the buffer",
         [] {
             auto b = OneBus(kBuffer, 1, 32740);
             PutUnit(b, 32740, 0, 36, 0);  // 32740 + 12 + 36 > 32768
             return b;
         },
         std::nullopt, false, 0},
        {"record fits the buffer exactly",
         [] {
             auto b = OneBus(kBuffer, 1, 32720);
             PutUnit(b, 32720, 4, 36, 0);  // ends at 32768
             return b;
         },
         std::nullopt, true, 0x040700},
        {"inquiry length field enormous",
         [] {
             auto b = OneBus(kBuffer, 1, 12);
             PutUnit(b, 12, 0, 0xFFFFFFFFu, 0);
             return b;
         },
         std::nullopt, false, 0},
        {"record beyond the bytes returned",
         [] {
             auto b = OneBus(kBuffer, 1, 100);
             PutUnit(b, 100, 0, 36, 0);
             return b;
         },
         120, false, 0},
        {"returned count larger than the buffer",
         [] {
             auto b = OneBus(kBuffer, 1, 32740);
             PutUnit(b, 32740, 0, 36, 0);
             return b;
         },
         65536, false, 0},
        {"bus entries beyond the bytes returned",
         [] {
             auto b = BuildInquiryData({{DiskUnit(0, 0, 0)}, {ProcessorUnit(1, 0, 0)}});
             b[0] = 255;
             b.resize(kBuffer);
             return b;
         },
         12, false, 0},
        {"chain that points at itself",
         [] {
             auto b = OneBus(kBuffer, 255, 12);
             PutUnit(b, 12, 0, 36, 12, 0);
             return b;
         },
         std::nullopt, false, 0},
        {"short inquiry skipped, next unit found",
         [] {
             auto b = OneBus(kBuffer, 2, 12);
             PutUnit(b, 12, 0, 8, 64);  // too short to hold the vendor text
             PutUnit(b, 64, 3, 36, 0);
             return b;
         },
         std::nullopt, true, 0x030700},
        {"small buffer, record past its end",
         [] {
             auto b = OneBus(20, 1, 12);
             return b;
         },
         std::nullopt, false, 0},
        {"nothing returned",
         [] {
             auto b = BuildInquiryData({{ProcessorUnit(0, 1, 0)}});
             b.resize(kBuffer);
             return b;
         },
         0, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Exactly sized heap copy, so any read past it shows under ASan.
        const std::vector<uint8_t> data = c.buffer();
        std::vector<uint8_t> exact(data);
        exact.shrink_to_fit();
        const size_t returned = c.returned.value_or(exact.size());
        uint32_t address = 0xDEADBEEF;
        EXPECT_EQ(FindProcessorDevice(exact.data(), exact.size(), returned, &address), c.found);
        if (c.found) {
            EXPECT_EQ(address, c.address);
        }
    }
}

}  // namespace
