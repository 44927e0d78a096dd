// --flash <file>: write a firmware image to a controller's flash, after the same container
// check the service applies; or, with -s, save that many bytes of flash to the file.

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ark.h"
#include "commands.h"
#include "fw_image.h"
#include "numbers.h"
#include "option_parser.h"
#include "selection.h"

namespace {

const LongOption kFlashOptions[] = {
    {"controller", kRequiredArgument, nullptr, 'c'},
    {"offset", kRequiredArgument, nullptr, 'o'},
    {"save", kRequiredArgument, nullptr, 's'},
    {nullptr, 0, nullptr, 0},
};

// Larger than any flash part a controller carries.
constexpr uint64_t kMaxImageBytes = uint64_t{64} << 20;

bool readImage(const char* path, std::vector<uint8_t>& image) {
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        std::printf("cannot open %s\n", path);
        return false;
    }
    uint8_t chunk[65536];
    size_t n = 0;
    bool ok = true;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
        if (image.size() + n > kMaxImageBytes) {
            std::printf("%s is larger than any controller flash\n", path);
            ok = false;
            break;
        }
        image.insert(image.end(), chunk, chunk + n);
    }
    if (ok && std::ferror(f)) {
        std::printf("cannot read %s\n", path);
        ok = false;
    }
    std::fclose(f);
    return ok;
}

// Through a temporary file renamed over `path`: a failure leaves no part of a file behind.
bool writeFile(const char* path, const std::vector<uint8_t>& bytes) {
    const std::string temp = std::string(path) + ".part";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    bool ok = f != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f != nullptr && std::fclose(f) != 0) ok = false;
    // Where rename does not replace an existing file, the old one goes only once the new one
    // is complete.
    if (ok && std::rename(temp.c_str(), path) != 0)
        ok = std::remove(path) == 0 && std::rename(temp.c_str(), path) == 0;
    if (!ok) std::remove(temp.c_str());
    return ok;
}

int saveFlash(const char* path, uint32_t controller, uint32_t offset, const char* sizeText) {
    uint64_t size = 0;
    if (!parseDecimal(sizeText, 1, kMaxImageBytes, size)) {
        std::printf("invalid size %s\n", sizeText);
        return 1;
    }
    std::vector<uint8_t> bytes(size);
    if (arkFlashUpload(g_currentDomain, controller, offset, bytes.data(),
                       static_cast<uint32_t>(size)) != 0) {
        std::printf("fail to read flash\n");
        return 1;
    }
    if (!writeFile(path, bytes)) {
        std::printf("cannot write %s\n", path);
        return 1;
    }
    std::printf("%llu bytes of flash saved to %s\n", static_cast<unsigned long long>(size), path);
    return 0;
}

int writeFlash(const char* path, uint32_t controller, uint32_t offset) {
    std::vector<uint8_t> image;
    if (!readImage(path, image)) return 1;
    FwImageLayout layout;
    if (!checkFirmwareImage(image.data(), image.size(), &layout)) {
        std::printf("%s\n", fwUpdateStatusText(FwUpdateStatus::UnknownFormat));
        return 1;
    }
    uint32_t first = 0, second = 0;
    if (arkGetPciId(g_currentDomain, controller, &first, &second) != 0) {
        std::printf("%s\n", fwUpdateStatusText(FwUpdateStatus::NoPciId));
        return 1;
    }
    if (!fwImageMatchesPciId(image.data(), layout, first, second)) {
        std::printf("%s\n", fwUpdateStatusText(FwUpdateStatus::NotCompatible));
        return 1;
    }
    for (uint32_t k = 0; k < layout.sectionCount; ++k) {
        if (uint64_t{fwImageSection(image.data(), layout, k).target} + offset > UINT32_MAX) {
            std::printf("offset 0x%X moves section %u beyond the flash\n", offset, k + 1);
            return 1;
        }
    }
    const bool terminal = isatty(fileno(stdout)) != 0;
    for (uint32_t k = 0; k < layout.sectionCount; ++k) {
        const FwSection s = fwImageSection(image.data(), layout, k);
        if (terminal) {
            std::printf("\rwriting section %u of %u", k + 1, layout.sectionCount);
            std::fflush(stdout);
        }
        if (arkFlashDownload(g_currentDomain, controller, s.target + offset,
                             image.data() + s.offset, s.length) != 0) {
            std::printf("%s%s: section %u of %u\n", terminal ? "\n" : "",
                        fwUpdateStatusText(FwUpdateStatus::DownloadError), k + 1,
                        layout.sectionCount);
            return 1;
        }
        if (!terminal) std::printf("section %u of %u written\n", k + 1, layout.sectionCount);
    }
    if (terminal) std::printf("\n");
    std::printf("firmware updated; it takes effect when the controller restarts\n");
    return 0;
}

}  // namespace

int flashCommand(int argc, char** argv, const char* path) {
    const char *controllerText = nullptr, *offsetText = nullptr, *sizeText = nullptr;
    for (;;) {
        const int option = getoptLong(argc, argv, "c:o:s:", kFlashOptions);
        if (option == -1) break;
        if (option == 'c') {
            controllerText = g_optArg;
        } else if (option == 'o') {
            offsetText = g_optArg;
        } else if (option == 's') {
            sizeText = g_optArg;
        } else {
            std::printf(option == ':' ? "option needs a value\n" : "invalid option\n");
            return 1;
        }
    }
    uint64_t controller = 0;
    const int controllers = arkGetControllerCount(g_currentDomain);
    if (controllerText != nullptr &&
        (controllers < 1 ||
         !parseDecimal(controllerText, 0, uint64_t(controllers - 1), controller))) {
        std::printf("no such controller\n");
        return 1;
    }
    uint32_t offset = 0;
    if (offsetText != nullptr && !parseHex32(offsetText, offset)) {
        std::printf("invalid offset %s (hexadecimal)\n", offsetText);
        return 1;
    }
    if (sizeText != nullptr)
        return saveFlash(path, static_cast<uint32_t>(controller), offset, sizeText);
    return writeFlash(path, static_cast<uint32_t>(controller), offset);
}
