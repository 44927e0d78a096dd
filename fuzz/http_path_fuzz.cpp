// GET paths: the file-name check and content type on the path as given, then the request
// through the handler, which decodes the path and serves the console's files.

#include <cstdint>
#include <string>

#include "file_server.h"
#include "service_harness.h"

namespace {

// What an accepted path must be: one leading '/', no backslash, no ".." segment.
bool MayNameAFile(const std::string& path) {
    if (path.size() < 1 || path[0] != '/' || (path.size() > 1 && path[1] == '/')) return false;
    if (path.find('\\') != std::string::npos) return false;
    size_t start = 1;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (path.compare(start, end - start, "..") == 0) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsvc::Start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path(reinterpret_cast<const char*>(data), size);
    if (path.find('\0') == std::string::npos) {
        if (requestPathIsSafe(path.c_str()) && !MayNameAFile(path)) __builtin_trap();
        mimeTypeFor(path.c_str());
    }
    fuzzsvc::Serve("GET " + path + " HTTP/1.1\r\nHost: localhost\r\n\r\n");
    return 0;
}
