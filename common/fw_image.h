#pragma once

#include <cstddef>
#include <cstdint>

// The controller firmware image container and the update that writes it. Shared by the
// service's upload route and the utility's flash command, so it depends on nothing but the
// controller-access API: no HTTP engine, no JSON, no platform headers.
//
// Layout, all numbers little-endian u32, read backwards from the end of the image:
//   [section data ...][section table: count x 16][id list: count x 8][trailer: 16]
// Trailer: section_count, pci_id_count, "INFO", crc of table + id list + first 12 trailer
// bytes. Section entry: offset, length, target (flash offset), crc of the section's bytes.
// Id pair: two words matched against the controller's PCI id; 0xFFFFFFFF matches any value.

constexpr size_t kFwTrailerSize = 16;
constexpr size_t kFwSectionEntrySize = 16;
constexpr size_t kFwIdPairSize = 8;
constexpr uint32_t kFwAnyId = 0xFFFFFFFFu;

// POSIX cksum CRC of `length` bytes (polynomial 0x04C11DB7, MSB first, the length appended
// lowest byte first, result inverted). cksum("abc") is 0x48AA78A2.
uint32_t fwCksum(const void* data, size_t length);

// Where the metadata of an accepted image sits, as byte offsets from the image start.
struct FwImageLayout {
    size_t tableOffset = 0;   // first section entry
    size_t idListOffset = 0;  // first id pair
    size_t trailerOffset = 0;
    uint32_t sectionCount = 0;
    uint32_t pciIdCount = 0;
};

struct FwSection {
    uint32_t offset;
    uint32_t length;
    uint32_t target;
    uint32_t crc;
};

// The container check. True when the image is well formed: length a multiple of 4 and at least
// 16, magic "INFO", metadata inside the image with a matching crc, and every section inside the
// image with a matching crc. `layout` (may be null) is filled only on success.
bool checkFirmwareImage(const void* image, size_t length, FwImageLayout* layout);

// Entry k (< layout.sectionCount) of an image accepted by checkFirmwareImage.
FwSection fwImageSection(const void* image, const FwImageLayout& layout, uint32_t k);

// True when some id pair of an accepted image fits the controller's two PCI id words.
bool fwImageMatchesPciId(const void* image, const FwImageLayout& layout, uint32_t first,
                         uint32_t second);

enum class FwUpdateStatus {
    Ok = 0,
    UnknownFormat,  // the container check failed
    NoPciId,        // arkGetPciId failed
    NotCompatible,  // no id pair fits the controller
    DownloadError,  // a section write failed; the sections before it stay written
};

// The fixed message of a status: "unknown file format", "fail to get PCI ID",
// "file is not compatible with current device", "download error"; "" for Ok.
const char* fwUpdateStatusText(FwUpdateStatus status);

// Checks the image, checks it fits controller `controller` of domain `domain`, then writes
// each section in table order with arkFlashDownload at the section's target as flash offset,
// stopping at the first failure. Nothing is written unless the container and the identity are
// both accepted. Updates of the same domain and controller are serialised: a second caller
// waits until the first has finished writing. Thread-safe.
FwUpdateStatus updateFirmware(int domain, uint32_t controller, const void* image, size_t length);
