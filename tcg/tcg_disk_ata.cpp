#include "tcg_disk_ata.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "ark.h"
#include "selection.h"
#include "tcg_log.h"

namespace {

constexpr uint8_t kTrustedSend = 0x5E;
constexpr uint8_t kIdentify = 0xEC;
constexpr uint32_t kHeaderSize = sizeof(ARK_ATA_PASSTHROUGH);
// Status register bits of the reply: the drive aborted the command or faulted. The request
// itself succeeds then, so these decide.
constexpr uint8_t kStatusError = 0x01;
constexpr uint8_t kStatusDeviceFault = 0x20;

// One pass-through request built in `block` (header, data to the disk, then the reply area);
// 0 when the controller carried it and the drive completed the command.
int passThrough(std::vector<uint8_t>& block, uint32_t inLen, uint32_t outLen) {
    if (currentDomainRequest(ARK_REQ_ATA_PASSTHROUGH, block.data(), inLen, block.data() + inLen,
                             outLen) != 0)
        return 1;
    ARK_ATA_PASSTHROUGH reply;
    std::memcpy(&reply, block.data() + inLen, sizeof reply);
    if ((reply.command & (kStatusError | kStatusDeviceFault)) != 0) {
        TCGLOG(TCG_DBG) << "Drive status " << unsigned(reply.command) << " error "
                        << unsigned(reply.features);
        return 1;
    }
    return 0;
}

// ATA strings keep two characters per word, the first in the high byte.
void copyAtaString(char* out, const uint8_t* in, size_t length) {
    for (size_t i = 0; i < length; i += 2) {
        out[i] = char(in[i + 1]);
        out[i + 1] = char(in[i]);
    }
}

}  // namespace

TcgDiskATA::~TcgDiskATA() {
    TCGLOG(TCG_DBG1) << "Destroying TcgDiskATA";
}

uint8_t TcgDiskATA::init(const char* devref) {
    TCGLOG(TCG_DBG1) << "Creating TcgDiskATA::TcgDiskATA() " << devref;
    diskId = devref != nullptr ? findDiskByLocation(devref) : 0;
    bound = diskId != 0;
    return bound;
}

uint8_t TcgDiskATA::sendCmd(uint8_t cmd, uint8_t protocol, uint16_t comID, void* buffer,
                            uint32_t bufferlen) {
    TCGLOG(TCG_DBG1) << "Entering TcgDiskATA::sendCmd " << int(cmd) << " protocol " << int(protocol)
                     << " comID " << int(comID) << " bufferlen " << bufferlen;
    const uint32_t sectors = bufferlen / ARK_SECTOR_SIZE;
    if (buffer == nullptr || bufferlen == 0 || bufferlen % ARK_SECTOR_SIZE != 0 ||
        sectors > 0xFFFF) {
        std::printf("sendCmd failed!\n");
        return 1;
    }
    const bool toDisk = cmd == kTrustedSend;
    std::vector<uint8_t> block(size_t(bufferlen) + 2 * kHeaderSize);
    ARK_ATA_PASSTHROUGH header{};
    header.disk = diskId;
    header.features = protocol;
    header.sector_count = uint16_t(sectors);
    header.sectors = uint16_t(sectors);
    header.lba_mid = comID & 0xFF;
    header.lba_high = comID >> 8;
    header.command = cmd;
    header.protocol = toDisk ? ARK_ATA_DATA_OUT : ARK_ATA_DATA_IN;
    std::memcpy(block.data(), &header, sizeof header);
    if (toDisk) std::memcpy(block.data() + kHeaderSize, buffer, bufferlen);
    const uint32_t inLen = kHeaderSize + (toDisk ? bufferlen : 0);
    const uint32_t outLen = kHeaderSize + (toDisk ? 0 : bufferlen);
    if (passThrough(block, inLen, outLen) != 0) {
        std::printf("sendCmd failed!\n");
        return 1;
    }
    if (!toDisk) std::memcpy(buffer, block.data() + 2 * kHeaderSize, bufferlen);
    return 0;
}

void TcgDiskATA::identify(TcgDiskInfo& diskInfo) {
    TCGLOG(TCG_DBG1) << "Entering TcgDiskATA::identify()";
    std::vector<uint8_t> block(2 * kHeaderSize + ARK_SECTOR_SIZE);
    ARK_ATA_PASSTHROUGH header{};
    header.disk = diskId;
    header.command = kIdentify;
    header.sectors = 1;
    header.protocol = ARK_ATA_DATA_IN;
    std::memcpy(block.data(), &header, sizeof header);
    if (passThrough(block, kHeaderSize, kHeaderSize + ARK_SECTOR_SIZE) != 0) {
        std::printf("ATA IDENTIFY failed!\n");
        return;
    }
    const uint8_t* id = block.data() + 2 * kHeaderSize;
    copyAtaString(diskInfo.serialNumber, id + 20, 20);
    copyAtaString(diskInfo.firmwareRevision, id + 46, 8);
    copyAtaString(diskInfo.modelNumber, id + 54, 40);
    // Word 48 bit 0: the trusted computing feature set.
    if (id[96] & 0x01) diskInfo.interfaceType = 0;
    TCGLOG(TCG_DBG1) << "Leaving TcgDiskATA::identify()";
}
