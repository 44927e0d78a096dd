#include "service_harness.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace svctest {

namespace {

void sleepMs(int ms) {
    timespec ts{ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&ts, nullptr);
}

double nowSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

}  // namespace

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "svctest.XXXXXX").string();
    std::vector<char> buffer(tmpl.begin(), tmpl.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) std::abort();
    m_path = buffer.data();
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

int freePort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        close(fd);
        return 0;  // no port; the caller's start fails on it
    }
    socklen_t len = sizeof(addr);
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
}

int connectLoopback(int port, int receiveBuffer) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    if (receiveBuffer > 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

void becomeSubreaper() {
    prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
}

std::vector<pid_t> childrenOf(pid_t parent) {
    std::vector<pid_t> out;
    DIR* d = opendir("/proc");
    if (d == nullptr) return out;
    while (dirent* e = readdir(d)) {
        if (!std::isdigit(static_cast<unsigned char>(e->d_name[0]))) continue;
        std::string stat = readFile(std::string("/proc/") + e->d_name + "/stat");
        // pid (comm) state ppid ...; comm may hold blanks, so read after the last ')'.
        size_t close = stat.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(stat.substr(close + 1));
        std::string state;
        long ppid = 0;
        rest >> state >> ppid;
        if (ppid == parent && state != "Z") out.push_back(static_cast<pid_t>(std::atol(e->d_name)));
    }
    closedir(d);
    return out;
}

int descriptorCount(pid_t pid) {
    int n = 0;
    DIR* d = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
    if (d == nullptr) return -1;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] != '.') ++n;
    }
    closedir(d);
    return n;
}

bool waitExit(pid_t pid, int seconds, int& status) {
    double end = nowSeconds() + seconds;
    for (;;) {
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return true;
        if (r < 0 || nowSeconds() > end) return false;
        sleepMs(20);
    }
}

Process::Process(const std::string& program, const std::vector<std::string>& args,
                 const std::string& dir, const std::map<std::string, std::string>& env)
    : m_dir(dir) {
    std::vector<std::string> argvText{program};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::string outPath = dir + "/stdout", errPath = dir + "/stderr";
    m_pid = fork();
    if (m_pid == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        dup2(out, 1);
        dup2(err, 2);
        if (chdir(dir.c_str()) != 0) _exit(126);
        const char* lsan = getenv("LSAN_OPTIONS");
        std::string lsanOptions =
            std::string(lsan != nullptr ? lsan : "") + ":suppressions=" SVC_LSAN_SUPPRESSIONS;
        setenv("LSAN_OPTIONS", lsanOptions.c_str(), 1);
        for (const auto& [k, v] : env) setenv(k.c_str(), v.c_str(), 1);
        std::vector<char*> argv;
        argv.reserve(argvText.size() + 1);
        for (auto& a : argvText) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
}

Process::~Process() {
    if (m_pid > 0 && !m_reaped) {
        kill(m_pid, SIGKILL);
        int status;
        waitpid(m_pid, &status, 0);
    }
}

void Process::signal(int signo) const {
    kill(m_pid, signo);
}

bool Process::wait(int seconds, int& status) {
    if (m_reaped) return false;
    m_reaped = waitExit(m_pid, seconds, status);
    return m_reaped;
}

HttpReply httpRaw(int port, const std::string& request) {
    HttpReply reply;
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return reply;
    timeval tv{30, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof(tv));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        close(fd);
        return reply;
    }
    size_t sent = 0;
    while (sent < request.size()) {
        ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
    }
    std::string raw;
    char buffer[4096];
    for (;;) {
        ssize_t n = recv(fd, buffer, sizeof(buffer), 0);
        if (n <= 0) break;
        raw.append(buffer, static_cast<size_t>(n));
    }
    close(fd);

    size_t headEnd = raw.find("\r\n\r\n");
    if (headEnd == std::string::npos) return reply;
    std::istringstream head(raw.substr(0, headEnd));
    std::string line;
    std::getline(head, line);
    if (line.rfind("HTTP/1.", 0) != 0 || line.size() < 12) return reply;
    reply.status = std::atoi(line.c_str() + 9);
    while (std::getline(head, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = lower(line.substr(0, colon));
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        auto& slot = reply.headers[name];
        slot = slot.empty() ? value : slot + "\n" + value;
    }
    reply.body = raw.substr(headEnd + 4);
    auto length = reply.headers.find("content-length");
    if (length != reply.headers.end()) {
        size_t n = std::strtoul(length->second.c_str(), nullptr, 10);
        if (reply.body.size() > n) reply.body.resize(n);
    }
    return reply;
}

HttpReply httpGet(int port, const std::string& path, const std::string& cookie) {
    std::string request = "GET " + path + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n";
    if (!cookie.empty()) request += "Cookie: " + cookie + "\r\n";
    return httpRaw(port, request + "\r\n");
}

HttpReply httpPost(int port, const std::string& path, const std::string& body,
                   const std::string& cookie, const std::string& contentType) {
    std::string request = "POST " + path + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n";
    request += "Content-Type: " + contentType + "\r\n";
    request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    if (!cookie.empty()) request += "Cookie: " + cookie + "\r\n";
    return httpRaw(port, request + "\r\n" + body);
}

std::string setCookie(const HttpReply& reply, const std::string& name) {
    auto it = reply.headers.find("set-cookie");
    if (it == reply.headers.end()) return "";
    std::istringstream lines(it->second);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(name + "=", 0) != 0) continue;
        std::string value = line.substr(name.size() + 1);
        return value.substr(0, value.find(';'));
    }
    return "";
}

bool waitForHttp(int port, int seconds) {
    double end = nowSeconds() + seconds;
    while (nowSeconds() < end) {
        if (httpGet(port, "/index.html").status != 0) return true;
        sleepMs(50);
    }
    return false;
}

std::string loginCookie(int port, const std::string& password) {
    HttpReply r = httpPost(
        port, "/",
        R"({"jsonrpc":"2.0","id":1,"method":"Login","params":{"username":"admin","password":")" +
            password + R"("}})");
    std::string sid = setCookie(r, "sid");
    if (sid.empty()) return "";
    return "sid=" + sid + "; uid=admin";
}

}  // namespace svctest
