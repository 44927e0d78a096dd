#include <gtest/gtest.h>
#include <sys/wait.h>

#include "service_fixture.h"

namespace svctest {
namespace {

TEST(ConsoleRun, FirstArgumentDebugInAnyCaseRunsInTheForegroundUntilSigint) {
    for (const char* first : {"-debug", "/debug", "-DEBUG", "/Debug"}) {
        SCOPED_TRACE(first);
        ConsoleService service({}, {}, first);
        ASSERT_TRUE(service.ready) << service.log();
        EXPECT_EQ(httpGet(service.port, "/").status, 200);
        EXPECT_TRUE(service.stop()) << "exit status 0 after SIGINT";
        std::string log = service.log();
        EXPECT_NE(log.find("service started on port " + std::to_string(service.port)),
                  std::string::npos)
            << log;
        EXPECT_NE(log.find("service stopped."), std::string::npos) << log;
        EXPECT_NE(log.find("brsraidsvc[@"), std::string::npos) << "syslog-shaped lines";
        EXPECT_NE(service.process->err().find("Trigger stop signal..."), std::string::npos);
    }
}

TEST(ConsoleRun, BadOptionsFailInitWithALogLine) {
    struct Row {
        std::vector<std::string> args;
        std::string line;
    };
    // A path that does not fit is refused rather than cut into the name of another folder.
    const std::string longPath = "/tmp/" + std::string(260, 'x');
    const Row rows[] = {{{"-port", "70000"}, "invalid port: 70000"},
                        {{"-port", "65536"}, "invalid port: 65536"},
                        {{"-port", "-1"}, "invalid port: -1"},
                        {{"-port", "99999999999999999999"}, "invalid port: 99999999999999999999"},
                        {{"-www", longPath}, "web folder path too long: " + longPath},
                        {{"-config", longPath}, "configuration path too long: " + longPath}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.line);
        TempDir dir;
        std::vector<std::string> args{"-debug", "-log", dir / "log"};
        if (r.args[0] != "-config") args.insert(args.end(), {"-config", dir / "cfg"});
        args.insert(args.end(), r.args.begin(), r.args.end());
        Process p(HXRAIDSVC_EMU, args, dir.path());
        int status = 0;
        ASSERT_TRUE(p.wait(60, status));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a console run exits 0";
        EXPECT_NE(readFile(dir / "log").find(r.line), std::string::npos) << readFile(dir / "log");
        EXPECT_NE(p.err().find("Init failed. dwServiceSpecificExitCode=0"), std::string::npos);
        EXPECT_FALSE(hasSanitizerReport(p.err())) << p.err();
    }
}

TEST(ConsoleRun, PortZeroTakesTheConfiguredServerPort) {
    TempDir dir;
    int port = freePort();
    ASSERT_EQ(mkdir((dir / "cfg").c_str(), 0700), 0);
    writeFile(dir / "cfg/config.json",
              R"({"password":"","settings":{"ServerPort":)" + std::to_string(port) + "}}");
    Process p(HXRAIDSVC_EMU, {"-debug", "-port", "0", "-config", dir / "cfg", "-log", dir / "log"},
              dir.path());
    ASSERT_TRUE(waitForHttp(port, 60)) << readFile(dir / "log");
    EXPECT_NE(readFile(dir / "log").find("soap port: " + std::to_string(port)), std::string::npos);
    p.signal(SIGINT);
    int status = 0;
    ASSERT_TRUE(p.wait(30, status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(hasSanitizerReport(p.err())) << p.err();
}

}  // namespace
}  // namespace svctest
