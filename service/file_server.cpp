#include "file_server.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "brs_soap.h"
#include "event_logger.h"
#include "file_source.h"
#include "http_connection.h"
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

// Hands the open file to the intake to send after the reply head, so a large log is never held
// in memory. The head is the engine's own for an empty body, with the file's length put in.
// False when the head is not the expected shape: then the file goes through the engine.
bool replyFromFile(struct soap* engine, FILE* file, const char* mimeType) {
    HttpConnection* connection = static_cast<brsSoap*>(engine)->connection();
    struct stat st {};
    if (connection == nullptr || fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    int fd = dup(fileno(file));
    if (fd < 0) return false;
    const size_t before = connection->reply.size();
    engine->http_content = mimeType;
    static const char kEmpty[] = "\r\nContent-Length: 0\r\n";
    constexpr size_t kValueAt = sizeof("\r\nContent-Length: ") - 1;
    if (soap_response(engine, SOAP_FILE) != SOAP_OK || soap_end_send(engine) != SOAP_OK) {
        ::close(fd);
        return true;  // the engine's error stands; nothing more goes out
    }
    size_t at = connection->reply.find(kEmpty, before);
    if (at == std::string::npos) {
        ::close(fd);
        connection->reply.resize(before);
        return false;
    }
    connection->reply.replace(at + kValueAt, 1, std::to_string(st.st_size));
    connection->replyFile = fd;
    connection->replyFileAt = 0;
    connection->replyFileLeft = static_cast<uint64_t>(st.st_size);
    return true;
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
    if (std::strcmp(path, "/eventlog") == 0 && replyFromFile(engine, file, mimeType)) {
        access.close(file);
        return engine->error;
    }

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
