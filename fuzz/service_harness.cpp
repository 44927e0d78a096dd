#include "service_harness.h"

#include <sched.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "brs_server.h"
#include "brs_soap.h"
#include "emu_sg_startup.h"
#include "http_dispatch.h"

namespace fuzzsvc {
namespace {

bool g_started = false;
std::string g_sid;
std::string g_dir;  // the service's configuration, event log and log, removed at exit

void RemoveDir() {
    std::error_code ec;
    std::filesystem::remove_all(g_dir, ec);
}

// The bytes of the current connection.
const char* g_in = nullptr;
size_t g_left = 0;

size_t Receive(struct soap*, char* buf, size_t len) {
    const size_t n = len < g_left ? len : g_left;
    std::memcpy(buf, g_in, n);
    g_in += n;
    g_left -= n;
    return n;
}

int Send(struct soap*, const char*, size_t) {
    return SOAP_OK;
}

void Die(const char* what) {
    std::fprintf(stderr, "fuzz harness: %s\n", what);
    std::exit(1);
}

}  // namespace

void Start() {
    if (g_started) return;
    g_started = true;
    // Only a loopback that is down: a fuzzed mail server or address reaches nothing.
    if (unshare(CLONE_NEWNET) != 0 && unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
        Die("cannot enter a network namespace of its own (needs root or user namespaces)");
    // In memory where there is such a folder: the event log syncs every write.
    char shm[] = "/dev/shm/fuzz_service.XXXXXX", tmp[] = "/tmp/fuzz_service.XXXXXX";
    char* dir = mkdtemp(shm);
    if (dir == nullptr) dir = mkdtemp(tmp);
    if (dir == nullptr) Die("no temporary folder");
    g_dir = dir;
    std::atexit(RemoveDir);
    const std::string log = std::string(dir) + "/hxraidsvc.log";
    emuInstallSgFromEnvironment();
    std::vector<std::string> args = {"hxraidsvc", "-config", dir, "-log", log};
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (!g_server.Init(int(args.size()), argv.data())) Die("the service did not start");
}

std::string Session() {
    if (g_sid.empty() || !g_server.checkSession(g_sid)) g_sid = g_server.sessions.Create();
    return g_sid;
}

void Serve(const std::string& request) {
    brsSoap engine(*g_server.masterSoap, nullptr);
    engine.socket = SOAP_INVALID_SOCKET;
    engine.recvfd = -1;
    engine.sendfd = -1;
    engine.frecv = Receive;
    engine.fsend = Send;
    g_in = request.data();
    g_left = request.size();
    dispatchRequest(&engine, g_server.services);
    soap_destroy(&engine);
    soap_end(&engine);
    soap_free_cookies(&engine);
}

std::string Post(const std::string& path, const std::string& contentType, const std::string& body,
                 bool session) {
    std::string r = "POST " + path +
                    " HTTP/1.1\r\nHost: localhost\r\nContent-Type: " + contentType +
                    "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
    if (session) r += "Cookie: sid=" + Session() + "\r\n";
    return r + "\r\n" + body;
}

}  // namespace fuzzsvc
