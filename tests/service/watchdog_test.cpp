#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "service_harness.h"

namespace svctest {
namespace {

size_t countOf(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// The one child of `parent` other than `not`, once it serves HTTP again.
pid_t waitForNewWorker(pid_t parent, pid_t old, int port) {
    for (int i = 0; i < 600; ++i) {
        for (pid_t p : childrenOf(parent)) {
            if (p != old && httpGet(port, "/").status == 200) return p;
        }
        timespec ts{0, 100000000};
        nanosleep(&ts, nullptr);
    }
    return -1;
}

// A service run detaches; this test adopts the daemon as its subreaper. The paths are
// relative on purpose: the service changes to "/" when it detaches.
TEST(ServiceRun, WatchdogRestartsAChildKilledByASignalAndEndsWithAStoppedOne) {
    becomeSubreaper();
    TempDir dir;
    int port = freePort();
    Process launcher(HXRAIDSVC_EMU,
                     {"-port", std::to_string(port), "-config", "cfg", "-log", "svc.log", "-debug"},
                     dir.path());
    int status = 0;
    ASSERT_TRUE(launcher.wait(60, status));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the launching process returns";
    ASSERT_TRUE(waitForHttp(port, 60)) << readFile(dir / "svc.log");

    auto watchdogs = childrenOf(getpid());
    ASSERT_EQ(watchdogs.size(), 1u);
    pid_t watchdog = watchdogs[0];
    auto workers = childrenOf(watchdog);
    ASSERT_EQ(workers.size(), 1u);
    pid_t first = workers[0];

    struct stat st {};
    ASSERT_EQ(stat((dir / "cfg").c_str(), &st), 0) << "relative -config resolved before detach";
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(access((dir / "cfg/eventlog.db").c_str(), F_OK), 0);

    ASSERT_EQ(kill(first, SIGKILL), 0);
    pid_t second = waitForNewWorker(watchdog, first, port);
    ASSERT_GT(second, 0) << "no restarted child served";
    EXPECT_EQ(httpPost(port, "/", R"({"jsonrpc":"2.0","id":1,"method":"GetServerInfo"})").status,
              200);

    // The restarted child still stops gracefully, and the watchdog ends with it.
    ASSERT_EQ(kill(second, SIGTERM), 0);
    ASSERT_TRUE(waitExit(watchdog, 60, status)) << "watchdog did not end";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    int workerStatus = 0;
    waitExit(second, 5, workerStatus);  // reparented to us if it outlived the watchdog

    std::string log = readFile(dir / "svc.log");
    EXPECT_EQ(countOf(log, "service started on port " + std::to_string(port)), 2u) << log;
    EXPECT_EQ(countOf(log, "service stopped."), 1u) << log;
}

TEST(ServiceRun, InitFailureExitsWithoutDetaching) {
    TempDir dir;
    Process p(HXRAIDSVC_EMU, {"-port", "123456", "-config", dir / "cfg", "-log", dir / "log"},
              dir.path());
    int status = 0;
    ASSERT_TRUE(p.wait(60, status));
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 255);
    EXPECT_NE(readFile(dir / "log").find("invalid port: 123456"), std::string::npos);
}

}  // namespace
}  // namespace svctest
