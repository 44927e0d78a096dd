// Firmware updates against the controller emulator: what lands in its flash, read back through
// the API the way the utility's save option reads it.

#include <gtest/gtest.h>

#include "ark.h"
#include "domain.h"
#include "emu_port.h"
#include "emulator.h"
#include "fw_image.h"
#include "fw_test_image.h"

namespace {

using namespace fwtest;

constexpr uint32_t kOtherFirst = 0x28101E4Au;  // controller 1's first PCI id word

class FwUpdateOverEmulator : public testing::Test {
protected:
    FwUpdateOverEmulator() : emulator(makeState()) {}

    static emu::State makeState() {
        emu::State state;
        state.controllers.resize(2);
        state.controllers[1].pciIdFirst = kOtherFirst;
        return state;
    }

    void SetUp() override {
        arkResetDomainsForTest();
        ASSERT_TRUE(AttachPort(new emu::EmuPort(emulator, "emu0")));
    }
    void TearDown() override { arkResetDomainsForTest(); }

    Bytes readFlash(uint32_t controller, uint32_t offset, uint32_t length) {
        Bytes back(length);
        EXPECT_EQ(arkFlashUpload(0, controller, offset, back.data(), length), 0);
        return back;
    }

    emu::Emulator emulator;
    const ImagePlan plan{{{patterned(3001, 31), 0x1000}, {patterned(10, 32), 0x20000}},
                         {{0x12345678u, 0x9ABCDEF0u}, {kOtherFirst, kFwAnyId}},
                         {}};
};

TEST_F(FwUpdateOverEmulator, SectionsLandAtTheirTargets) {
    const Bytes image = buildImage(plan);
    EXPECT_EQ(updateFirmware(0, 0, image.data(), image.size()), FwUpdateStatus::NotCompatible);
    ASSERT_EQ(updateFirmware(0, 1, image.data(), image.size()), FwUpdateStatus::Ok);

    for (const auto& s : plan.sections) {
        SCOPED_TRACE(testing::Message() << "target " << s.target);
        EXPECT_EQ(readFlash(1, s.target, uint32_t(s.data.size())), s.data);
        EXPECT_EQ(readFlash(0, s.target, uint32_t(s.data.size())),
                  Bytes(s.data.size(), 0xFF));  // the other controller is untouched
    }
    // The last chunk is padded to a multiple of 4 with 0xFF, and nothing beyond is written.
    const emu::State state = emulator.Snapshot();
    const auto& flash = state.controllers[1].flash;
    EXPECT_EQ(flash[0x1000 + 3001], 0xFF);
    EXPECT_EQ(flash[0x1000 - 1], 0xFF);
}

TEST_F(FwUpdateOverEmulator, FailedChunkStopsTheUpdate) {
    // Chunks: 0x1000, 0x1400, 0x1800 (the first section), 0x20000 (the second).
    emulator.InjectFault({ARK_REQ_FLASH, emu::Fault::Kind::Fail, 3, 1, 0});
    const Bytes image = buildImage(plan);
    EXPECT_EQ(updateFirmware(0, 1, image.data(), image.size()), FwUpdateStatus::DownloadError);

    const Bytes& first = plan.sections[0].data;
    EXPECT_EQ(readFlash(1, 0x1000, 2048), Bytes(first.begin(), first.begin() + 2048));
    EXPECT_EQ(readFlash(1, 0x1800, 953), Bytes(953, 0xFF));
    EXPECT_EQ(readFlash(1, 0x20000, 10), Bytes(10, 0xFF));
}

}  // namespace
