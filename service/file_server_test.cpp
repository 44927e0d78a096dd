#include "file_server.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(MimeTypes, ServedTypesByExtensionIgnoringCase) {
    struct Row {
        const char* path;
        const char* type;  // null: not served
    };
    const Row rows[] = {
        {"/js/arkgui.js", "text/javascript"},
        {"/js/arkgui.js.map", "text/javascript"},
        {"/index.html", "text/html"},
        {"/INDEX.HTM", "text/html"},
        {"/a.jpg", "image/jpeg"},
        {"/a.PNG", "image/png"},
        {"/a.gif", "image/gif"},
        {"/css/arkgui.css", "text/css"},
        {"/a.xml", "application/octet-stream"},
        {"/a.xslt", "application/octet-stream"},
        {"/fonts/fontawesome-webfont.woff", "application/x-font-woff"},
        {"/fonts/fontawesome-webfont.svg", "image/svg+xml"},
        {"/x.log", "application/octet-stream"},
        {"/fonts/fontawesome-webfont.woff2", nullptr},
        {"/fonts/fontawesome-webfont.eot", nullptr},
        {"/fonts/fontawesome-webfont.ttf", nullptr},
        {"/fonts/FontAwesome.otf", nullptr},
        {"/index.html.bak", nullptr},
        {"/eventlog", nullptr},
        {"/README", nullptr},
        {"/a.jsx", nullptr},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.path);
        const char* got = mimeTypeFor(r.path);
        if (r.type == nullptr) {
            EXPECT_EQ(got, nullptr) << got;
        } else {
            ASSERT_NE(got, nullptr);
            EXPECT_STREQ(got, r.type);
        }
    }
}

TEST(RequestPath, EscapesFromTheFolderAreRefused) {
    struct Row {
        const char* path;
        bool safe;
    };
    const Row rows[] = {
        {"/index.html", true},
        {"/js/arkgui.js", true},
        {"/a..b.js", true},
        {"/..a/b.js", true},
        {"/./index.html", true},
        {"/../etc/passwd.log", false},
        {"/js/../../x.js", false},
        {"/js/..", false},
        {"/..", false},
        {"/js\\..\\x.js", false},
        {"/a\\b.js", false},
        {"//etc/passwd.log", false},
        {"index.html", false},
        {"", false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.path);
        EXPECT_EQ(requestPathIsSafe(r.path), r.safe);
    }
}

}  // namespace
