#include "ata_security.h"

#include <algorithm>
#include <cstring>

namespace emu {
namespace {

constexpr uint8_t kSetPassword = 0xF1;
constexpr uint8_t kUnlock = 0xF2;
constexpr uint8_t kErasePrepare = 0xF3;
constexpr uint8_t kEraseUnit = 0xF4;
constexpr uint8_t kFreezeLock = 0xF5;
constexpr uint8_t kDisablePassword = 0xF6;
constexpr uint8_t kSanitize = 0xB4;
constexpr uint8_t kDownloadMicrocode = 0x92;

constexpr uint16_t kSanitizeStatus = 0x0000;
constexpr uint16_t kCryptoScramble = 0x0011;
constexpr uint16_t kBlockErase = 0x0012;
constexpr uint16_t kOverwrite = 0x0014;
constexpr uint16_t kSanitizeFreeze = 0x0020;
constexpr uint16_t kAntifreeze = 0x0040;

constexpr uint64_t kCryptoSignature = 0x43727970;      // "Cryp"
constexpr uint64_t kBlockEraseSignature = 0x426B4572;  // "BkEr"
constexpr uint64_t kOverwriteSignature = 0x4F57;       // "OW" in LBA 47:32
constexpr uint64_t kFreezeSignature = 0x46724C6B;      // "FrLk"
constexpr uint64_t kAntifreezeSignature = 0x416E7469;  // "Anti"

constexpr uint8_t kMaxAttempts = 5;
constexpr uint32_t kDone = 10000;

// The 48-bit LBA of a header whose 16-bit registers hold the current byte low and the
// previous byte high.
uint64_t Lba48(const ARK_ATA_PASSTHROUGH& h) {
    return uint64_t(h.lba_low & 0xFF) | uint64_t(h.lba_mid & 0xFF) << 8 |
           uint64_t(h.lba_high & 0xFF) << 16 | uint64_t(h.lba_low >> 8) << 24 |
           uint64_t(h.lba_mid >> 8) << 32 | uint64_t(h.lba_high >> 8) << 40;
}

struct PasswordBlock {
    bool master;
    bool maximum;
    bool enhanced;
    std::vector<uint8_t> password;
    uint16_t revision;
};

bool ReadBlock(const uint8_t* data, size_t length, PasswordBlock& b) {
    if (length != ARK_SECTOR_SIZE) return false;
    const uint16_t control = uint16_t(data[0] | data[1] << 8);
    b.master = control & 0x0001;
    b.enhanced = control & 0x0002;
    b.maximum = control & 0x0100;
    b.password.assign(data + 2, data + 34);
    b.revision = uint16_t(data[34] | data[35] << 8);
    return true;
}

// A password attempt; a wrong one counts towards the limit.
bool Matches(DiskSecurity& sec, const PasswordBlock& b, bool masterAllowed) {
    if (sec.attempts >= kMaxAttempts) return false;
    const bool ok = b.master ? masterAllowed && b.password == sec.master
                             : sec.enabled && b.password == sec.user;
    if (!ok) ++sec.attempts;
    return ok;
}

bool Security(Disk& d, ARK_ATA_PASSTHROUGH& h, const uint8_t* data, size_t length, bool prepared) {
    DiskSecurity& sec = d.security;
    PasswordBlock b{};
    switch (h.command) {
        case kSetPassword:
            if (sec.frozen || sec.locked || !ReadBlock(data, length, b)) return false;
            if (b.master) {
                sec.master = b.password;
                if (b.revision != 0xFFFF) sec.masterRevision = b.revision;
            } else {
                sec.user = b.password;
                sec.enabled = true;
                sec.maximum = b.maximum;
            }
            return true;
        case kUnlock:
            if (sec.frozen || !ReadBlock(data, length, b)) return false;
            if (!Matches(sec, b, !sec.maximum)) return false;
            sec.locked = false;
            return true;
        case kErasePrepare:
            if (sec.frozen) return false;
            sec.erasePrepared = true;
            return true;
        case kEraseUnit:
            if (sec.frozen || !prepared || !ReadBlock(data, length, b)) return false;
            if (!Matches(sec, b, true)) return false;
            d.userData = false;
            sec.enabled = sec.locked = sec.maximum = false;
            sec.user.clear();
            sec.attempts = 0;
            return true;
        case kFreezeLock:
            if (sec.locked) return false;
            sec.frozen = true;
            return true;
        case kDisablePassword:
            if (sec.frozen || sec.locked || !sec.enabled || !ReadBlock(data, length, b))
                return false;
            if (!Matches(sec, b, !sec.maximum)) return false;
            sec.enabled = sec.maximum = false;
            sec.user.clear();
            return true;
        default:
            return false;
    }
}

bool Sanitize(Disk& d, ARK_ATA_PASSTHROUGH& h) {
    DiskSanitize& san = d.sanitize;
    const uint64_t lba = Lba48(h);
    auto start = [&]() {
        if (san.frozen || d.security.locked || san.state == DiskSanitize::Running) return false;
        san.state = DiskSanitize::Running;
        san.progress = 0;
        return true;
    };
    switch (h.features) {
        case kSanitizeStatus: {
            uint16_t status = 0;
            if (san.state == DiskSanitize::Done) status |= 0x8000;
            if (san.state == DiskSanitize::Running) status |= 0x4000;
            if (san.frozen) status |= 0x2000;
            if (san.antifreeze) status |= 0x1000;
            h.sector_count = status;
            // Progress in LBA 15:0: its low byte in LBA low, its high byte in LBA mid.
            const uint16_t progress = uint16_t(uint64_t{san.progress} * 0xFFFF / kDone);
            h.lba_low = progress & 0xFF;
            h.lba_mid = progress >> 8;
            h.lba_high = 0;
            return san.state != DiskSanitize::Failed;
        }
        case kCryptoScramble:
            return lba == kCryptoSignature && start();
        case kBlockErase:
            return lba == kBlockEraseSignature && start();
        case kOverwrite:
            return (lba >> 32) == kOverwriteSignature && start();
        case kSanitizeFreeze:
            if (lba != kFreezeSignature || san.antifreeze) return false;
            san.frozen = true;
            return true;
        case kAntifreeze:
            if (lba != kAntifreezeSignature || san.frozen) return false;
            san.antifreeze = true;
            return true;
        default:
            return false;
    }
}

// Mode 3 (offsets, save) and mode 7 (the whole image at once, save).
bool Microcode(Disk& d, ARK_ATA_PASSTHROUGH& h, const uint8_t* data, size_t length) {
    const uint8_t mode = uint8_t(h.features);
    const size_t blocks = size_t(h.sector_count & 0xFF) | size_t(h.lba_low & 0xFF) << 8;
    const size_t offset = (size_t(h.lba_mid & 0xFF) | size_t(h.lba_high & 0xFF) << 8) * 512;
    if ((mode != 0x03 && mode != 0x07) || blocks == 0 || blocks > kMicrocodeMaxBlocks ||
        blocks * ARK_SECTOR_SIZE != length || h.protocol != ARK_ATA_DATA_OUT)
        return false;
    if (mode == 0x07 && offset != 0) return false;
    // Segments arrive in order; anything else starts over.
    if (offset != d.microcode.size()) {
        d.microcode.clear();
        return false;
    }
    d.microcode.insert(d.microcode.end(), data, data + length);
    if (d.microcode.size() < 16 || std::memcmp(d.microcode.data(), kMicrocodeMagic, 4) != 0) {
        d.microcode.clear();
        return false;
    }
    const uint32_t total = uint32_t(d.microcode[4]) | uint32_t(d.microcode[5]) << 8 |
                           uint32_t(d.microcode[6]) << 16 | uint32_t(d.microcode[7]) << 24;
    if (total < 16) {
        d.microcode.clear();
        return false;
    }
    // COUNT answers 1 while more segments are expected, 2 once the new microcode is in use.
    if (d.microcode.size() < total) {
        h.sector_count = 0x01;
        return mode == 0x03;
    }
    h.sector_count = 0x02;
    std::string revision(d.microcode.begin() + 8, d.microcode.begin() + 16);
    while (!revision.empty() && (revision.back() == ' ' || revision.back() == '\0'))
        revision.pop_back();
    d.fwrev = revision;
    d.microcode.clear();
    return true;
}

}  // namespace

void PowerCycle(Disk& d) {
    d.security.locked = d.security.enabled;
    d.security.frozen = false;
    d.security.attempts = 0;
    d.security.erasePrepared = false;
    d.sanitize.frozen = false;
    d.sanitize.antifreeze = false;
    d.microcode.clear();
    model::UpdateSecurityFlags(d);
}

void AdvanceSanitize(Disk& d, uint32_t progressPerTick) {
    if (d.sanitize.state != DiskSanitize::Running) return;
    d.sanitize.progress = std::min(kDone, d.sanitize.progress + progressPerTick);
    if (d.sanitize.progress >= kDone) {
        d.sanitize.state = DiskSanitize::Done;
        d.userData = false;
    }
    model::UpdateSecurityFlags(d);
}

namespace model {

bool IsAtaSecurityCommand(uint8_t command) {
    return (command >= kSetPassword && command <= kDisablePassword) || command == kSanitize ||
           command == kDownloadMicrocode;
}

bool AtaSecurityCommand(Disk& d, ARK_ATA_PASSTHROUGH& h, const uint8_t* dataOut, size_t length,
                        bool erasePrepared) {
    bool ok = false;
    if (h.command == kSanitize) {
        ok = Sanitize(d, h);
    } else if (d.sanitize.state == DiskSanitize::Running) {
        ok = false;  // the media is busy until the sanitize ends
    } else if (h.command == kDownloadMicrocode) {
        ok = !d.security.locked && Microcode(d, h, dataOut, length);
    } else {
        ok = Security(d, h, dataOut, length, erasePrepared);
    }
    UpdateSecurityFlags(d);
    return ok;
}

void UpdateSecurityFlags(Disk& d) {
    d.flags &= ~(ARK_DISK_LOCKED | ARK_DISK_ERASING);
    if (d.security.locked) d.flags |= ARK_DISK_LOCKED;
    if (d.sanitize.state == DiskSanitize::Running) d.flags |= ARK_DISK_ERASING;
}

}  // namespace model
}  // namespace emu
