// ATA commands a disk answers through the controller's pass-through request.

#include "ark.h"
#include "ata_security.h"
#include "disk_pages.h"
#include "model.h"

namespace emu::model {
namespace {

constexpr uint8_t kStatusOk = 0x50;     // DRDY | DSC
constexpr uint8_t kStatusError = 0x51;  // DRDY | DSC | ERR
constexpr uint16_t kErrorAbort = 0x04;

constexpr uint8_t kIdentify = 0xEC;
constexpr uint8_t kSmart = 0xB0;
constexpr uint8_t kTrustedReceive = 0x5C;
constexpr uint8_t kTrustedSend = 0x5E;

constexpr uint16_t kSmartReadData = 0xD0;
constexpr uint16_t kSmartReadThresholds = 0xD1;
constexpr uint16_t kSmartEnable = 0xD8;
constexpr uint16_t kSmartDisable = 0xD9;
constexpr uint16_t kSmartReturnStatus = 0xDA;

struct Command {
    ARK_ATA_PASSTHROUGH header;  // becomes the reply header
    const uint8_t* dataOut = nullptr;
    uint8_t* dataIn = nullptr;
    size_t length = 0;
};

bool OnePageIn(const Command& c) {
    return c.header.protocol == ARK_ATA_DATA_IN && c.header.sectors == 1;
}

bool SendPage(Command& c, const Page& page) {
    if (!OnePageIn(c)) return false;
    std::memcpy(c.dataIn, page.data(), page.size());
    return true;
}

bool Smart(Disk& d, Command& c) {
    ARK_ATA_PASSTHROUGH& h = c.header;
    if (h.lba_mid != 0x4F || h.lba_high != 0xC2) return false;
    const bool enabled = d.flags & ARK_DISK_SMART_ON;
    switch (h.features) {
        case kSmartReadData:
            return enabled && SendPage(c, SmartDataPage(d));
        case kSmartReadThresholds:
            return enabled && SendPage(c, SmartThresholdPage(d));
        case kSmartEnable:
            d.flags |= ARK_DISK_SMART_ON;
            return true;
        case kSmartDisable:
            d.flags &= ~ARK_DISK_SMART_ON;
            return true;
        case kSmartReturnStatus:
            if (!enabled) return false;
            if (SmartThresholdExceeded(d)) {
                h.lba_mid = 0xF4;
                h.lba_high = 0x2C;
            }
            return true;
        default:
            return false;
    }
}

bool Trusted(Disk& d, Command& c) {
    const ARK_ATA_PASSTHROUGH& h = c.header;
    if (!d.trusted) return false;
    const uint8_t protocol = uint8_t(h.features);
    const uint16_t comId = uint16_t((h.lba_mid & 0xFF) | (h.lba_high & 0xFF) << 8);
    // The transfer length in 512-byte units sits in COUNT (low byte) and LBA low (high byte).
    const uint16_t transfer = uint16_t((h.sector_count & 0xFF) | (h.lba_low & 0xFF) << 8);
    if (h.sectors == 0 || transfer != h.sectors) return false;
    if (h.command == kTrustedSend) {
        return h.protocol == ARK_ATA_DATA_OUT &&
               d.trusted->TrustedSend(protocol, comId, c.dataOut, c.length);
    }
    return h.protocol == ARK_ATA_DATA_IN &&
           d.trusted->TrustedReceive(protocol, comId, c.dataIn, c.length);
}

bool Execute(Disk& d, Command& c) {
    // ERASE UNIT must follow ERASE PREPARE directly.
    const bool erasePrepared = d.security.erasePrepared;
    d.security.erasePrepared = false;
    if (IsAtaSecurityCommand(c.header.command))
        return AtaSecurityCommand(d, c.header, c.dataOut, c.length, erasePrepared);
    switch (c.header.command) {
        case kIdentify:
            return SendPage(c, IdentifyPage(d));
        case kSmart:
            return Smart(d, c);
        case kTrustedSend:
        case kTrustedReceive:
            return Trusted(d, c);
        default:
            return false;
    }
}

}  // namespace

// A disk that is gone or failed does not answer; a command the disk rejects still completes
// the request, with the error in the reply's status and error registers.
int AtaPassthrough(State& s, Request& r) {
    Command c;
    std::memcpy(&c.header, r.in, sizeof c.header);
    Disk* d = PresentDisk(s, c.header.disk);
    if (!d || (d->flags & ARK_DISK_DISABLED)) return kFail;
    c.length = size_t(c.header.sectors) * ARK_SECTOR_SIZE;
    c.dataOut = r.in + sizeof c.header;
    c.dataIn = r.out + sizeof c.header;
    if (Execute(*d, c)) {
        c.header.command = kStatusOk;
    } else {
        c.header.command = kStatusError;
        c.header.features = kErrorAbort;
        if (c.header.protocol == ARK_ATA_DATA_IN) std::memset(c.dataIn, 0, c.length);
    }
    std::memcpy(r.out, &c.header, sizeof c.header);
    r.returned = r.outLen;
    return kOk;
}

}  // namespace emu::model
