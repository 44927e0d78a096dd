// The controller, array and disk methods through real HTTP: curl with a cookie jar against the
// emulator build of the service with its built-in machine, and one call through an independent
// JSON-RPC 2.0 client.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <string>
#include <tuple>
#include <vector>

#include "service_fixture.h"

namespace svctest {
namespace {

// Runs a program and gives what it wrote to standard output; the exit status goes to `status`.
std::string runCapture(const std::vector<std::string>& args, int& status) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return "";
    pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], 1);
        close(pipeFds[0]);
        close(pipeFds[1]);
        std::vector<char*> argv;
        argv.reserve(args.size() + 1);
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    std::string out;
    char buf[4096];
    for (ssize_t n; (n = read(pipeFds[0], buf, sizeof buf)) > 0;) out.append(buf, size_t(n));
    close(pipeFds[0]);
    waitpid(pid, &status, 0);
    return out;
}

// curl keeping the session cookies in a jar file, as a browser would.
class CurlSession {
public:
    CurlSession(int port, std::string jar)
        : m_url("http://127.0.0.1:" + std::to_string(port) + "/"), m_jar(std::move(jar)) {}

    std::string post(const std::string& body) {
        int status = 0;
        std::string out =
            runCapture({"/usr/bin/curl", "-sS", "--max-time", "60", "-b", m_jar, "-c", m_jar, "-H",
                        "Content-Type: application/json", "--data-binary", body, m_url},
                       status);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "curl failed on " << body;
        return out;
    }

    bool login() {
        return post(R"({"jsonrpc":"2.0","id":0,"method":"Login",)"
                    R"("params":{"username":"admin","password":""}})") ==
               R"({"jsonrpc":"2.0","id":0,"result":true})";
    }

private:
    std::string m_url;
    std::string m_jar;
};

struct Row {
    std::string body;
    std::string reply;
};

void expectReplies(CurlSession& curl, const std::vector<Row>& rows) {
    for (const auto& r : rows) {
        SCOPED_TRACE(r.body);
        EXPECT_EQ(curl.post(r.body), r.reply);
    }
}

TEST(DeviceRowsHttp, ReadingMethodsAnswerExactly) {
    ConsoleService service;
    ASSERT_TRUE(service.ready) << service.log();
    CurlSession curl(service.port, service.dir / "cookies.txt");

    EXPECT_EQ(curl.post(R"({"jsonrpc":"2.0","id":1,"method":"GetDomainCount"})"),
              R"({"jsonrpc":"2.0","id":1,"error":{"code":401,"message":"Unauthorized"}})")
        << "no session yet";
    ASSERT_TRUE(curl.login());

    expectReplies(
        curl,
        {
            {R"({"jsonrpc":"2.0","id":2,"method":"GetDomainCount"})",
             R"({"jsonrpc":"2.0","id":2,"result":2})"},
            {R"({"jsonrpc":"2.0","method":"GetDomainCount"})", R"({"jsonrpc":"2.0","result":2})"},
            {R"({"jsonrpc":"2.0","id":3,"method":"GetDriverInfo","params":{"domain":1}})",
             R"({"jsonrpc":"2.0","id":3,"result":{"driver_name":"arkhwraid","hwraid":1,)"
             R"("bs_shift_min":1,"bs_shift_max":9,"raid_levels":[1,2,3,4,7],)"
             R"("max_mpa":[64,2,32,32,64],"cache_policies":[15,15,15,15,15]}})"},
            // params that are not an object read every key as missing: domain 0.
            {R"({"jsonrpc":"2.0","id":4,"method":"GetDriverInfo","params":[1]})",
             R"({"jsonrpc":"2.0","id":4,"result":{"driver_name":"arkraid","hwraid":0,)"
             R"("bs_shift_min":1,"bs_shift_max":9,"raid_levels":[1,2,3,4,7],)"
             R"("max_mpa":[64,2,32,32,64],"cache_policies":[15,15,15,15,15]}})"},
            {R"({"jsonrpc":"2.0","id":5,"method":"GetDriverInfo","params":{"domain":2}})",
             R"({"jsonrpc":"2.0","id":5,"error":{"code":-32603,"message":"internal server error"}})"},
            {R"({"jsonrpc":"2.0","id":6,"method":"GetControllerCount","params":{"domain":0}})",
             R"({"jsonrpc":"2.0","id":6,"result":1})"},
            {R"({"jsonrpc":"2.0","id":7,"method":"GetControllerInfo","params":{"domain":0,"id":0}})",
             R"({"jsonrpc":"2.0","id":7,"result":{"num_ports":8,)"
             R"("product_str":"Arkmoor AX 2410","vendor_str":"Arkmoor","fw_rev":"2.4.1029",)"
             R"("sn_str":"AM2410A0001734","ioc_str":"ARK2410","vhostno":0,"pcie_speed":3,)"
             R"("pcie_width":8,"pci_tree":0,"pci_bus":3,"pci_device":0,"pci_function":0,)"
             R"("ramsize":0}})"},
            {R"({"jsonrpc":"2.0","id":8,"method":"GetControllerInfo","params":{"domain":0,"id":1}})",
             R"({"jsonrpc":"2.0","id":8,"error":{"code":-32603,"message":"internal server error"}})"},
            {R"({"jsonrpc":"2.0","id":9,"method":"GetBBUInfo","params":{"domain":1,"id":0}})",
             R"({"jsonrpc":"2.0","id":9,"result":{"bbu_installed":1,"bbu_type":1,"bbu_status":1,)"
             R"("voltage_mv":4105,"temperature":2950}})"},
            {R"({"jsonrpc":"2.0","id":10,"method":"GetPCacheSize","params":{"domain":1}})",
             R"({"jsonrpc":"2.0","id":10,"result":2048})"},
            {R"({"jsonrpc":"2.0","id":11,"method":"GetLDList","params":{"domain":0}})",
             R"({"jsonrpc":"2.0","id":11,"result":[266,267]})"},
            {R"({"jsonrpc":"2.0","id":12,"method":"GetPDList","params":{"domain":1}})",
             R"({"jsonrpc":"2.0","id":12,"result":[512,513,514]})"},
            {R"({"jsonrpc":"2.0","id":13,"method":"GetVDInfo","params":{"domain":1,"id":515}})",
             R"({"jsonrpc":"2.0","id":13,"result":{"id":515,"type":1,"cache_policy":2,)"
             R"("vcore_id":0,"target_id":0,"capacity":15628053168,"parent":0,)"
             R"("array":{"aname":"Archive","raidlevel":2,"bs_shift":7,"ndisks":2,)"
             R"("sub_raidlevel":0,"flags":0,"rebuilt_percent":0,"rebuilt_sectors":0,)"
             R"("transform_src":0,"transform_tgt":0,"transform_percent":0,)"
             R"("signature":328077261,"ss_shift":0,"outdated_mmask":0,"members":[512,513]}}})"},
            {R"({"jsonrpc":"2.0","id":14,"method":"GetVDInfo","params":{"domain":0,"id":264}})",
             R"({"jsonrpc":"2.0","id":14,"result":{"id":264,"type":2,"cache_policy":0,)"
             R"("vcore_id":0,"target_id":255,"capacity":3907029168,"parent":0,)"
             R"("disk":{"controller":0,"port":5,"target":0,"linkrate_actual":3,)"
             R"("linkrate_avail":3,"linkrate_max":3,"linkrate_set":3,"pd_type":1,)"
             R"("spinup_mode":0,"ss_shift":0,"flags":11587584,"total_free":3907029168,)"
             R"("max_free":3907029168,"model":"HD7200 2T0DM08","serial":"ZFL0ABCD",)"
             R"("fwrev":"0001","parents":[]}}})"},
            {R"({"jsonrpc":"2.0","id":15,"method":"GetVDInfo","params":{"domain":0,"id":999}})",
             R"({"jsonrpc":"2.0","id":15,"error":{"code":-32603,"message":"internal server error"}})"},
            {R"({"jsonrpc":"2.0","id":16,"method":"GetEvent","params":{"domain":0}})",
             R"({"jsonrpc":"2.0","id":16,"error":{"code":-32603,"message":"not implemented"}})"},
            {R"({"jsonrpc":"2.0","id":17,"method":"CheckDelete","params":{"domain":0,"id":0}})",
             R"({"jsonrpc":"2.0","id":17,"error":{"code":-32602,"message":"internal server error"}})"},
            {R"({"jsonrpc":"2.0","id":18,"method":"CheckDelete","params":{"domain":0,"id":266}})",
             R"({"jsonrpc":"2.0","id":18,"result":0})"},
            {R"({"jsonrpc":"2.0","id":19,"method":"CheckUnload","params":{"domain":0,"id":256}})",
             R"({"jsonrpc":"2.0","id":19,"result":1})"},
            {R"({"jsonrpc":"2.0","id":20,"method":"GetRAIDCapacity",)"
             R"("params":{"domain":0,"raidlevel":2,"members":[263,264]}})",
             R"({"jsonrpc":"2.0","id":20,"result":937703088})"},
            // SMART RETURN STATUS of the disk past its threshold.
            {R"({"jsonrpc":"2.0","id":21,"method":"AtaPassthrough","params":{"domain":0,)"
             R"("disk":264,"command":176,"features":218,"lba_mid":79,"lba_high":194}})",
             R"({"jsonrpc":"2.0","id":21,"result":{"features":218,"sector_count":0,"lba_low":0,)"
             R"("lba_mid":244,"lba_high":44,"device":0,"status":80}})"},
            {R"({"jsonrpc":"2.0","id":22,"method":"AtaPassthrough","params":{"domain":0,)"
             R"("disk":264,"command":236,"sectors":65536,"protocol":1}})",
             R"({"jsonrpc":"2.0","id":22,"error":{"code":-32602,"message":"internal server error"}})"},
        });
    EXPECT_TRUE(service.stop());
}

TEST(DeviceRowsHttp, ChangesAnswerAndAreRecordedWithDeviceNames) {
    ConsoleService service;
    ASSERT_TRUE(service.ready) << service.log();
    CurlSession curl(service.port, service.dir / "cookies.txt");
    ASSERT_TRUE(curl.login());

    const std::string tooMany = [] {
        std::string list = "[";
        for (int i = 0; i < 65; ++i) list += (i ? "," : "") + std::to_string(256 + i);
        return list + "]";
    }();
    expectReplies(
        curl,
        {
            {R"({"jsonrpc":"2.0","id":1,"method":"SetArrayName","params":{"domain":0,"id":266}})",
             R"({"jsonrpc":"2.0","id":1,"error":{"code":-32602,"message":"internal server error"}})"},
            {R"({"jsonrpc":"2.0","id":2,"method":"SetArrayName",)"
             R"("params":{"domain":0,"id":266,"name":"Vault"}})",
             R"({"jsonrpc":"2.0","id":2,"result":true})"},
            {R"({"jsonrpc":"2.0","id":3,"method":"SetCachePolicy",)"
             R"("params":{"domain":0,"id":266,"value":256}})",
             R"({"jsonrpc":"2.0","id":3,"error":{"code":-32602,"message":"internal server error"}})"},
            {R"({"jsonrpc":"2.0","id":4,"method":"SetDiskRA","params":{"domain":0,"id":264,"value":1}})",
             R"({"jsonrpc":"2.0","id":4,"result":true})"},
            {R"({"jsonrpc":"2.0","id":5,"method":"CreateArray","params":{"domain":0,"raidlevel":2,)"
             R"("aname":"Mirror2","members":[263,264]}})",
             R"({"jsonrpc":"2.0","id":5,"result":268})"},
            {R"({"jsonrpc":"2.0","id":6,"method":"CreateArray","params":{"domain":0,"raidlevel":1,)"
             R"("members":)" +
                 tooMany + "}}",
             R"({"jsonrpc":"2.0","id":6,"error":{"code":-32602,"message":"internal server error"}})"},
            {R"({"jsonrpc":"2.0","id":7,"method":"GetLDList","params":{"domain":0}})",
             R"({"jsonrpc":"2.0","id":7,"result":[266,267,268]})"},
            {R"({"jsonrpc":"2.0","id":8,"method":"AssignSpareDisk","params":{"domain":0,"disk":259}})",
             R"({"jsonrpc":"2.0","id":8,"result":true})"},
            {R"({"jsonrpc":"2.0","id":9,"method":"AssignSpareDisk","params":{"domain":0,"disk":256}})",
             R"({"jsonrpc":"2.0","id":9,"error":{"code":-32603,"message":"internal server error"}})"},
            {R"({"jsonrpc":"2.0","id":10,"method":"DeleteArray","params":{"domain":0,"id":260}})",
             R"({"jsonrpc":"2.0","id":10,"error":{"code":-32602,"message":"internal server error"}})"},
            {R"({"jsonrpc":"2.0","id":11,"method":"DeleteArray","params":{"domain":0,"id":267}})",
             R"({"jsonrpc":"2.0","id":11,"result":true})"},
            {R"({"jsonrpc":"2.0","id":12,"method":"InitDisk","params":{"domain":0,"id":265}})",
             R"({"jsonrpc":"2.0","id":12,"result":true})"},
            {R"({"jsonrpc":"2.0","id":13,"method":"GetLDList","params":{"domain":0}})",
             R"({"jsonrpc":"2.0","id":13,"result":[266,268]})"},
        });

    // The user actions of the log, oldest first (controller events and the login aside).
    nlohmann::json log =
        nlohmann::json::parse(curl.post(R"({"jsonrpc":"2.0","id":20,"method":"GetEventLog",)"
                                        R"("params":{"start":0,"length":100}})"),
                              nullptr, false);
    ASSERT_TRUE(log.contains("result")) << log.dump();
    std::vector<std::tuple<int, std::string, std::string>> actions;
    for (const auto& e : log["result"]) {
        const int code = e["code"].get<int>();
        if (code > 101) actions.insert(actions.begin(), {code, e["devname"], e["data"]});
    }
    const std::vector<std::tuple<int, std::string, std::string>> expected = {
        {104, "Mirror2",
         "[1/E1/3] SSD 480GB KB8_SSDN81230123480BG, [1/6] HD7200 2T0DM08_ZFL0ABCD"},
        {107, "[1/4] HD5400 2T0EZN0_HDS-2E5K00191", ""},
        {105, "FastBoot", ""},
        {103, "[1/7/1] HD7200 1T0ACA1_X3UJ1ABCDE", ""},
    };
    EXPECT_EQ(actions, expected);
    EXPECT_TRUE(service.stop());
}

TEST(DeviceRowsHttp, AnIndependentJsonRpcClientReadsAnArray) {
    ConsoleService service;
    ASSERT_TRUE(service.ready) << service.log();
    const std::string cookie = loginCookie(service.port);
    ASSERT_FALSE(cookie.empty());

    int status = 0;
    std::string out = runCapture({"/usr/bin/python3", JSONRPC_CLIENT_SCRIPT,
                                  "http://127.0.0.1:" + std::to_string(service.port) + "/", cookie},
                                 status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;
    EXPECT_EQ(out,
              R"({"id":515,"type":1,"cache_policy":2,"vcore_id":0,"target_id":0,)"
              R"("capacity":15628053168,"parent":0,"array":{"aname":"Archive","raidlevel":2,)"
              R"("bs_shift":7,"ndisks":2,"sub_raidlevel":0,"flags":0,"rebuilt_percent":0,)"
              R"("rebuilt_sectors":0,"transform_src":0,"transform_tgt":0,"transform_percent":0,)"
              R"("signature":328077261,"ss_shift":0,"outdated_mmask":0,"members":[512,513]}})"
              "\n"
              "error -32602 internal server error\n");
    EXPECT_TRUE(service.stop());
}

}  // namespace
}  // namespace svctest
