#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

// Helpers for tests that run the service as a real process and talk HTTP to it on loopback.
namespace svctest {

// A folder of the test's own, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// A loopback port that was free a moment ago.
int freePort();
// A TCP connection to the loopback port, with a receive buffer of that many bytes when given;
// -1 when it cannot be made.
int connectLoopback(int port, int receiveBuffer = 0);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);

// Makes this process the reaper of its orphaned descendants, so a daemon that detaches from the
// test stays visible (and waitable) to it.
void becomeSubreaper();
// Pids whose parent is `parent`.
std::vector<pid_t> childrenOf(pid_t parent);
// Open descriptors of a process.
int descriptorCount(pid_t pid);

// Waits up to `seconds` for the process (a child of ours) to end; true with its wait status.
bool waitExit(pid_t pid, int seconds, int& status);

// One started program, in `dir`, with `env` added to ours and LeakSanitizer told about the
// service's process-lifetime objects. Standard output and error go to files in `dir`. The
// destructor kills it (SIGKILL) if it still runs.
class Process {
public:
    Process(const std::string& program, const std::vector<std::string>& args,
            const std::string& dir, const std::map<std::string, std::string>& env = {});
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t pid() const { return m_pid; }
    void signal(int signo) const;
    // Waits for the exit; true with the wait status.
    bool wait(int seconds, int& status);
    std::string out() const { return readFile(m_dir + "/stdout"); }
    std::string err() const { return readFile(m_dir + "/stderr"); }

private:
    pid_t m_pid = -1;
    bool m_reaped = false;
    std::string m_dir;
};

struct HttpReply {
    int status = 0;                              // 0: no reply at all
    std::map<std::string, std::string> headers;  // names lower-cased; Set-Cookie lines joined
    std::string body;
};

// Sends raw bytes as one request and reads the reply until the server closes.
HttpReply httpRaw(int port, const std::string& request);
HttpReply httpGet(int port, const std::string& path, const std::string& cookie = "");
HttpReply httpPost(int port, const std::string& path, const std::string& body,
                   const std::string& cookie = "",
                   const std::string& contentType = "application/json");
// The value of cookie `name` in the reply's Set-Cookie headers, or "".
std::string setCookie(const HttpReply& reply, const std::string& name);

// Waits until something answers HTTP on the port (up to `seconds`).
bool waitForHttp(int port, int seconds);

// Logs in as admin with `password`; the "sid=...; uid=admin" cookie header value, or "".
std::string loginCookie(int port, const std::string& password = "");

}  // namespace svctest
