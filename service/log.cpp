#include "log.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

int g_logLevel = kLogInfo;

namespace {

constexpr int kEinval = 22;
constexpr int kEio = 5;
constexpr size_t kLineSize = 1024;

// Month names are ours, not the locale's: the header is a syslog record.
constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::mutex g_lock;
FILE* g_file = nullptr;  // guarded by g_lock
// The socket is used outside the lock so a slow send never holds up the file writers.
std::atomic<int> g_udpSocket{-1};
sockaddr_in g_udpTarget{};  // written only by logOpen, before any line is sent

void closeSinks() {
    {
        std::lock_guard<std::mutex> guard(g_lock);
        if (g_file && g_file != stdout) fclose(g_file);
        g_file = nullptr;
    }
    int s = g_udpSocket.exchange(-1);
    if (s >= 0) close(s);
}

int openUdp(const char* host, int port) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, host, &target.sin_addr) != 1) return kEinval;
    int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) return kEinval;
    int flags = fcntl(s, F_GETFL);
    if (flags < 0 || fcntl(s, F_SETFL, flags | O_NONBLOCK) < 0) {
        close(s);
        return kEio;
    }
    g_udpTarget = target;
    g_udpSocket.store(s);
    return 0;
}

}  // namespace

int logOpen(const char* path, const char* udpHost, int udpPort) {
    closeSinks();
    bool haveFile = false;
    if (path) {
        FILE* f = strcmp(path, "-") == 0 ? stdout : fopen(path, "ae");
        std::lock_guard<std::mutex> guard(g_lock);
        g_file = f;
        haveFile = f != nullptr;
    }
    if (udpHost) {
        int rc = openUdp(udpHost, udpPort);
        if (rc != 0) return rc;
        return 0;
    }
    return haveFile ? 0 : kEinval;
}

void logClose() {
    closeSinks();
}

void logPrint(int level, const char* format, ...) {
    if (level > g_logLevel) return;

    time_t now = time(nullptr);
    tm local{};
    if (!localtime_r(&now, &local)) return;

    char line[kLineSize];
    int header = snprintf(line, sizeof line,
                          "<%d>%s %02d %02d:%02d:%02d localhost brsraidsvc[@%04d]: ", level + 8,
                          kMonths[local.tm_mon % 12], local.tm_mday, local.tm_hour, local.tm_min,
                          local.tm_sec, local.tm_year + 1900);
    if (header < 0 || static_cast<size_t>(header) >= sizeof line) return;

    va_list args;
    va_start(args, format);
    int body = vsnprintf(line + header, sizeof line - header, format, args);
    va_end(args);
    if (body < 0) return;
    size_t length = strnlen(line, sizeof line);

    {
        std::lock_guard<std::mutex> guard(g_lock);
        if (g_file) {
            fwrite(line, 1, length, g_file);
            fputc('\n', g_file);
            fflush(g_file);
        }
    }
    int s = g_udpSocket.load();
    if (s >= 0) {
        sendto(s, line, length, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&g_udpTarget),
               sizeof g_udpTarget);
    }
}
