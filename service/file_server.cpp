#include "file_server.h"

#include <cstring>
#include <string>

#include "brs_soap.h"
#include "event_logger.h"
#include "file_source.h"
#include "rpc_services.h"
#include "session_table.h"

namespace {

constexpr int kNotFound = 404;
constexpr size_t kNameSize = 256;
constexpr size_t kChunk = 1024;

struct MimeRow {
    const char* pattern;
    const char* type;
};

const MimeRow kMimeTypes[] = {
    {"*.js", "text/javascript"},
    {"*.map", "text/javascript"},
    {"*.html", "text/html"},
    {"*.htm", "text/html"},
    {"*.jpg", "image/jpeg"},
    {"*.png", "image/png"},
    {"*.gif", "image/gif"},
    {"*.css", "text/css"},
    {"*.xml", "application/octet-stream"},
    {"*.xslt", "application/octet-stream"},
    {"*.woff", "application/x-font-woff"},
    {"*.svg", "image/svg+xml"},
    {"*.log", "application/octet-stream"},
};

// Backup serialises itself and renames each finished copy into place, so the file opened here
// is always a whole copy, even while another download makes the next one.
FILE* openEventLogBackup(EventLogger& eventLogger) {
    std::string path;
    if (!eventLogger.Backup(path)) return nullptr;
    return std::fopen(path.c_str(), "rb");
}

}  // namespace

const char* mimeTypeFor(const char* path) {
    for (const auto& row : kMimeTypes) {
        if (soap_tag_cmp(path, row.pattern) == 0) return row.type;
    }
    return nullptr;
}

bool requestPathIsSafe(const char* path) {
    if (path[0] != '/' || path[1] == '/') return false;
    if (std::strchr(path, '\\') != nullptr) return false;
    for (const char* segment = path + 1;;) {
        const char* end = std::strchr(segment, '/');
        size_t n = end ? static_cast<size_t>(end - segment) : std::strlen(segment);
        if (n == 2 && segment[0] == '.' && segment[1] == '.') return false;
        if (end == nullptr) return true;
        segment = end + 1;
    }
}

int httpGetHandler(struct soap* engine) {
    const char* raw = engine->path;
    // Decoded into a buffer as long as the raw path, so an over-long path is refused rather
    // than cut into the name of some other file.
    std::string decoded(std::strlen(raw) + 1, '\0');
    soap_decode_key(decoded.data(), decoded.size(), raw);
    decoded.resize(std::strlen(decoded.c_str()));
    size_t cut = decoded.find_first_of(" ?");
    if (cut != std::string::npos) decoded.resize(cut);
    if (decoded.size() >= kNameSize) return kNotFound;
    if (decoded == "/") decoded = "/index.html";

    if (decoded == "/eventlog") {
        const char* sid = requestCookie(engine, "sid");
        RpcServices* services = static_cast<brsSoap*>(engine)->services;
        if (sid == nullptr || services == nullptr || !services->sessions.Check(sid))
            return kNotFound;
        return serveFile(engine, decoded.c_str(), "application/octet-stream");
    }
    const char* type = mimeTypeFor(decoded.c_str());
    if (type == nullptr) return kNotFound;
    return serveFile(engine, decoded.c_str(), type);
}

int serveFile(struct soap* engine, const char* path, const char* mimeType) {
    FileAccess access = g_fileAccess;
    FILE* file = nullptr;
    if (std::strcmp(path, "/eventlog") == 0) {
        access = {std::fopen, std::fread, std::fclose};
        RpcServices* services = static_cast<brsSoap*>(engine)->services;
        file = services != nullptr ? openEventLogBackup(services->eventLogger) : nullptr;
    } else {
        if (!requestPathIsSafe(path)) return kNotFound;
        char name[kNameSize];
        const char* wwwDir = static_cast<brsSoap*>(engine)->wwwDir;
        int n = wwwDir[0] != '\0' ? std::snprintf(name, sizeof(name), "%s%s", wwwDir, path)
                                  : std::snprintf(name, sizeof(name), "%s", path + 1);
        if (n < 0 || static_cast<size_t>(n) >= sizeof(name)) return kNotFound;
        file = access.open(name, "rb");
    }
    if (file == nullptr) return kNotFound;

    engine->http_content = mimeType;
    if (soap_response(engine, SOAP_FILE) != SOAP_OK) {
        soap_end_send(engine);
        access.close(file);
        return engine->error;
    }
    char buffer[kChunk];
    for (;;) {
        size_t got = access.read(buffer, 1, sizeof(buffer), file);
        if (got == 0) break;
        if (soap_send_raw(engine, buffer, got) != SOAP_OK) {
            soap_end_send(engine);
            access.close(file);
            return engine->error;
        }
    }
    access.close(file);
    return soap_end_send(engine);
}
