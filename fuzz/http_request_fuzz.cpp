// Whole HTTP requests through the connection handler: request line, headers, cookies, the
// GET file path, JSON-RPC bodies and uploads. "@SID@" in an input stands for a live session id.

#include <cstdint>
#include <string>

#include "service_harness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsvc::Start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string request(reinterpret_cast<const char*>(data), size);
    for (size_t at = request.find("@SID@"); at != std::string::npos;
         at = request.find("@SID@", at + 1))
        request.replace(at, 5, fuzzsvc::Session());
    fuzzsvc::Serve(request);
    return 0;
}
