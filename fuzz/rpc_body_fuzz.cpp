// JSON-RPC bodies through the dispatcher, from a logged-in client: every method's parameter
// checks and handlers over the emulated controllers.

#include <cstdint>
#include <string>

#include "service_harness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsvc::Start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    fuzzsvc::Serve(fuzzsvc::Post("/", "application/json", body, true));
    return 0;
}
