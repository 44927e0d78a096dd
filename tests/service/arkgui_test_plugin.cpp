// A GUI plug-in for the tests: serves the files under $ARKGUI_TEST_ROOT, plus one name of its
// own that no other source has, so a test can tell which source answered.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
const char kMarkerName[] = "plugin-marker.html";
const char kMarker[] = "served by the test plug-in\n";
}  // namespace

extern "C" FILE* mf_open(const char* name, const char* mode) {
    if (std::strcmp(name, kMarkerName) == 0) {
        return fmemopen(const_cast<char*>(kMarker), sizeof(kMarker) - 1, "r");
    }
    const char* root = std::getenv("ARKGUI_TEST_ROOT");
    if (root == nullptr) return nullptr;
    return std::fopen((std::string(root) + "/" + name).c_str(), mode);
}

extern "C" size_t mf_read(void* buffer, size_t size, size_t count, FILE* handle) {
    return std::fread(buffer, size, count, handle);
}

extern "C" int mf_close(FILE* handle) {
    return std::fclose(handle);
}
