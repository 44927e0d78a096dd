#include <gtest/gtest.h>
#include <sys/wait.h>

#include "service_harness.h"

namespace svctest {
namespace {

// The real build scans /dev for the controller; this machine has none.
TEST(RealService, FailsInitWithoutAController) {
    struct Row {
        const char* name;
        std::vector<std::string> first;
        int exitStatus;
    };
    const Row rows[] = {{"console run", {"-debug"}, 0}, {"service run", {}, 255}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        TempDir dir;
        std::vector<std::string> args = r.first;
        for (const char* a : {"-port", "0", "-config"}) args.push_back(a);
        args.push_back(dir / "cfg");
        args.push_back("-log");
        args.push_back(dir / "log");
        Process p(HXRAIDSVC, args, dir.path());
        int status = 0;
        ASSERT_TRUE(p.wait(60, status));
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), r.exitStatus);
        EXPECT_NE(readFile(dir / "log").find("fail to connect driver"), std::string::npos)
            << readFile(dir / "log");
    }
}

}  // namespace
}  // namespace svctest
