#include "fw_image.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <latch>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ark.h"
#include "domain.h"
#include "fw_test_image.h"

namespace {

using namespace fwtest;

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "fw_image_XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) m_path = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
    }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// The CRC that coreutils' cksum prints for a file.
std::optional<uint32_t> posixCksum(const std::filesystem::path& file) {
    const std::string command = "/usr/bin/cksum '" + file.string() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return std::nullopt;
    unsigned long crc = 0;
    const int fields = std::fscanf(pipe, "%lu", &crc);
    if (pclose(pipe) != 0 || fields != 1) return std::nullopt;
    return uint32_t(crc);
}

TEST(FwCksum, MatchesPosixCksum) {
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const size_t lengths[] = {0,    1,     2,     3,     4,     5,           7,
                              8,    255,   256,   257,   1023,  1024,        1025,
                              4095, 65535, 65536, 65537, 70000, 16777216 + 5};
    for (size_t n : lengths) {
        SCOPED_TRACE(testing::Message() << "length " << n);
        const Bytes data = patterned(n, 0xC0FFEEu + uint32_t(n));
        const auto file = dir.path() / "data.bin";
        {
            std::ofstream out(file, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(n));
            ASSERT_TRUE(out.good());
        }
        const auto expected = posixCksum(file);
        ASSERT_TRUE(expected.has_value());
        EXPECT_EQ(fwCksum(data.data(), n), *expected);
        EXPECT_EQ(referenceCksum(data.data(), n), *expected);  // the builder's CRC too
    }
    EXPECT_EQ(fwCksum("abc", 3), 1219131554u);
}

// The table-driven CRC folds many bytes per step; every length around the step and every
// start offset must give what the bit-at-a-time CRC gives.
TEST(FwCksum, MatchesBitwiseAtEveryLengthAndOffset) {
    const Bytes data = patterned(200, 0x5EEDu);
    for (size_t offset = 0; offset < 17; ++offset) {
        for (size_t n = 0; n + offset <= data.size(); ++n) {
            SCOPED_TRACE(testing::Message() << "offset " << offset << ", length " << n);
            ASSERT_EQ(fwCksum(data.data() + offset, n), referenceCksum(data.data() + offset, n));
        }
    }
}

struct CheckCase {
    const char* name;
    Bytes image;
    bool accepted;
};

ImagePlan threeSections() {
    ImagePlan plan;
    plan.front = patterned(8, 7);
    plan.sections = {{patterned(5, 1), 0x0}, {patterned(2500, 2), 0x10000}, {{}, 0x20000}};
    plan.ids = {{0x11112222u, 0x33334444u}, {kFwAnyId, 0x55556666u}};
    return plan;
}

std::vector<CheckCase> checkCases() {
    std::vector<CheckCase> cases;
    const ImagePlan plan = threeSections();
    const Bytes good = buildImage(plan);
    const Bytes empty = buildImage({});
    auto mutated = [](Bytes image, auto&& change) {
        change(image);
        return image;
    };
    const size_t trailer = good.size() - 16;
    const size_t entry1 = entryAt(good, plan, 1);

    cases.push_back({"three sections, two ids", good, true});
    cases.push_back({"16 bytes, nothing listed", empty, true});
    cases.push_back({"12 bytes", Bytes(empty.begin() + 4, empty.end()), false});
    cases.push_back({"17 bytes", mutated(empty, [](Bytes& b) { b.insert(b.begin(), 0); }), false});
    cases.push_back(
        {"18 bytes", mutated(empty, [](Bytes& b) { b.insert(b.begin(), 2, 0); }), false});
    cases.push_back({"bad magic, crc resealed",
                     mutated(good,
                             [&](Bytes& b) {
                                 b[trailer + 11] = 'o';
                                 reseal(b);
                             }),
                     false});
    // Counts whose 32-bit table size wraps to 0 or to the one entry present; the crc is right
    // for the wrapped size, so only 64-bit arithmetic refuses them.
    cases.push_back({"section count wraps table to 0",
                     mutated(empty,
                             [](Bytes& b) {
                                 put32(b, 0, 0x10000000u);
                                 reseal(b);
                             }),
                     false});
    {
        ImagePlan one;
        one.sections = {{patterned(64, 3), 0}};
        cases.push_back({"section count wraps table to 1 entry",
                         mutated(buildImage(one),
                                 [](Bytes& b) {
                                     put32(b, b.size() - 16, 0x10000001u);
                                     reseal(b);
                                 }),
                         false});
    }
    cases.push_back({"id count wraps table to 0",
                     mutated(empty,
                             [](Bytes& b) {
                                 put32(b, 4, 0x20000000u);
                                 reseal(b);
                             }),
                     false});
    cases.push_back({"table longer than the image",
                     mutated(empty,
                             [](Bytes& b) {
                                 put32(b, 0, 1);
                                 reseal(b);
                             }),
                     false});
    cases.push_back({"flipped bit in a section entry",
                     mutated(good, [&](Bytes& b) { b[entry1 + 9] ^= 1; }), false});
    cases.push_back({"flipped bit in the id list",
                     mutated(good, [&](Bytes& b) { b[idListAt(good, plan) + 2] ^= 0x80; }), false});
    cases.push_back({"flipped bit in the trailer crc",
                     mutated(good, [&](Bytes& b) { b[trailer + 15] ^= 4; }), false});
    cases.push_back({"flipped bit in section data",
                     mutated(good, [&](Bytes& b) { b[get32(good, entry1) + 1234] ^= 0x10; }),
                     false});
    cases.push_back({"flipped bit in bytes no section covers",
                     mutated(good, [](Bytes& b) { b[3] ^= 1; }), true});
    cases.push_back({"section runs past the end",
                     mutated(good,
                             [&](Bytes& b) {
                                 put32(b, entry1 + 4, uint32_t(b.size()) + 4 - get32(b, entry1));
                                 reseal(b);
                             }),
                     false});
    cases.push_back({"section end wraps 32 bits",
                     mutated(good,
                             [&](Bytes& b) {
                                 put32(b, entry1, 0xFFFFFFF0u);
                                 put32(b, entry1 + 4, 0x20);
                                 reseal(b);
                             }),
                     false});
    cases.push_back({"empty section just past the end",
                     mutated(good,
                             [&](Bytes& b) {
                                 const size_t e2 = entryAt(good, plan, 2);
                                 put32(b, e2, uint32_t(b.size()) + 4);
                                 reseal(b);
                             }),
                     false});
    // Inside the image though not in front of the table: accepted, nothing is read outside.
    cases.push_back({"section over the id list",
                     mutated(good,
                             [&](Bytes& b) {
                                 const size_t ids = idListAt(good, plan);
                                 put32(b, entry1, uint32_t(ids));
                                 put32(b, entry1 + 4, 16);
                                 put32(b, entry1 + 12, referenceCksum(&b[ids], 16));
                                 reseal(b);
                             }),
                     true});
    return cases;
}

TEST(FwImage, ContainerCheck) {
    for (const auto& c : checkCases()) {
        SCOPED_TRACE(c.name);
        // An exact-size heap copy, so ASan sees any read past the image.
        auto copy = std::make_unique<uint8_t[]>(c.image.size());
        std::copy(c.image.begin(), c.image.end(), copy.get());
        FwImageLayout layout;
        layout.sectionCount = 77;
        EXPECT_EQ(checkFirmwareImage(copy.get(), c.image.size(), &layout), c.accepted);
        if (!c.accepted) {
            EXPECT_EQ(layout.sectionCount, 77u);  // untouched on failure
        }
    }
}

TEST(FwImage, LayoutAndSectionsOfAnAcceptedImage) {
    const ImagePlan plan = threeSections();
    const Bytes image = buildImage(plan);
    FwImageLayout layout;
    ASSERT_TRUE(checkFirmwareImage(image.data(), image.size(), &layout));
    EXPECT_EQ(layout.sectionCount, 3u);
    EXPECT_EQ(layout.pciIdCount, 2u);
    EXPECT_EQ(layout.trailerOffset, image.size() - 16);
    EXPECT_EQ(layout.idListOffset, image.size() - 16 - 16);
    EXPECT_EQ(layout.tableOffset, image.size() - 16 - 16 - 48);
    for (uint32_t k = 0; k < 3; ++k) {
        SCOPED_TRACE(testing::Message() << "section " << k);
        const FwSection s = fwImageSection(image.data(), layout, k);
        const Bytes& data = plan.sections[k].data;
        EXPECT_EQ(s.target, plan.sections[k].target);
        ASSERT_EQ(s.length, data.size());
        EXPECT_TRUE(std::equal(data.begin(), data.end(), image.begin() + s.offset));
    }
}

TEST(FwImage, StatusTexts) {
    EXPECT_STREQ(fwUpdateStatusText(FwUpdateStatus::Ok), "");
    EXPECT_STREQ(fwUpdateStatusText(FwUpdateStatus::UnknownFormat), "unknown file format");
    EXPECT_STREQ(fwUpdateStatusText(FwUpdateStatus::NoPciId), "fail to get PCI ID");
    EXPECT_STREQ(fwUpdateStatusText(FwUpdateStatus::NotCompatible),
                 "file is not compatible with current device");
    EXPECT_STREQ(fwUpdateStatusText(FwUpdateStatus::DownloadError), "download error");
}

// A controller with a flash memory: answers the controller count, the PCI id of each
// controller, and flash writes, which it checks and applies. Thread-safe.
class FlashModelPort : public CDriverPort {
public:
    static constexpr uint32_t kFlashSize = 1u << 20;

    struct Write {
        uint32_t controller;
        uint32_t offset;
        uint32_t length;
    };

    FlashModelPort() : m_flash(kFlashSize, 0xEE) {}

    int Ioctl(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
              uint32_t* bytesReturned) override {
        if (bytesReturned != nullptr) *bytesReturned = 0;
        if (code == ARK_REQ_FLASH && chunkPause.count() != 0)
            std::this_thread::sleep_for(chunkPause);  // widens the window for interleaving
        std::lock_guard<std::mutex> guard(m_mutex);
        m_codes.push_back(code);
        switch (code) {
            case ARK_REQ_GET_CONTROLLER_COUNT:
                if (outLen != 4) return -1;
                std::memcpy(out, &controllerCount, 4);
                break;
            case ARK_REQ_GET_PCI_ID: {
                if (inLen != 4 || outLen != 8 || failPciId) return -1;
                uint32_t controller;
                std::memcpy(&controller, in, 4);
                if (controller >= controllerCount) return -1;
                const ARK_PCI_ID id{pciFirst + controller, pciSecond};
                std::memcpy(out, &id, 8);
                break;
            }
            case ARK_REQ_FLASH: {
                ARK_FLASH_REQUEST req;
                if (inLen != sizeof req || outLen != 0) return -1;
                std::memcpy(&req, in, sizeof req);
                if (req.direction != 1 || req.length % 4 != 0 || req.length > ARK_FLASH_CHUNK ||
                    uint64_t(req.offset) + req.length > kFlashSize)
                    return -1;
                m_writes.push_back({req.controller, req.offset, req.length});
                if (failOffset && *failOffset == req.offset) return -1;
                std::memcpy(&m_flash[req.offset], req.data, req.length);
                break;
            }
            default:
                return -1;
        }
        if (bytesReturned != nullptr) *bytesReturned = outLen;
        return 0;
    }
    const char* GetPath() const override { return "flash-model"; }

    std::vector<Write> writes() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_writes;
    }
    std::vector<uint32_t> codes() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_codes;
    }
    Bytes flash(uint32_t offset, size_t length) {
        std::lock_guard<std::mutex> guard(m_mutex);
        return Bytes(m_flash.begin() + offset, m_flash.begin() + offset + length);
    }

    // Set before requests run.
    uint32_t controllerCount = 1;
    uint32_t pciFirst = 0x90001AE0u;  // controller k answers pciFirst + k
    uint32_t pciSecond = 0x00111AE0u;
    bool failPciId = false;
    std::optional<uint32_t> failOffset;
    std::chrono::microseconds chunkPause{0};

private:
    std::mutex m_mutex;
    Bytes m_flash;
    std::vector<Write> m_writes;
    std::vector<uint32_t> m_codes;
};

class FwUpdate : public testing::Test {
protected:
    void SetUp() override { attachController(); }

    // Domain 0 becomes a fresh model with two controllers behind one port.
    void attachController() {
        arkResetDomainsForTest();
        port = new FlashModelPort;
        port->controllerCount = 2;
        ASSERT_TRUE(AttachPort(port));
    }
    void TearDown() override { arkResetDomainsForTest(); }

    FlashModelPort* port = nullptr;  // owned by the domain list
};

struct UpdateCase {
    const char* name;
    std::vector<std::pair<uint32_t, uint32_t>> ids;
    bool failPciId;
    std::optional<uint32_t> failOffset;
    FwUpdateStatus expected;
    std::vector<uint32_t> writtenOffsets;  // every flash request, in order
    size_t sectionsIntact;                 // leading sections found whole in the flash
};

// Controller 1 of the model answers (0x90001AE1, 0x00111AE0).
TEST_F(FwUpdate, IdentityAndSectionWrites) {
    constexpr uint32_t kFirst = 0x90001AE1u, kSecond = 0x00111AE0u;
    const std::vector<uint32_t> allChunks = {0x100, 0x4000, 0x4400, 0x4800, 0x8000};
    const UpdateCase cases[] = {
        {"exact pair", {{kFirst, kSecond}}, false, {}, FwUpdateStatus::Ok, allChunks, 3},
        {"second pair",
         {{kFirst, kSecond + 1}, {kFirst, kSecond}},
         false,
         {},
         FwUpdateStatus::Ok,
         allChunks,
         3},
        {"both words wildcard",
         {{kFwAnyId, kFwAnyId}},
         false,
         {},
         FwUpdateStatus::Ok,
         allChunks,
         3},
        {"first word wildcard", {{kFwAnyId, kSecond}}, false, {}, FwUpdateStatus::Ok, allChunks, 3},
        {"second word wildcard", {{kFirst, kFwAnyId}}, false, {}, FwUpdateStatus::Ok, allChunks, 3},
        // Each word matches some pair, but never both in the same pair.
        {"words split over pairs",
         {{kFirst, kSecond + 1}, {kFirst + 1, kSecond}},
         false,
         {},
         FwUpdateStatus::NotCompatible,
         {},
         0},
        {"other controller's id",
         {{kFirst - 1, kSecond}},
         false,
         {},
         FwUpdateStatus::NotCompatible,
         {},
         0},
        {"no ids", {}, false, {}, FwUpdateStatus::NotCompatible, {}, 0},
        {"PCI id request fails", {{kFwAnyId, kFwAnyId}}, true, {}, FwUpdateStatus::NoPciId, {}, 0},
        // The first section stays written; the third is never sent.
        {"second section fails",
         {{kFwAnyId, kFwAnyId}},
         false,
         0x4400u,
         FwUpdateStatus::DownloadError,
         {0x100, 0x4000, 0x4400},
         1},
        {"first section fails",
         {{kFwAnyId, kFwAnyId}},
         false,
         0x100u,
         FwUpdateStatus::DownloadError,
         {0x100},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        attachController();
        port->failPciId = c.failPciId;
        port->failOffset = c.failOffset;
        ImagePlan plan;
        plan.sections = {{patterned(6, 11), 0x100},
                         {patterned(2100, 12), 0x4000},
                         {patterned(1024, 13), 0x8000}};
        plan.ids = c.ids;
        const Bytes image = buildImage(plan);

        EXPECT_EQ(updateFirmware(0, 1, image.data(), image.size()), c.expected);

        const auto writes = port->writes();
        std::vector<uint32_t> offsets;
        for (const auto& w : writes) {
            offsets.push_back(w.offset);
            EXPECT_EQ(w.controller, 1u);
        }
        EXPECT_EQ(offsets, c.writtenOffsets);
        for (size_t k = 0; k < c.sectionsIntact; ++k) {
            const auto& s = plan.sections[k];
            EXPECT_EQ(port->flash(s.target, s.data.size()), s.data) << "section " << k;
        }
        const auto codes = port->codes();
        EXPECT_EQ(std::count(codes.begin(), codes.end(), ARK_REQ_GET_PCI_ID), 1);
    }
}

TEST_F(FwUpdate, RefusedContainerSendsNothing) {
    for (const auto& c : checkCases()) {
        if (c.accepted) continue;
        SCOPED_TRACE(c.name);
        attachController();
        EXPECT_EQ(updateFirmware(0, 0, c.image.data(), c.image.size()),
                  FwUpdateStatus::UnknownFormat);
        // Only the controller count that attached the port.
        EXPECT_EQ(port->codes(), std::vector<uint32_t>{ARK_REQ_GET_CONTROLLER_COUNT});
    }
}

TEST_F(FwUpdate, UnknownDomainGetsNoPciId) {
    const Bytes image = buildImage({{{patterned(8, 1), 0}}, {{kFwAnyId, kFwAnyId}}, {}});
    EXPECT_EQ(updateFirmware(1, 0, image.data(), image.size()), FwUpdateStatus::NoPciId);
    EXPECT_EQ(updateFirmware(-1, 0, image.data(), image.size()), FwUpdateStatus::NoPciId);
    EXPECT_TRUE(port->writes().empty());
}

// Two updates of one controller at once: each image's chunks must arrive as one unbroken run.
TEST_F(FwUpdate, UpdatesOfOneControllerDoNotInterleave) {
    port->chunkPause = std::chrono::microseconds(500);
    const Bytes imageA = buildImage({{{patterned(8192, 21), 0x00000}}, {{kFwAnyId, kFwAnyId}}, {}});
    const Bytes imageB = buildImage({{{patterned(8192, 22), 0x40000}}, {{kFwAnyId, kFwAnyId}}, {}});
    std::latch start(2);
    FwUpdateStatus statusA{}, statusB{};
    std::thread a([&] {
        start.arrive_and_wait();
        statusA = updateFirmware(0, 0, imageA.data(), imageA.size());
    });
    std::thread b([&] {
        start.arrive_and_wait();
        statusB = updateFirmware(0, 0, imageB.data(), imageB.size());
    });
    a.join();
    b.join();
    EXPECT_EQ(statusA, FwUpdateStatus::Ok);
    EXPECT_EQ(statusB, FwUpdateStatus::Ok);

    const auto writes = port->writes();
    ASSERT_EQ(writes.size(), 16u);
    int runs = 1;
    for (size_t i = 1; i < writes.size(); ++i)
        runs += (writes[i].offset < 0x40000) != (writes[i - 1].offset < 0x40000);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(port->flash(0x00000, 8192), patterned(8192, 21));
    EXPECT_EQ(port->flash(0x40000, 8192), patterned(8192, 22));
}

}  // namespace
