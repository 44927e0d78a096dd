#include "smtp_harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <system_error>
#include <thread>

extern char** environ;

namespace {

constexpr const char* kPython = "/usr/bin/python3";
constexpr int kReadyWaitMs = 60'000;  // a safety bound for a wedged start, not a measurement

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::string SmtpHarness::Start() {
    std::string pattern = (std::filesystem::temp_directory_path() / "hx-smtp-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return "cannot make a temporary folder";
    dir_ = pattern;

    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) return "pipe failed";
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return "pipe failed";
    }
    const std::string errPath = (dir_ / "server.err").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::string script = SMTP_SERVER_SCRIPT, dir = dir_.string();
    std::string user = kUser, password = kPassword;
    char* argv[] = {const_cast<char*>(kPython),
                    script.data(),
                    dir.data(),
                    user.data(),
                    password.data(),
                    nullptr};
    const int spawned = posix_spawn(&pid_, kPython, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    stdinFd_ = in[1];
    if (spawned != 0) {
        pid_ = -1;
        close(out[0]);
        return std::string("cannot run ") + kPython + ": " + std::strerror(spawned);
    }

    std::string line;
    bool ready = false;
    while (!ready) {
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, kReadyWaitMs) <= 0) break;
        char c;
        if (read(out[0], &c, 1) != 1) break;
        if (c == '\n')
            ready = true;
        else
            line += c;
    }
    close(out[0]);
    const std::string prefix = "READY ";
    if (!ready || line.compare(0, prefix.size(), prefix) != 0)
        return "SMTP test server did not start: " + readFile(errPath);
    const auto ports = nlohmann::json::parse(line.substr(prefix.size()), nullptr, false);
    if (!ports.is_object()) return "SMTP test server sent a bad ready line: " + line;
    for (const auto& [name, port] : ports.items())
        if (port.is_number_integer()) ports_[name] = port.get<int>();
    return {};
}

SmtpHarness::~SmtpHarness() {
    if (stdinFd_ >= 0) close(stdinFd_);  // end of input ends the server
    if (pid_ > 0) {
        int status = 0;
        if (waitpid(pid_, &status, 0) != pid_) {
            kill(pid_, SIGTERM);
            waitpid(pid_, &status, 0);
        }
    }
    if (!dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
}

int SmtpHarness::Port(const std::string& listener) const {
    const auto it = ports_.find(listener);
    return it == ports_.end() ? -1 : it->second;
}

std::vector<SmtpHarness::Message> SmtpHarness::Spooled(const std::string& listener) const {
    std::vector<Message> messages;
    for (int n = 1;; ++n) {
        const auto base = dir_ / "spool" / (listener + "-" + std::to_string(n));
        if (!std::filesystem::exists(base.string() + ".eml")) break;
        Message m;
        const auto env = nlohmann::json::parse(readFile(base.string() + ".json"), nullptr, false);
        if (env.is_object()) {
            m.mailFrom = env.value("mail_from", "");
            for (const auto& r : env.value("rcpt_tos", nlohmann::json::array()))
                if (r.is_string()) m.rcptTos.push_back(r.get<std::string>());
            if (env.contains("auth_user") && env["auth_user"].is_string())
                m.authUser = env["auth_user"].get<std::string>();
            m.tls = env.value("tls", false);
        }
        m.data = readFile(base.string() + ".eml");
        messages.push_back(std::move(m));
    }
    return messages;
}

int SmtpHarness::Connections(const std::string& listener) const {
    std::ifstream log(dir_ / "connections.log");
    int count = 0;
    for (std::string line; std::getline(log, line);)
        if (line == listener) ++count;
    return count;
}

bool SmtpHarness::WaitForConnections(const std::string& listener, int count) const {
    for (int i = 0; i < 1000; ++i) {
        if (Connections(listener) >= count) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}
