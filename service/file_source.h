#pragma once

#include <cstddef>
#include <cstdio>

// Where the console's files come from, shaped like fopen/fread/fclose. Chosen once by Init
// before any worker runs; read-only afterwards.
struct FileAccess {
    FILE* (*open)(const char* name, const char* mode);
    size_t (*read)(void* buffer, size_t size, size_t count, FILE* handle);
    int (*close)(FILE* handle);
};

extern FileAccess g_fileAccess;

enum class FileSource { kFolder, kPlugin, kEmbedded };

// With a web folder the plain file calls stay. Otherwise the plug-in "libarkgui.so" when it
// loads and exports mf_open, mf_read and mf_close (it then stays loaded), else the embedded
// table.
FileSource selectFileSource(const char* wwwDir);
