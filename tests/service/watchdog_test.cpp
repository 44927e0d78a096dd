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

// Kills what a failed test leaves of a detached service: the watchdog and its children.
struct DaemonReaper {
    pid_t watchdog = -1;
    ~DaemonReaper() {
        if (watchdog <= 0) return;
        auto workers = childrenOf(watchdog);
        kill(watchdog, SIGKILL);
        for (pid_t p : workers) kill(p, SIGKILL);
        int status = 0;
        waitExit(watchdog, 5, status);
        for (pid_t p : workers) waitExit(p, 5, status);
    }
};

const char kChangePassword[] =
    R"({"jsonrpc":"2.0","id":1,"method":"SetPassword","params":{"old":"","new":"pw"}})";

// A service run detaches; this test adopts the daemon as its subreaper. The paths are
// relative on purpose: the service changes to "/" when it detaches, and uses its folders long
// after that.
TEST(ServiceRun, WatchdogRestartsAChildKilledByASignalAndEndsWithAStoppedOne) {
    becomeSubreaper();
    TempDir dir;
    ASSERT_EQ(mkdir((dir / "www").c_str(), 0700), 0);
    writeFile(dir / "www/index.html", "from the web folder\n");
    int port = freePort();
    Process launcher(HXRAIDSVC_EMU,
                     {"-port", std::to_string(port), "-config", "cfg", "-log", "svc.log", "-www",
                      "www", "-debug"},
                     dir.path());
    int status = 0;
    ASSERT_TRUE(launcher.wait(60, status));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the launching process returns";
    ASSERT_TRUE(waitForHttp(port, 60)) << readFile(dir / "svc.log");

    auto watchdogs = childrenOf(getpid());
    ASSERT_EQ(watchdogs.size(), 1u);
    pid_t watchdog = watchdogs[0];
    DaemonReaper reaper{watchdog};
    auto workers = childrenOf(watchdog);
    ASSERT_EQ(workers.size(), 1u);
    pid_t first = workers[0];

    struct stat st {};
    ASSERT_EQ(stat((dir / "cfg").c_str(), &st), 0) << "relative -config resolved before detach";
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(access((dir / "cfg/eventlog.db").c_str(), F_OK), 0);
    EXPECT_EQ(httpGet(port, "/").body, "from the web folder\n") << "relative -www";

    // Written by the detached child: the configuration and the event-log copy land in cfg/.
    std::string cookie = loginCookie(port);
    ASSERT_FALSE(cookie.empty());
    EXPECT_EQ(httpPost(port, "/", kChangePassword, cookie).body,
              R"({"jsonrpc":"2.0","id":1,"result":true})");
    EXPECT_NE(readFile(dir / "cfg/config.json").find("\"pw\""), std::string::npos);
    EXPECT_EQ(httpGet(port, "/eventlog", cookie).status, 200);
    EXPECT_EQ(access((dir / "cfg/eventlog.bak").c_str(), F_OK), 0);

    ASSERT_EQ(kill(first, SIGKILL), 0);
    pid_t second = waitForNewWorker(watchdog, first, port);
    ASSERT_GT(second, 0) << "no restarted child served";
    EXPECT_EQ(httpPost(port, "/", R"({"jsonrpc":"2.0","id":1,"method":"GetServerInfo"})").status,
              200);
    // The restarted child knows what the killed one stored, not what the watchdog read at start.
    EXPECT_FALSE(loginCookie(port, "pw").empty()) << "the password set before the restart";
    EXPECT_TRUE(loginCookie(port, "").empty()) << "the old password is gone";

    // The restarted child still stops gracefully, and the watchdog ends with it.
    ASSERT_EQ(kill(second, SIGTERM), 0);
    ASSERT_TRUE(waitExit(watchdog, 60, status)) << "watchdog did not end";
    reaper.watchdog = -1;  // reaped: its pid is no longer ours to signal
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
