#include "embedded_files.h"

#include <zlib.h>

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

struct EmbeddedFileHandle {
    const EmbeddedFile* row;
    uint32_t position;
    unsigned char data[1];  // row->size bytes follow
};

uint64_t readLittleEndian64(const unsigned char* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// Copies each member's inflated size into its row before main runs.
struct SizeInitialiser {
    SizeInitialiser() {
        for (auto& row : g_embeddedFiles) {
            uint64_t size = readLittleEndian64(row.data - 8);
            row.size = size > UINT32_MAX ? 0 : static_cast<uint32_t>(size);
        }
    }
} g_sizeInitialiser;

}  // namespace

int GunzipBuffer(unsigned char* dest, size_t* destLength, const unsigned char* source,
                 size_t sourceLength) {
    if (sourceLength > UINT_MAX || *destLength > UINT_MAX) return Z_BUF_ERROR;
    z_stream zs{};
    zs.next_in = const_cast<unsigned char*>(source);
    zs.avail_in = static_cast<uInt>(sourceLength);
    int rc = inflateInit2(&zs, 31);  // gzip only
    if (rc != Z_OK) return rc;
    zs.next_out = dest;
    zs.avail_out = static_cast<uInt>(*destLength);
    for (;;) {
        rc = inflate(&zs, Z_SYNC_FLUSH);
        if (rc == Z_STREAM_END) break;
        if (rc != Z_OK && rc != Z_BUF_ERROR) break;
        // Room exhausted, or input exhausted without the end of the member: both mean the
        // member does not fit what the row promised.
        if (zs.avail_out == 0 || zs.avail_in == 0) {
            rc = Z_DATA_ERROR;
            break;
        }
    }
    size_t produced = *destLength - zs.avail_out;
    inflateEnd(&zs);
    if (rc != Z_STREAM_END) return rc;
    *destLength = produced;
    return 0;
}

FILE* OpenEmbeddedFile(const char* name, const char* /*mode*/) {
    if (name == nullptr) return nullptr;
    for (const auto& row : g_embeddedFiles) {
        if (std::strcmp(row.name, name) != 0) continue;
        auto* h =
            static_cast<EmbeddedFileHandle*>(std::malloc(sizeof(EmbeddedFileHandle) + row.size));
        if (h == nullptr) return nullptr;
        h->row = &row;
        h->position = 0;
        size_t length = row.size;
        // One spare byte of room: a member longer than the row says then fails instead of
        // fitting exactly by accident.
        length += 1;
        if (GunzipBuffer(h->data, &length, row.data, row.gzipSize) != 0 || length != row.size) {
            std::free(h);
            return nullptr;
        }
        return reinterpret_cast<FILE*>(h);
    }
    return nullptr;
}

size_t ReadEmbeddedFile(void* buffer, size_t size, size_t count, FILE* handle) {
    auto* h = reinterpret_cast<EmbeddedFileHandle*>(handle);
    if (h == nullptr || buffer == nullptr) return 0;
    size_t want = 0;
    if (__builtin_mul_overflow(size, count, &want)) want = SIZE_MAX;
    size_t left = h->row->size - h->position;
    if (want > left) want = left;
    std::memcpy(buffer, h->data + h->position, want);
    h->position += static_cast<uint32_t>(want);
    return want;
}

int CloseEmbeddedFile(FILE* handle) {
    std::free(reinterpret_cast<EmbeddedFileHandle*>(handle));
    return 0;
}
