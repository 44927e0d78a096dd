#pragma once

#include <cstdint>

#include "tcg_disk_info.h"

// The channel that carries TCG transfers and IDENTIFY to one drive.
class TcgDiskType {
public:
    virtual ~TcgDiskType() = default;
    // Binds the device name to a drive; 1 when bound.
    virtual uint8_t init(const char* devref) = 0;
    // One TRUSTED SEND (0x5E) or RECEIVE (0x5C) of bufferlen bytes (a multiple of 512); 0 on
    // success, 1 on failure.
    virtual uint8_t sendCmd(uint8_t cmd, uint8_t protocol, uint16_t comID, void* buffer,
                            uint32_t bufferlen) = 0;
    // IDENTIFY DEVICE into the serial, firmware and model fields; the record is left as it
    // was when the drive does not answer.
    virtual void identify(TcgDiskInfo& diskInfo) = 0;
};
