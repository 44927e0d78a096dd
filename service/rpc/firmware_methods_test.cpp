#include <gtest/gtest.h>

#include <algorithm>

#include "fw_image.h"
#include "fw_test_image.h"
#include "store_methods_fixture.h"

namespace rpctest {
namespace {

// PCI id of the default scenario's controller of domain 0.
constexpr uint32_t kIdFirst = 0x24101E4A;
constexpr uint32_t kIdSecond = 0x00011E4A;

class FirmwareMethods : public StoreMethods {
protected:
    std::string upload(const fwtest::Bytes& image, int domain = 0, int id = 0) {
        RpcUpload file{reinterpret_cast<const char*>(image.data()), image.size()};
        return rpc("FlashUpdate", {{"domain", domain}, {"id", id}}, &file);
    }
    std::vector<uint8_t> flash(size_t domain = 0) {
        return emulator(domain).Snapshot().controllers.at(0).flash;
    }
    size_t flashWrites(size_t domain = 0) { return requests(domain, ARK_REQ_FLASH).size(); }

    const fwtest::Bytes boot = fwtest::patterned(3000, 1);  // three chunks
    const fwtest::Bytes main = fwtest::patterned(1024, 2);  // exactly one
};

TEST_F(FirmwareMethods, WritesEachSectionAtItsTargetInTheControllersFlash) {
    const fwtest::Bytes image = fwtest::buildImage(
        {{{boot, 0x1000}, {main, 0x40000}}, {{0x11111111, 0x22222222}, {kIdFirst, kFwAnyId}}, {}});
    EXPECT_EQ(upload(image), ok("true"));

    const std::vector<uint8_t> f = flash();
    EXPECT_TRUE(std::equal(boot.begin(), boot.end(), f.begin() + 0x1000));
    EXPECT_TRUE(std::equal(main.begin(), main.end(), f.begin() + 0x40000));
    const size_t written = std::count_if(f.begin(), f.end(), [](uint8_t b) { return b != 0xFF; });
    EXPECT_LE(written, boot.size() + main.size()) << "nothing written outside the sections";
    EXPECT_EQ(flashWrites(), 4u);
    EXPECT_EQ(flash(1), std::vector<uint8_t>(flash(1).size(), 0xFF)) << "the other domain";
    EXPECT_TRUE(events().empty());
}

TEST_F(FirmwareMethods, RefusalsWriteNothing) {
    const fwtest::Bytes good = fwtest::buildImage({{{boot, 0}}, {{kFwAnyId, kFwAnyId}}, {}});
    fwtest::Bytes flipped = good;
    flipped[10] ^= 0x01;
    const fwtest::Bytes foreign =
        fwtest::buildImage({{{boot, 0}}, {{kIdFirst, kIdSecond + 1}, {0x1, kFwAnyId}}, {}});
    const fwtest::Bytes empty = fwtest::buildImage({{}, {}, {}});
    const struct {
        const char* name;
        fwtest::Bytes image;
        int id;
        const char* message;
    } rows[] = {
        {"not a container", fwtest::Bytes(18, 0x5A), 0, "unknown file format"},
        {"12 bytes", fwtest::Bytes(12, 0), 0, "unknown file format"},
        {"a flipped bit in a section", flipped, 0, "unknown file format"},
        {"no id pair fits", foreign, 0, "file is not compatible with current device"},
        {"16 bytes, no section, no id", empty, 0, "file is not compatible with current device"},
        {"no controller 3", good, 3, "fail to get PCI ID"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(upload(row.image, 0, row.id), error(kRpcFailed, row.message));
    }
    EXPECT_EQ(flashWrites(), 0u);
    EXPECT_EQ(flash(), std::vector<uint8_t>(flash().size(), 0xFF));
}

TEST_F(FirmwareMethods, ASectionPastTheFlashStopsTheUpdate) {
    const size_t size = flash().size();
    const fwtest::Bytes image =
        fwtest::buildImage({{{main, 0x2000}, {boot, uint32_t(size - 1024)}, {main, 0x3000}},
                            {{kIdFirst, kIdSecond}},
                            {}});
    EXPECT_EQ(upload(image), error(kRpcFailed, "download error"));
    const std::vector<uint8_t> f = flash();
    EXPECT_TRUE(std::equal(main.begin(), main.end(), f.begin() + 0x2000)) << "stays written";
    EXPECT_EQ(f[0x3000], 0xFF) << "nothing after the failed section";
}

TEST_F(FirmwareMethods, AJsonBodyNamingFlashUpdateCarriesNoImage) {
    const fwtest::Bytes image = fwtest::buildImage({{{boot, 0}}, {{kFwAnyId, kFwAnyId}}, {}});
    const value params = {{"domain", 0},
                          {"id", 0},
                          {"ptr", reinterpret_cast<uintptr_t>(image.data())},
                          {"size", image.size()}};
    EXPECT_EQ(rpc("FlashUpdate", params), error(kRpcBadParams, "no firmware image uploaded"));
    EXPECT_EQ(rpc("FlashUpdate"), error(kRpcBadParams, "no firmware image uploaded"));
    EXPECT_EQ(flashWrites(), 0u);
    EXPECT_TRUE(requests(0, ARK_REQ_GET_PCI_ID).empty());
}

}  // namespace
}  // namespace rpctest
