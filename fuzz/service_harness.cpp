#include "service_harness.h"

#include <errno.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "brs_server.h"
#include "brs_soap.h"
#include "connection_gate.h"
#include "emu_sg_startup.h"
#include "http_connection.h"
#include "http_dispatch.h"
#include "socket_queue.h"

namespace fuzzsvc {
namespace {

bool g_started = false;
std::string g_sid;
std::string g_dir;  // the service's configuration, event log and log, removed at exit

void RemoveDir() {
    std::error_code ec;
    std::filesystem::remove_all(g_dir, ec);
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

// The intake a running service has, over one socket pair per input: the head checks, the
// buffering and the refusals are the real ones.
ConnectionGate& Intake() {
    static ConnectionGate* gate = [] {
        ConnectionGate::Limits limits;
        limits.maxBody = brsSoap::kMaxRequestBytes;
        return new ConnectionGate(
            limits, renderRefusals(*g_server.masterSoap),
            [](std::string_view sid) { return g_server.checkSession(std::string(sid)); });
    }();
    return *gate;
}

void Serve(const std::string& request) {
    ConnectionGate& gate = Intake();
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) != 0)
        Die("no socket pair");
    const int client = pair[0];
    gate.Add(pair[1], std::chrono::steady_clock::now());
    // The client's side: send everything, then read whatever comes back until the intake
    // closes, while the intake and (once the request is whole) a worker's context run.
    size_t sent = 0;
    bool halfClosed = false;
    char sink[65536];
    for (;;) {
        if (sent < request.size()) {
            ssize_t n = send(client, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
            if (n > 0) sent += static_cast<size_t>(n);
            if (n < 0 && errno != EAGAIN) sent = request.size();
        } else if (!halfClosed) {
            shutdown(client, SHUT_WR);
            halfClosed = true;
        }
        gate.Poll(0);
        while (gate.HasReady()) {
            QueuedConnection queued = gate.NextReady();
            gate.TakeReady();
            brsSoap engine(*g_server.masterSoap, nullptr);
            engine.BeginRequest(queued);
            dispatchRequest(&engine, g_server.services);
            soap_destroy(&engine);
            soap_end(&engine);
            soap_free_cookies(&engine);
            gate.Finished(queued.connection);
        }
        ssize_t got = recv(client, sink, sizeof sink, 0);
        if (got == 0 || (got < 0 && errno != EAGAIN)) break;
    }
    close(client);
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
