#include <gtest/gtest.h>
#include <time.h>

#include <atomic>
#include <thread>

#include "service_fixture.h"

namespace svctest {
namespace {

TEST(Concurrency, SixtyFourClientsAreAllAnsweredAndNoDescriptorLeaks) {
    ConsoleService service;
    ASSERT_TRUE(service.ready) << service.log();
    const int port = service.port;
    const std::string index = readFile(std::string(ARK_ASSETS_DIR) + "/index.html");
    const std::string css = readFile(std::string(ARK_ASSETS_DIR) + "/css/arkgui.css");
    const std::string info =
        R"({"jsonrpc":"2.0","id":9,"result":{"version":"2.0.264","title":"RAID Management Console","logo":"morvi.svg","os":"Linux"}})";

    // One round first, so lazily opened descriptors are in the baseline.
    ASSERT_EQ(httpGet(port, "/").status, 200);
    ASSERT_FALSE(loginCookie(port).empty());
    // Another thread may hold a file briefly (the event store's journal); the baseline is a
    // count that stays put.
    int before = descriptorCount(service.process->pid());
    for (int i = 0; i < 100; ++i) {
        timespec ts{0, 50000000};
        nanosleep(&ts, nullptr);
        int again = descriptorCount(service.process->pid());
        if (again == before) break;
        before = again;
    }
    ASSERT_GT(before, 0);

    for (int round = 0; round < 3; ++round) {
        std::atomic<int> good{0};
        std::vector<std::thread> clients;
        clients.reserve(64);
        for (int i = 0; i < 64; ++i) {
            clients.emplace_back([&, i] {
                bool ok = false;
                switch (i % 4) {
                    case 0:
                        ok = httpGet(port, "/").body == index;
                        break;
                    case 1:
                        ok = httpGet(port, "/css/arkgui.css").body == css;
                        break;
                    case 2:
                        ok = httpPost(port, "/",
                                      R"({"jsonrpc":"2.0","id":9,"method":"GetServerInfo"})")
                                 .body == info;
                        break;
                    default:
                        ok = httpGet(port, "/nothing.woff2").status == 404;
                        break;
                }
                if (ok) ++good;
            });
        }
        for (auto& c : clients) c.join();
        EXPECT_EQ(good.load(), 64) << "round " << round;
    }

    // Every reply was read to the server's close, so its sockets are gone; allow the workers a
    // moment to return from their last close before concluding.
    int after = -1;
    for (int i = 0; i < 100; ++i) {
        after = descriptorCount(service.process->pid());
        if (after <= before) break;
        timespec ts{0, 50000000};
        nanosleep(&ts, nullptr);
    }
    EXPECT_LE(after, before) << "descriptors left open";
    EXPECT_TRUE(service.stop());
}

}  // namespace
}  // namespace svctest
