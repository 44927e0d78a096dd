#include "brs_server.h"

#include <errno.h>
#include <fcntl.h>
#include <libintl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

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

// The longest the loop sleeps without a reason to wake.
constexpr int kPollMs = 1000;

// What the intake may hold: far below the descriptor limit the service is started with, and a
// memory bound that a crowd of clients sending large bodies slowly cannot push past.
ConnectionGate::Limits intakeLimits() {
    ConnectionGate::Limits limits;
    limits.requestTime = std::chrono::seconds(10);
    limits.maxBody = brsSoap::kMaxRequestBytes;
    return limits;
}

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
    std::string eventLogError;
    if (!eventLogger.Open(std::string(configDir) + "/eventlog.db", eventLogError)) {
        logPrint(kLogError, "fail to init event logger: %s", eventLogError.c_str());
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

    {
        // The intake outlives the workers: they hand it the replies of the requests still
        // queued when the loop ends.
        ConnectionGate gate(
            intakeLimits(), renderRefusals(*masterSoap),
            [this](std::string_view sid) { return sessions.Check(std::string(sid)); });
        m_wakeFd = gate.wakeFd();
        if (pool.Start(
                *masterSoap,
                [this](struct soap* engine) { return dispatchRequest(engine, services); },
                [&gate](HttpConnection* connection) { gate.Finished(connection); }) == 0) {
            // Accepting would queue connections nobody answers.
            logPrint(kLogError, "no worker thread could be started");
            setServiceSpecificExitCode(1);
        } else {
            pool.SetSpaceSignal(gate.wakeFd());
            logPrint(kLogInfo, gettext("service started on port %d"), port);
            acceptLoop(gate);
        }

        if (consoleMode()) logPrint(kLogDebug, "Waiting for threadpool to terminate...");
        pool.Stop();
        pool.SetSpaceSignal(-1);
        m_wakeFd = -1;
        if (consoleMode()) logPrint(kLogDebug, "done");
    }

    soap_destroy(masterSoap.get());
    soap_end(masterSoap.get());
    logPrint(kLogDebug, "Shutting down event logger...");
    eventLogger.Stop();
    arkCleanup();
    logPrint(kLogInfo, "%s", gettext("service stopped."));
    logClose();
}

void brsServer::acceptLoop(ConnectionGate& gate) {
    // The gate accepts until the backlog is empty, so the listener must not block.
    int flags = fcntl(masterSocket, F_GETFL);
    fcntl(masterSocket, F_SETFL, flags | O_NONBLOCK);
    // A connection is handed over once its first bytes are there, so the read right after the
    // accept usually finds the whole request and no epoll round is needed. One that stays
    // silent is still accepted after about a second and meets its deadline as before.
    int deferSeconds = 1;
    setsockopt(masterSocket, IPPROTO_TCP, TCP_DEFER_ACCEPT, &deferSeconds, sizeof deferSeconds);
    gate.Listen(
        masterSocket,
        [](int error) { logPrint(kLogError, "soapService->accept: %s", std::strerror(error)); },
        std::chrono::seconds(kRetrySeconds));
    while (!stopFlag) {
        while (gate.HasReady() && pool.Push(gate.NextReady()) == 0) gate.TakeReady();
        gate.Poll(kPollMs);
    }
    gate.Listen(-1, nullptr, {});
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
