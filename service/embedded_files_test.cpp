#include "embedded_files.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string readAsset(const std::string& name) {
    std::ifstream in(std::string(ARK_ASSETS_DIR) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string readAll(FILE* h, size_t piece) {
    std::string out;
    std::vector<char> buffer(piece);
    for (;;) {
        size_t got = ReadEmbeddedFile(buffer.data(), 1, piece, h);
        if (got == 0) return out;
        out.append(buffer.data(), got);
    }
}

TEST(EmbeddedFiles, RowsInTheirFixedOrder) {
    const char* const expected[] = {"css/arkgui.css",
                                    "fonts/fontawesome-webfont.eot",
                                    "fonts/fontawesome-webfont.svg",
                                    "fonts/fontawesome-webfont.ttf",
                                    "fonts/fontawesome-webfont.woff",
                                    "fonts/fontawesome-webfont.woff2",
                                    "fonts/FontAwesome.otf",
                                    "images/morvi.svg",
                                    "images/qd.svg",
                                    "images/tesk.svg",
                                    "images/logo.svg",
                                    "images/nologo.svg",
                                    "images/plivoran.svg",
                                    "index.html",
                                    "js/arkgui.js"};
    static_assert(std::size(expected) == kEmbeddedFileCount);
    for (size_t i = 0; i < kEmbeddedFileCount; ++i) {
        EXPECT_STREQ(g_embeddedFiles[i].name, expected[i]) << "row " << i;
    }
}

TEST(EmbeddedFiles, EveryRowInflatesToItsFileInAssets) {
    for (const auto& row : g_embeddedFiles) {
        SCOPED_TRACE(row.name);
        std::string want = readAsset(row.name);
        EXPECT_EQ(row.size, want.size()) << "inflated size copied from the member's prefix";
        EXPECT_EQ(row.reserved, 0u);
        // A gzip member with time 0, so the table is the same on every build.
        ASSERT_GE(row.gzipSize, 18u);
        EXPECT_EQ(row.data[0], 0x1f);
        EXPECT_EQ(row.data[1], 0x8b);
        EXPECT_EQ(row.data[4] | row.data[5] | row.data[6] | row.data[7], 0);

        FILE* h = OpenEmbeddedFile(row.name, "rb");
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(readAll(h, 1024), want);
        EXPECT_EQ(CloseEmbeddedFile(h), 0);
    }
}

TEST(EmbeddedFiles, ReadsClipToWhatIsLeft) {
    FILE* h = OpenEmbeddedFile("index.html", "rb");
    ASSERT_NE(h, nullptr);
    std::string want = readAsset("index.html");
    // Odd piece sizes and size x count splits must not lose or repeat bytes.
    std::string got;
    char buffer[7];
    size_t n;
    while ((n = ReadEmbeddedFile(buffer, 7, 1, h)) != 0) got.append(buffer, n);
    EXPECT_EQ(got, want);
    EXPECT_EQ(ReadEmbeddedFile(buffer, 1, sizeof(buffer), h), 0u) << "stays at the end";
    CloseEmbeddedFile(h);

    h = OpenEmbeddedFile("index.html", "rb");
    ASSERT_NE(h, nullptr);
    std::vector<char> big(want.size() + 100);
    EXPECT_EQ(ReadEmbeddedFile(big.data(), SIZE_MAX, 2, h), want.size()) << "product overflows";
    CloseEmbeddedFile(h);
}

TEST(EmbeddedFiles, UnknownNamesAreNotFound) {
    for (const char* name : {"", "/index.html", "INDEX.HTML", "index.htm", "js", "fonts/",
                             "index.html ", "../index.html"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(OpenEmbeddedFile(name, "rb"), nullptr);
    }
}

std::vector<unsigned char> gzipOf(const std::string& text) {
    z_stream zs{};
    EXPECT_EQ(deflateInit2(&zs, 9, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY), Z_OK);
    std::vector<unsigned char> out(text.size() + 64);
    zs.next_in = reinterpret_cast<unsigned char*>(const_cast<char*>(text.data()));
    zs.avail_in = static_cast<uInt>(text.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

TEST(GunzipBuffer, FailsCleanlyOnShortRoomDamageAndTruncation) {
    const std::string text(5000, 'x');
    auto member = gzipOf(text);

    std::vector<unsigned char> room(text.size());
    size_t length = room.size();
    ASSERT_EQ(GunzipBuffer(room.data(), &length, member.data(), member.size()), 0);
    EXPECT_EQ(length, text.size());
    EXPECT_EQ(std::string(room.begin(), room.end()), text);

    length = text.size() - 1;
    EXPECT_EQ(GunzipBuffer(room.data(), &length, member.data(), member.size()), Z_DATA_ERROR)
        << "room for one byte less";

    length = room.size();
    EXPECT_NE(GunzipBuffer(room.data(), &length, member.data(), member.size() / 2), 0)
        << "member cut in half";

    auto damaged = member;
    damaged[0] = 0x00;  // not gzip
    length = room.size();
    EXPECT_NE(GunzipBuffer(room.data(), &length, damaged.data(), damaged.size()), 0);

    auto badCrc = member;
    badCrc[badCrc.size() - 6] ^= 0xff;  // the trailer's checksum
    length = room.size();
    EXPECT_NE(GunzipBuffer(room.data(), &length, badCrc.data(), badCrc.size()), 0);
}

}  // namespace
