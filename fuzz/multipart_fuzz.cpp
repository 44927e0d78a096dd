// Firmware uploads: the multipart body of a logged-in POST to /fwupdate/0/0, the attachment
// found in it and the image check and update behind it.

#include <cstdint>
#include <string>

#include "service_harness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsvc::Start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    fuzzsvc::Serve(
        fuzzsvc::Post("/fwupdate/0/0", "multipart/form-data; boundary=FuzzBoundary", body, true));
    return 0;
}
