// The security, sanitize and microcode actions of --pdcmd. Passwords given on the command line
// are sent to the disk and nowhere else: no message names them.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ata_command.h"
#include "numbers.h"
#include "pdcmd_options.h"
#include "selection.h"
#include "values.h"

namespace {

constexpr uint8_t kSetPassword = 0xF1;
constexpr uint8_t kUnlock = 0xF2;
constexpr uint8_t kErasePrepare = 0xF3;
constexpr uint8_t kEraseUnit = 0xF4;
constexpr uint8_t kDisablePassword = 0xF6;
constexpr uint8_t kSanitize = 0xB4;
constexpr uint8_t kDownloadMicrocode = 0x92;
constexpr uint8_t kIdentifyDevice = 0xEC;

constexpr size_t kPasswordBytes = 32;
// Block count and offset each travel in two 8-bit registers; 16 MiB stays well inside them.
constexpr size_t kMaxMicrocodeBytes = size_t{16} << 20;

// The SANITIZE DEVICE subcommands and the key each must carry in its LBA.
constexpr uint16_t kSanitizeStatusSubcommand = 0x0000;
constexpr uint16_t kCryptoScramble = 0x0011;
constexpr uint16_t kBlockErase = 0x0012;
constexpr uint16_t kOverwrite = 0x0014;
constexpr uint16_t kFreezeLock = 0x0020;
constexpr uint16_t kAntifreezeLock = 0x0040;

// A 48-bit LBA in the header's 16-bit registers: the current byte low, the previous byte high.
void putLba48(AtaCommand& c, uint64_t lba) {
    c.lbaLow = static_cast<uint16_t>((lba & 0xFF) | ((lba >> 24) & 0xFF) << 8);
    c.lbaMid = static_cast<uint16_t>(((lba >> 8) & 0xFF) | ((lba >> 32) & 0xFF) << 8);
    c.lbaHigh = static_cast<uint16_t>(((lba >> 16) & 0xFF) | ((lba >> 40) & 0xFF) << 8);
}

// The 512-byte block of the security commands: control word, the 32 password bytes, then the
// master password revision.
bool passwordBlock(const char* password, uint16_t control, std::vector<uint8_t>& block) {
    const size_t length = password ? std::strlen(password) : 0;
    if (length == 0 || length > kPasswordBytes) {
        std::printf("a password has 1 to %d characters\n", int(kPasswordBytes));
        return false;
    }
    block.assign(ARK_SECTOR_SIZE, 0);
    block[0] = static_cast<uint8_t>(control);
    block[1] = static_cast<uint8_t>(control >> 8);
    std::memcpy(block.data() + 2, password, length);
    block[34] = block[35] = 0xFF;  // keep the master password revision
    return true;
}

// A disk that holds an array's data or stands by as a spare is not erased: the array would
// lose its data without the controller knowing.
bool holdsArrayData(uint32_t disk, const char* location) {
    ARK_VD_INFO info;
    if (!readDeviceInfo(disk, info)) {
        std::printf("fail to get disk info\n");
        return true;
    }
    if (info.disk.flags & ARK_DISK_SPARE) {
        std::printf("disk %s is a spare disk; take it back with -D %s first\n", location, location);
        return true;
    }
    for (uint32_t parent : info.disk.parents) {
        if (!arkIsEmptySlot(parent)) {
            std::printf("disk %s belongs to an array; delete the array first\n", location);
            return true;
        }
    }
    return false;
}

int report(const AtaResult& r, const char* what) {
    if (r.outcome == AtaOutcome::Ok) return 0;
    std::printf("%s\n", ataFailureText(r, what).c_str());
    return 1;
}

int securityCommand(uint32_t disk, uint8_t command, const PdOptions& o, uint16_t control,
                    const char* what) {
    std::vector<uint8_t> block;
    if (!passwordBlock(o.value, control | (o.master ? 0x0001 : 0), block)) return 1;
    AtaCommand c;
    c.command = command;
    c.protocol = ARK_ATA_DATA_OUT;
    return report(runAta(disk, c, &block), what);
}

int erase(uint32_t disk, const PdOptions& o, bool enhanced) {
    std::vector<uint8_t> block;
    const uint16_t control = (o.master ? 0x0001 : 0) | (enhanced ? 0x0002 : 0);
    if (!passwordBlock(o.value, control, block)) return 1;
    AtaCommand prepare;
    prepare.command = kErasePrepare;
    if (report(runAta(disk, prepare), "SECURITY ERASE PREPARE") != 0) return 1;
    AtaCommand unit;
    unit.command = kEraseUnit;
    unit.protocol = ARK_ATA_DATA_OUT;
    if (report(runAta(disk, unit, &block), "SECURITY ERASE UNIT") != 0) return 1;
    std::printf("disk erased\n");
    return 0;
}

int sanitize(uint32_t disk, uint16_t subcommand, uint64_t lba, uint16_t count, const char* what) {
    AtaCommand c;
    c.command = kSanitize;
    c.features = subcommand;
    c.count = count;
    putLba48(c, lba);
    return report(runAta(disk, c), what);
}

int sanitizeStatus(uint32_t disk) {
    AtaCommand c;
    c.command = kSanitize;
    c.features = kSanitizeStatusSubcommand;
    const AtaResult r = runAta(disk, c);
    if (report(r, "SANITIZE STATUS") != 0) return 1;
    const uint16_t status = r.reply.sector_count;
    // Progress is LBA 15:0: the low bytes of LBA low and LBA mid.
    const unsigned progress = (r.reply.lba_low & 0xFFu) | (r.reply.lba_mid & 0xFFu) << 8;
    if (status & 0x4000) {
        const unsigned hundredths = progress * 10000u / 0xFFFF;
        std::printf("Sanitize:            in progress, %u.%02u%% done\n", hundredths / 100,
                    hundredths % 100);
    } else if (status & 0x8000) {
        std::printf("Sanitize:            completed without error\n");
    } else {
        std::printf("Sanitize:            no operation since power-on\n");
    }
    std::printf("Freeze lock:         %s\n", (status & 0x2000) ? "frozen" : "not frozen");
    std::printf("Antifreeze lock:     %s\n", (status & 0x1000) ? "set" : "not set");
    return 0;
}

// The disk's IDENTIFY page, or false when it cannot be read.
bool identify(uint32_t disk, std::vector<uint8_t>& page) {
    page.assign(ARK_SECTOR_SIZE, 0);
    AtaCommand c;
    c.command = kIdentifyDevice;
    c.device = 0xA0;
    c.protocol = ARK_ATA_DATA_IN;
    return report(runAta(disk, c, &page), "IDENTIFY DEVICE") == 0;
}

uint16_t word(const std::vector<uint8_t>& page, int w) {
    return static_cast<uint16_t>(page[2 * w] | page[2 * w + 1] << 8);
}

// The firmware revision of an IDENTIFY page.
std::string firmwareRevision(const std::vector<uint8_t>& page) {
    std::string text;
    for (int w = 23; w < 27; ++w) {
        text += static_cast<char>(page[2 * w + 1]);
        text += static_cast<char>(page[2 * w]);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
    return text;
}

int microcode(uint32_t disk, const char* path) {
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        std::printf("cannot open %s\n", path);
        return 1;
    }
    std::vector<uint8_t> image;
    uint8_t chunk[65536];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0 && image.size() <= kMaxMicrocodeBytes)
        image.insert(image.end(), chunk, chunk + n);
    const bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (readError || image.empty() || image.size() > kMaxMicrocodeBytes) {
        std::printf("%s is not a microcode file this disk can take\n", path);
        return 1;
    }
    // The disk takes whole 512-byte blocks; a file that is not made of them is not padded into
    // something its maker did not write.
    if (image.size() % ARK_SECTOR_SIZE != 0) {
        std::printf("%s is not a whole number of 512-byte blocks\n", path);
        return 1;
    }
    const size_t totalBlocks = image.size() / ARK_SECTOR_SIZE;
    std::vector<uint8_t> page;
    if (!identify(disk, page)) return 1;
    if (!(word(page, 83) & 0x0001)) {
        std::printf("the disk does not support DOWNLOAD MICROCODE\n");
        return 1;
    }
    // Mode 3 in segments of the largest size the disk names (64 blocks when it names none), or
    // mode 7 in one command when it takes no offsets.
    const uint16_t w119 = word(page, 119);
    const bool offsets = (w119 & 0xC010) == 0x4010;
    const uint16_t largest = word(page, 235);
    size_t segmentBlocks = totalBlocks;
    if (offsets) segmentBlocks = (largest != 0 && largest != 0xFFFF) ? largest : 64;
    AtaResult last;
    for (size_t block = 0; block < totalBlocks; block += segmentBlocks) {
        const size_t blocks = std::min(segmentBlocks, totalBlocks - block);
        std::vector<uint8_t> segment(image.begin() + block * ARK_SECTOR_SIZE,
                                     image.begin() + (block + blocks) * ARK_SECTOR_SIZE);
        AtaCommand c;
        c.command = kDownloadMicrocode;
        c.features = offsets ? 0x03 : 0x07;
        c.count = static_cast<uint16_t>(blocks & 0xFF);
        c.lbaLow = static_cast<uint16_t>(blocks >> 8);
        c.lbaMid = static_cast<uint16_t>(block & 0xFF);
        c.lbaHigh = static_cast<uint16_t>(block >> 8);
        c.device = 0xA0;
        c.protocol = ARK_ATA_DATA_OUT;
        last = runAta(disk, c, &segment);
        if (report(last, "DOWNLOAD MICROCODE") != 0) {
            if (block > 0) std::printf("the disk took %zu of %zu blocks\n", block, totalBlocks);
            return 1;
        }
    }
    // COUNT 2: the new microcode is in use; anything else means the disk still waits for more.
    if ((last.reply.sector_count & 0xFF) != 0x02) {
        std::printf("the disk took the microcode but did not apply it (COUNT %u)\n",
                    last.reply.sector_count & 0xFFu);
        return 1;
    }
    const std::string before = firmwareRevision(page);
    const std::string after = identify(disk, page) ? firmwareRevision(page) : "unknown";
    std::printf("microcode downloaded; firmware revision %s (was %s)\n", after.c_str(),
                before.c_str());
    return 0;
}

}  // namespace

int pdSecurityAction(uint32_t disk, const PdOptions& o, const char* location) {
    const bool erases = o.action == 'e' || o.action == 'E' || o.action == kSanitizeBlockErase ||
                        o.action == kSanitizeCryptoScramble || o.action == kSanitizeOverwrite;
    if (erases && holdsArrayData(disk, location)) return 1;
    switch (o.action) {
        case 'p':
            return securityCommand(disk, kSetPassword, o, o.maximum ? 0x0100 : 0,
                                   "SECURITY SET PASSWORD");
        case 'u':
            return securityCommand(disk, kUnlock, o, 0, "SECURITY UNLOCK");
        case 'd':
            return securityCommand(disk, kDisablePassword, o, 0, "SECURITY DISABLE PASSWORD");
        case 'e':
            return erase(disk, o, false);
        case 'E':
            return erase(disk, o, true);
        case 'f':
            return microcode(disk, o.value);
        case kSanitizeStatus:
            return sanitizeStatus(disk);
        default:
            break;
    }
    switch (o.action) {
        case kSanitizeFreezeLock:
            return sanitize(disk, kFreezeLock, 0x46724C6B, 0, "SANITIZE FREEZE LOCK");
        case kSanitizeAntifreezeLock:
            return sanitize(disk, kAntifreezeLock, 0x416E7469, 0, "SANITIZE ANTIFREEZE LOCK");
        case kSanitizeBlockErase:
            return sanitize(disk, kBlockErase, 0x426B4572, 0, "SANITIZE BLOCK ERASE");
        case kSanitizeCryptoScramble:
            return sanitize(disk, kCryptoScramble, 0x43727970, 0, "SANITIZE CRYPTO SCRAMBLE");
        case kSanitizeOverwrite: {
            uint32_t pattern = 0;
            if (!parseHex32(o.value, pattern)) {
                std::printf("invalid pattern %s (hexadecimal, 32 bits)\n", o.value);
                return 1;
            }
            // Passes in COUNT 3:0, where 0 means 16.
            const uint16_t count = static_cast<uint16_t>(o.overwritePasses & 0x0F);
            return sanitize(disk, kOverwrite, uint64_t{0x4F57} << 32 | pattern, count,
                            "SANITIZE OVERWRITE");
        }
        default:
            std::printf("invalid option\n");
            return 1;
    }
}
