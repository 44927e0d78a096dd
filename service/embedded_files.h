#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The console's files compiled into the program as gzip members (the table is generated from
// assets/ at build time). `size` is zero until the start-up initialiser copies it from the
// 8 bytes in front of each member.
struct EmbeddedFile {
    const char* name;
    const unsigned char* data;
    uint32_t gzipSize;
    uint32_t size;
    uint64_t reserved;
};

constexpr size_t kEmbeddedFileCount = 15;
extern EmbeddedFile g_embeddedFiles[kEmbeddedFileCount];

// fopen/fread/fclose-shaped access to the table, so it can stand in the file-access triple.
// The handle is opaque: it is never a real FILE. Open matches the name exactly (no leading
// '/') and inflates the whole file; null when the name is unknown or the member is damaged.
FILE* OpenEmbeddedFile(const char* name, const char* mode);
size_t ReadEmbeddedFile(void* buffer, size_t size, size_t count, FILE* handle);
int CloseEmbeddedFile(FILE* handle);

// Inflates one gzip member into dest. *destLength is the room on entry and the bytes produced
// on success. Returns 0, Z_DATA_ERROR when the room runs out before the member ends, or
// zlib's error.
int GunzipBuffer(unsigned char* dest, size_t* destLength, const unsigned char* source,
                 size_t sourceLength);
