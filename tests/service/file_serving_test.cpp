#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>

#include "service_fixture.h"

namespace svctest {
namespace {

const std::string kAssets = ARK_ASSETS_DIR;

TEST(FileServing, EverySourceServesTheSameConsole) {
    struct Row {
        const char* name;
        std::vector<std::string> args;
        std::map<std::string, std::string> env;
        bool plugin;
    };
    const Row rows[] = {
        {"-www folder", {"-www", kAssets}, {}, false},
        {"plug-in", {}, {{"LD_LIBRARY_PATH", PLUGIN_DIR}, {"ARKGUI_TEST_ROOT", kAssets}}, true},
        {"embedded table", {}, {}, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        ConsoleService service(r.args, r.env);
        ASSERT_TRUE(service.ready) << service.log();
        HttpReply root = httpGet(service.port, "/");
        EXPECT_EQ(root.status, 200);
        EXPECT_EQ(root.headers["content-type"], "text/html");
        EXPECT_EQ(root.body, readFile(kAssets + "/index.html"));
        for (const char* name : {"js/arkgui.js", "css/arkgui.css", "images/morvi.svg",
                                 "fonts/fontawesome-webfont.woff"}) {
            SCOPED_TRACE(name);
            HttpReply file = httpGet(service.port, std::string("/") + name);
            EXPECT_EQ(file.status, 200);
            EXPECT_EQ(file.body, readFile(kAssets + "/" + name));
        }
        EXPECT_EQ(httpGet(service.port, "/plugin-marker.html").status, r.plugin ? 200 : 404)
            << "the plug-in answers only when it was chosen";
        EXPECT_TRUE(service.stop());
    }
}

TEST(FileServing, TypesByExtensionAndNotFound) {
    ConsoleService service;
    ASSERT_TRUE(service.ready) << service.log();
    struct Row {
        const char* path;
        int status;
        const char* type;
        const char* file;  // expected body from assets/, or null
    };
    const Row rows[] = {
        {"/", 200, "text/html", "index.html"},
        {"/?lang=en&x=1", 200, "text/html", "index.html"},
        {"/index.html", 200, "text/html", "index.html"},
        {"/index.html%20trailing", 200, "text/html", "index.html"},  // cut at the blank
        {"/js/arkgui.js", 200, "text/javascript", "js/arkgui.js"},
        {"/css/arkgui.css", 200, "text/css", "css/arkgui.css"},
        {"/css/arkgui%2ecss", 200, "text/css", "css/arkgui.css"},
        {"/fonts/fontawesome-webfont.woff", 200, "application/x-font-woff",
         "fonts/fontawesome-webfont.woff"},
        {"/fonts/fontawesome-webfont.svg", 200, "image/svg+xml", "fonts/fontawesome-webfont.svg"},
        {"/images/plivoran.svg", 200, "image/svg+xml", "images/plivoran.svg"},
        {"/fonts/fontawesome-webfont.woff2", 404, nullptr, nullptr},
        {"/fonts/fontawesome-webfont.eot", 404, nullptr, nullptr},
        {"/fonts/fontawesome-webfont.ttf", 404, nullptr, nullptr},
        {"/fonts/FontAwesome.otf", 404, nullptr, nullptr},
        {"/missing.html", 404, nullptr, nullptr},
        {"/INDEX.HTML", 404, nullptr, nullptr},
        {"/js/../index.html", 404, nullptr, nullptr},
        {"/eventlog", 404, nullptr, nullptr},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.path);
        HttpReply reply = httpGet(service.port, r.path);
        EXPECT_EQ(reply.status, r.status);
        if (r.type != nullptr) {
            EXPECT_EQ(reply.headers["content-type"], r.type);
        }
        if (r.file != nullptr) {
            EXPECT_EQ(reply.body, readFile(kAssets + "/" + r.file));
        }
        if (r.status == 404) {
            EXPECT_EQ(reply.body, "");
        }
    }
    EXPECT_TRUE(service.stop());
}

TEST(FileServing, TheWebFolderCannotBeEscaped) {
    TempDir files;
    ASSERT_EQ(mkdir((files / "www").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((files / "www/sub").c_str(), 0700), 0);
    writeFile(files / "www/index.html", "inside\n");
    writeFile(files / "secret.html", "outside\n");
    // A name the folder holds, but whose joined path would not fit the 256-byte name.
    std::string longName(240, 'a');
    longName += ".html";
    writeFile(files / ("www/" + longName), "too long\n");

    ConsoleService service({"-www", files / "www"});
    ASSERT_TRUE(service.ready) << service.log();
    ASSERT_EQ(httpGet(service.port, "/").body, "inside\n");

    const std::string attempts[] = {
        "/../secret.html",
        "/%2e%2e/secret.html",
        "/%2E%2E/secret.html",
        "/sub/../../secret.html",
        "/sub/..%2f..%2fsecret.html",
        "/..%5csecret.html",
        "/sub%5c..%5c..%5csecret.html",
        "/..\\secret.html",
        "//" + files.path() + "/secret.html",
        "/" + longName,
        "/" + std::string(300, 'b') + ".html",
    };
    for (const auto& path : attempts) {
        SCOPED_TRACE(path);
        HttpReply reply = httpGet(service.port, path);
        EXPECT_EQ(reply.status, 404);
        EXPECT_EQ(reply.body.find("outside"), std::string::npos);
    }
    EXPECT_TRUE(service.stop());
}

// SQLite header: page size (bytes 16-17, 1 meaning 65536) times page count (bytes 28-31) is
// the file's length in a consistent copy.
bool isWholeDatabase(const std::string& body) {
    if (body.size() < 100 || body.compare(0, 16, std::string("SQLite format 3\0", 16)) != 0) {
        return false;
    }
    auto byte = [&](size_t i) { return static_cast<unsigned char>(body[i]); };
    size_t pageSize = (byte(16) << 8) | byte(17);
    if (pageSize == 1) pageSize = 65536;
    size_t pages = (size_t{byte(28)} << 24) | (byte(29) << 16) | (byte(30) << 8) | byte(31);
    return pageSize * pages == body.size();
}

TEST(FileServing, EventLogDownloadNeedsALiveSession) {
    ConsoleService service;
    ASSERT_TRUE(service.ready) << service.log();
    EXPECT_EQ(httpGet(service.port, "/eventlog").status, 404);
    EXPECT_EQ(httpGet(service.port, "/eventlog", "sid=00000000000000000000000000000000").status,
              404);
    std::string cookie = loginCookie(service.port);
    ASSERT_FALSE(cookie.empty());

    HttpReply one = httpGet(service.port, "/eventlog", cookie);
    EXPECT_EQ(one.status, 200);
    EXPECT_EQ(one.headers["content-type"], "application/octet-stream");
    EXPECT_TRUE(isWholeDatabase(one.body));

    // Downloads at once, while logins add events, each get a whole copy.
    std::vector<std::thread> threads;
    std::vector<HttpReply> replies(8);
    threads.reserve(replies.size());
    for (size_t i = 0; i < replies.size(); ++i) {
        threads.emplace_back([&, i] {
            if (i % 2 == 0) loginCookie(service.port);
            replies[i] = httpGet(service.port, "/eventlog", cookie);
        });
    }
    for (auto& t : threads) t.join();
    for (size_t i = 0; i < replies.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(replies[i].status, 200);
        EXPECT_TRUE(isWholeDatabase(replies[i].body)) << replies[i].body.size();
    }
    EXPECT_TRUE(service.stop());
}

}  // namespace
}  // namespace svctest
