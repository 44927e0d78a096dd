#include "ata_command.h"

#include <cstdio>
#include <cstring>

#include "selection.h"

namespace {

constexpr uint8_t kStatusError = 0x01;
constexpr uint8_t kStatusDeviceFault = 0x20;
constexpr uint8_t kStatusReady = 0x40;
constexpr uint8_t kStatusBusy = 0x80;
constexpr size_t kHeader = sizeof(ARK_ATA_PASSTHROUGH);

}  // namespace

AtaResult runAta(uint32_t disk, const AtaCommand& command, std::vector<uint8_t>* data) {
    AtaResult result;
    const size_t bytes = (data != nullptr && command.protocol != 0) ? data->size() : 0;
    if (bytes % ARK_SECTOR_SIZE != 0 || bytes / ARK_SECTOR_SIZE > 0xFFFF) return result;
    ARK_ATA_PASSTHROUGH header{};
    header.disk = disk;
    header.features = command.features;
    header.sector_count = command.count;
    header.lba_low = command.lbaLow;
    header.lba_mid = command.lbaMid;
    header.lba_high = command.lbaHigh;
    header.device = command.device;
    header.command = command.command;
    header.sectors = static_cast<uint16_t>(bytes / ARK_SECTOR_SIZE);
    header.protocol = bytes ? command.protocol : 0;

    // Request header, data to the disk, reply header, data from the disk.
    const bool in = header.protocol == ARK_ATA_DATA_IN;
    const size_t inLen = kHeader + (in ? 0 : bytes);
    std::vector<uint8_t> buffer(inLen + kHeader + (in ? bytes : 0), 0);
    std::memcpy(buffer.data(), &header, kHeader);
    if (!in && bytes) std::memcpy(buffer.data() + kHeader, data->data(), bytes);
    if (arkAtaPassthrough(g_currentDomain, buffer.data()) != 0) return result;
    std::memcpy(&result.reply, buffer.data() + inLen, kHeader);
    if (in && bytes) std::memcpy(data->data(), buffer.data() + inLen + kHeader, bytes);
    const uint8_t status = result.reply.command;
    if (status & (kStatusError | kStatusDeviceFault))
        result.outcome = AtaOutcome::Aborted;
    else if ((status & (kStatusReady | kStatusBusy)) != kStatusReady)
        result.outcome = AtaOutcome::UnexpectedStatus;
    else
        result.outcome = AtaOutcome::Ok;
    return result;
}

std::string ataFailureText(const AtaResult& result, const char* what) {
    char text[160];
    switch (result.outcome) {
        case AtaOutcome::Ok:
            return "";
        case AtaOutcome::RequestFailed:
            std::snprintf(text, sizeof text, "fail to send %s to the disk", what);
            break;
        case AtaOutcome::Aborted:
            std::snprintf(text, sizeof text, "the disk aborted %s (status 0x%02X, error 0x%02X)",
                          what, result.reply.command, result.reply.features & 0xFF);
            break;
        case AtaOutcome::UnexpectedStatus:
            std::snprintf(text, sizeof text, "the disk answered %s with status 0x%02X", what,
                          result.reply.command);
            break;
    }
    return text;
}
