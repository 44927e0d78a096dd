// --flash through the entry over an emulated controller, with images built from the
// container's description (not by the checker under test).

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ark.h"
#include "fw_test_image.h"
#include "util_harness.h"

namespace {

using utiltest::UtilityMachine;
namespace fs = std::filesystem;

const char* const kMachine = R"({"domains": [{
   "controllers": [{"pci_id": ["0x24101E4A", "0x00011E4A"], "flash_size": 65536}]
}]})";

class Flash : public ::testing::Test {
protected:
    void SetUp() override {
        dir =
            fs::path(testing::TempDir()) /
            ("flash_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        file = (dir / "image.bin").string();
    }
    void TearDown() override { fs::remove_all(dir); }

    void write(const fwtest::Bytes& bytes) {
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    static fwtest::ImagePlan plan(uint32_t first = 0x24101E4A) {
        fwtest::ImagePlan p;
        p.sections.push_back({fwtest::patterned(1500, 1), 0x0000});
        p.sections.push_back({fwtest::patterned(700, 2), 0x4000});
        p.ids = {{0x11111111, 0x22222222}, {first, 0xFFFFFFFF}};
        return p;
    }

    std::vector<uint8_t> flash() { return m.emulator().Snapshot().controllers[0].flash; }

    UtilityMachine m{kMachine};
    fs::path dir;
    std::string file;
};

TEST_F(Flash, WritesEverySectionAtItsTarget) {
    const fwtest::ImagePlan p = plan();
    write(fwtest::buildImage(p));
    const auto r = m.run({"--flash", file});
    EXPECT_EQ(r.out,
              "section 1 of 2 written\nsection 2 of 2 written\n"
              "firmware updated; it takes effect when the controller restarts\n");
    EXPECT_EQ(r.status, 0);
    const std::vector<uint8_t> f = flash();
    EXPECT_TRUE(std::equal(p.sections[0].data.begin(), p.sections[0].data.end(), f.begin()));
    EXPECT_TRUE(
        std::equal(p.sections[1].data.begin(), p.sections[1].data.end(), f.begin() + 0x4000));
}

TEST_F(Flash, OffsetMovesEverySection) {
    const fwtest::ImagePlan p = plan();
    write(fwtest::buildImage(p));
    const auto r = m.run({"--flash", file, "-o", "0x800"});
    EXPECT_EQ(r.status, 0);
    const std::vector<uint8_t> f = flash();
    EXPECT_TRUE(
        std::equal(p.sections[1].data.begin(), p.sections[1].data.end(), f.begin() + 0x4800));
}

TEST_F(Flash, NothingIsWrittenUnlessEveryCheckPasses) {
    fwtest::Bytes corrupt = fwtest::buildImage(plan());
    corrupt[10] ^= 1;  // inside section 1: its crc no longer matches
    const struct {
        const char* what;
        fwtest::Bytes image;
        std::vector<std::string> extra;
        const char* out;
    } cases[] = {
        {"corrupt", corrupt, {}, "unknown file format\n"},
        {"empty", {}, {}, "unknown file format\n"},
        {"another controller's",
         fwtest::buildImage(plan(0x38081E4A)),
         {},
         "file is not compatible with current device\n"},
        {"bad offset",
         fwtest::buildImage(plan()),
         {"-o", "0x1G"},
         "invalid offset 0x1G (hexadecimal)\n"},
        {"offset too far",
         fwtest::buildImage(plan()),
         {"-o", "FFFFF000"},
         "offset 0xFFFFF000 moves section 2 beyond the flash\n"},
        {"no such controller", fwtest::buildImage(plan()), {"-c", "1"}, "no such controller\n"},
        {"controller not a number",
         fwtest::buildImage(plan()),
         {"-c", "x"},
         "no such controller\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        write(c.image);
        std::vector<std::string> args = {"--flash", file};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const auto r = m.run(args);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, 1);
        for (const auto& req : m.requests(ARK_REQ_FLASH))
            EXPECT_NE(req.input.size(), sizeof(ARK_FLASH_REQUEST)) << "a flash write was sent";
    }
}

TEST_F(Flash, AFailedSectionStopsTheWrite) {
    write(fwtest::buildImage(plan()));
    // Section 1 takes two chunks; the third write is section 2's first.
    m.emulator().InjectFault({ARK_REQ_FLASH, emu::Fault::Kind::Fail, 3, 1});
    const auto r = m.run({"--flash", file});
    EXPECT_EQ(r.out, "section 1 of 2 written\ndownload error: section 2 of 2\n");
    EXPECT_EQ(r.status, 1);
}

TEST_F(Flash, SaveWritesTheFlashToTheFile) {
    m.emulator().Modify([](emu::State& s) {
        for (size_t i = 0; i < 3000; ++i) s.controllers[0].flash[0x100 + i] = uint8_t(i * 7);
    });
    auto r = m.run({"--flash", file, "-s", "3000", "-o", "100"});
    EXPECT_EQ(r.out, "3000 bytes of flash saved to " + file + "\n");
    EXPECT_EQ(r.status, 0);
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> saved((std::istreambuf_iterator<char>(in)), {});
    const std::vector<uint8_t> f = flash();
    EXPECT_EQ(saved, std::vector<uint8_t>(f.begin() + 0x100, f.begin() + 0x100 + 3000));

    // A failed read leaves the file as it was and no part of a new one.
    std::ofstream(file, std::ios::trunc) << "kept";
    m.emulator().InjectFault({ARK_REQ_FLASH, emu::Fault::Kind::Fail});
    r = m.run({"--flash", file, "-s", "3000"});
    EXPECT_EQ(r.out, "fail to read flash\n");
    EXPECT_EQ(r.status, 1);
    std::ifstream kept(file);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "kept");
    EXPECT_FALSE(fs::exists(file + ".part"));
    for (const char* size : {"0", "12x", "-1", "67108865"}) {
        r = m.run({"--flash", file, "-s", size});
        EXPECT_EQ(r.out, std::string("invalid size ") + size + "\n");
    }
}

}  // namespace
