#include "brs_server.h"

#include <errno.h>
#include <libintl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ark.h"
#include "connection_gate.h"
#include "event_threads.h"
#include "file_source.h"
#include "http_dispatch.h"
#include "log.h"
#include "smtp_client.h"

brsServer g_server;
int g_mainArgc = 0;
char** g_mainArgv = nullptr;

namespace {

const char* const kDomainSettingKeys[] = {"RebuildPriority", "AutoRebuild", "IgnoreRebuildErrors",
                                          "DiskIdleTimer"};

constexpr unsigned kRetrySeconds = 1;

// A whole request (head and body) must arrive within this time of its accept.
constexpr auto kRequestTime = std::chrono::seconds(10);
// Connections still waiting for their head; past this the longest-waiting one is dropped.
constexpr size_t kMaxWaiting = 512;
// Connections whose head has arrived but that found the ring full; past this the accept loop
// leaves new ones in the listen backlog.
constexpr size_t kMaxReady = 256;
// Connections taken from the backlog in one go.
constexpr int kAcceptBurst = 32;
// The longest the loop sleeps without a reason to wake.
constexpr int kPollMs = 1000;

// Copies an option value; false when it does not fit (a cut path would name another file).
bool copyOption(char (&dest)[brsServer::kPathSize], const char* text) {
    size_t n = std::strlen(text);
    if (n >= sizeof(dest)) return false;
    std::memcpy(dest, text, n + 1);
    return true;
}

void cutTrailingBackslash(char* path) {
    size_t n = std::strlen(path);
    if (n > 0 && path[n - 1] == '\\') path[n - 1] = '\0';
}

// The service leaves its working folder when it detaches, so relative paths are resolved
// against the folder it was started in.
bool makeAbsolute(char (&path)[brsServer::kPathSize]) {
    if (path[0] == '\0' || path[0] == '/') return true;
    char cwd[brsServer::kPathSize];
    if (getcwd(cwd, sizeof(cwd)) == nullptr) return false;
    char joined[brsServer::kPathSize];
    int n = std::snprintf(joined, sizeof(joined), "%s/%s", cwd, path);
    if (n < 0 || static_cast<size_t>(n) >= sizeof(joined)) return false;
    std::memcpy(path, joined, static_cast<size_t>(n) + 1);
    return true;
}

bool validPort(long value) {
    return value >= 0 && value <= 65535;
}

}  // namespace

brsServer::brsServer() : CService("brsraidsvc", "Brisel RAID Manager service") {}

brsServer::~brsServer() = default;

bool brsServer::parseOptions(int argc, char** argv) {
    bool ok = true;
    auto fail = [&](const char* what, const char* text) {
        if (!m_optionError.empty()) m_optionError += "; ";
        m_optionError += what;
        m_optionError += ": ";
        m_optionError += text;
        ok = false;
    };
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        bool hasValue = i + 1 < argc;
        if (std::strcmp(a, "-debug") == 0) {
            g_logLevel = kLogDebug;
        } else if (std::strcmp(a, "-port") == 0) {
            if (!hasValue) continue;
            const char* text = argv[++i];
            errno = 0;
            long number = std::strtol(text, nullptr, 10);
            if (errno == ERANGE || !validPort(number)) {
                fail("invalid port", text);
            } else {
                port = static_cast<int>(number);
            }
        } else if (std::strcmp(a, "-log") == 0) {
            if (!hasValue) continue;
            if (!copyOption(logPath, argv[++i])) fail("log path too long", argv[i]);
        } else if (std::strcmp(a, "-config") == 0) {
            if (!hasValue) continue;
            if (!copyOption(configDir, argv[++i])) fail("configuration path too long", argv[i]);
            cutTrailingBackslash(configDir);
        } else if (std::strcmp(a, "-www") == 0) {
            if (!hasValue) continue;
            if (!copyOption(wwwDir, argv[++i])) fail("web folder path too long", argv[i]);
            cutTrailingBackslash(wwwDir);
        }
    }
    if (std::strcmp(logPath, "-") != 0 && !makeAbsolute(logPath))
        fail("log path too long", logPath);
    if (!makeAbsolute(configDir)) fail("configuration path too long", configDir);
    if (!makeAbsolute(wwwDir)) fail("web folder path too long", wwwDir);
    return ok;
}

bool brsServer::Init(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    if (argc < 2) {
        argc = g_mainArgc;
        argv = g_mainArgv;
    }
    bool optionsOk = parseOptions(argc, argv);

    logOpen(logPath);
    logPrint(kLogDebug, "using log file: %s", logPath);
    if (!optionsOk) {
        logPrint(kLogError, "%s", m_optionError.c_str());
        return false;
    }

    // Created here, after the options: a run with -config must never touch the default folder.
    if (mkdir(configDir, 0700) != 0 && errno != EEXIST) {
        logPrint(kLogWarning, "fail to create config folder %s: %s", configDir,
                 std::strerror(errno));
    }
    if (!config.Load(configDir)) {
        logPrint(kLogError, "fail to load config");
        return false;
    }
    if (arkInitialize() != 0) {
        logPrint(kLogError, "fail to connect driver");
        return false;
    }
    if (!eventLogger.Open(std::string(configDir) + "/eventlog.db")) {
        logPrint(kLogError, "fail to init event logger");
        return false;
    }
    if (smtpGlobalInit() != 0) logPrint(kLogError, "fail to init mail client");
    for (int d = 0; d < arkGetDomainCount(); ++d) applyDomainSettings(d);

    selectFileSource(wwwDir);

    masterSoap = std::make_unique<brsSoap>();
    masterSoap->cookie_domain = nullptr;
    masterSoap->cookie_path = "/";
    masterSoap->services = &services;
    masterSoap->wwwDir = wwwDir;

    if (!resolvePort()) return false;
    logPrint(kLogDebug, "soap port: %d", port);

    int local = 0;
    config.GetInt(local, "settings", "RestrictLocal");
    restrictLocal = local;

    masterSocket = soap_bind(masterSoap.get(), restrictLocal ? "127.0.0.1" : "0.0.0.0", port, 100);
    if (!soap_valid_socket(masterSocket)) {
        masterSocket = -1;
        logSoapError(masterSoap.get(), "soapService->bind");
        return false;
    }
    return true;
}

bool brsServer::resolvePort() {
    if (port != 0) return true;
    int configured = 0;
    config.GetInt(configured, "settings", "ServerPort");
    if (!validPort(configured)) {
        logPrint(kLogError, "invalid port in settings: %d", configured);
        return false;
    }
    port = configured != 0 ? configured : kDefaultPort;
    return true;
}

void brsServer::applyDomainSettings(int domain) {
    ARK_DRIVER_INFO info{};
    if (arkGetDriverInfo(domain, &info) != 0 || info.hwraid != 0) return;
    char section[32];
    std::snprintf(section, sizeof(section), "domain%d", domain);
    for (const char* key : kDomainSettingKeys) {
        int32_t current = 0;
        if (arkGetConfigInt(domain, key, &current) != 0) continue;
        value stored;
        if (!config.GetValue(stored, section, key) || !stored.is_number_integer()) continue;
        int32_t wanted = json::toInt(stored);
        if (wanted != current) arkSetConfigInt(domain, key, static_cast<uint32_t>(wanted));
    }
}

void brsServer::Run(int /*argc*/, char** /*argv*/) {
    // A restarted child is a copy of the watchdog, which holds the configuration as read at
    // start-up; the child that died may have stored newer settings (a new password) since.
    if (restartCount() > 0) config.Load(configDir);

    EventThreadDeps deps;
    deps.config = &config;
    deps.smartInterval = &smartInterval;
    if (!eventLogger.Start(deps)) logPrint(kLogError, "fail to init event logger");

    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd < 0) {
        logPrint(kLogError, "fail to create the accept loop's wake-up: %s", std::strerror(errno));
        setServiceSpecificExitCode(1);
    } else if (pool.Start(*masterSoap, [this](struct soap* engine) {
                   return dispatchRequest(engine, services);
               }) == 0) {
        // Accepting would queue connections nobody answers.
        logPrint(kLogError, "no worker thread could be started");
        setServiceSpecificExitCode(1);
    } else {
        pool.SetSpaceSignal(m_wakeFd);
        logPrint(kLogInfo, gettext("service started on port %d"), port);
        acceptLoop();
    }

    if (consoleMode()) logPrint(kLogDebug, "Waiting for threadpool to terminate...");
    pool.Stop();
    pool.SetSpaceSignal(-1);
    int wake = m_wakeFd.exchange(-1);
    if (wake >= 0) close(wake);
    if (consoleMode()) logPrint(kLogDebug, "done");

    soap_destroy(masterSoap.get());
    soap_end(masterSoap.get());
    logPrint(kLogDebug, "Shutting down event logger...");
    eventLogger.Stop();
    arkCleanup();
    logPrint(kLogInfo, "%s", gettext("service stopped."));
    logClose();
}

void brsServer::acceptLoop() {
    using Clock = ConnectionGate::Clock;
    ConnectionGate gate(kRequestTime, kMaxWaiting);
    std::vector<pollfd> fds;
    // The listener is polled here; accepting must not wait again.
    masterSoap->accept_timeout = -1;
    Clock::time_point acceptPausedUntil{};
    while (!stopFlag) {
        while (gate.HasReady() && pool.Push(gate.NextReady()) == 0) gate.TakeReady();

        Clock::time_point now = Clock::now();
        bool accepting = gate.ready() < kMaxReady && now >= acceptPausedUntil;
        fds.clear();
        fds.push_back({m_wakeFd, POLLIN, 0});
        fds.push_back({accepting ? masterSocket : -1, POLLIN, 0});
        gate.Watch(fds);
        int timeout = gate.MsUntilNextDeadline(now);
        if (timeout < 0 || timeout > kPollMs) timeout = kPollMs;
        if (!accepting && now < acceptPausedUntil) {
            auto pause = std::chrono::ceil<std::chrono::milliseconds>(acceptPausedUntil - now);
            timeout = std::min<int>(timeout, static_cast<int>(pause.count()));
        }
        if (poll(fds.data(), fds.size(), timeout) < 0) {
            if (errno != EINTR) {
                logPrint(kLogError, "accept loop: poll failed: %s", std::strerror(errno));
                sleep(kRetrySeconds);
            }
            continue;
        }
        if (fds[0].revents != 0) {
            eventfd_t ignored;
            eventfd_read(m_wakeFd, &ignored);
        }
        gate.Check(fds, 2);
        if (fds[1].revents != 0) {
            for (int i = 0; i < kAcceptBurst && !stopFlag; ++i) {
                SOAP_SOCKET s = soap_accept(masterSoap.get());
                if (soap_valid_socket(s)) {
                    // The gate owns the socket now; the master must not close it at its next
                    // accept.
                    masterSoap->socket = SOAP_INVALID_SOCKET;
                    gate.Add(s, Clock::now());
                    continue;
                }
                // An empty backlog reports no system error; anything else is worth a line and
                // a pause, so a persistent failure (no descriptors left) does not spin.
                if (masterSoap->errnum != 0) {
                    logSoapError(masterSoap.get(), "soapService->accept");
                    acceptPausedUntil = Clock::now() + std::chrono::seconds(kRetrySeconds);
                }
                break;
            }
        }
        gate.Expire(Clock::now());
    }
    // Connections not yet handed on are closed with the gate.
}

void brsServer::Stop() {
    if (consoleMode()) {
        static const char kText[] = "Trigger stop signal...\n";
        ssize_t ignored = write(STDERR_FILENO, kText, sizeof(kText) - 1);
        (void)ignored;
    }
    stopFlag = 1;
    int wake = m_wakeFd;
    if (wake >= 0) eventfd_write(wake, 1);
}

void brsServer::logSoapError(struct soap* engine, const char* prefix) {
    char text[512] = "";
    soap_sprint_fault(engine, text, sizeof(text));
    for (char* p = text; *p != '\0'; ++p) {
        if (*p == '\n' || *p == '\r') *p = ' ';
    }
    logPrint(kLogError, "%s: %s", prefix, text);
}
