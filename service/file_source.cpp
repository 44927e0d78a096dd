#include "file_source.h"

#include <dlfcn.h>

#include "embedded_files.h"

FileAccess g_fileAccess = {std::fopen, std::fread, std::fclose};

FileSource selectFileSource(const char* wwwDir) {
    if (wwwDir != nullptr && wwwDir[0] != '\0') {
        g_fileAccess = {std::fopen, std::fread, std::fclose};
        return FileSource::kFolder;
    }
    if (void* library = dlopen("libarkgui.so", RTLD_NOW)) {
        void* open = dlsym(library, "mf_open");
        void* read = dlsym(library, "mf_read");
        void* close = dlsym(library, "mf_close");
        if (open != nullptr && read != nullptr && close != nullptr) {
            g_fileAccess = {reinterpret_cast<FILE* (*)(const char*, const char*)>(open),
                            reinterpret_cast<size_t (*)(void*, size_t, size_t, FILE*)>(read),
                            reinterpret_cast<int (*)(FILE*)>(close)};
            return FileSource::kPlugin;
        }
        dlclose(library);
    }
    g_fileAccess = {OpenEmbeddedFile, ReadEmbeddedFile, CloseEmbeddedFile};
    return FileSource::kEmbedded;
}
