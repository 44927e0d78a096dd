#pragma once

#include <cstdint>

#include "tcg_disk_type.h"

// A drive behind the controller, reached by ATA pass-through requests to the utility's current
// domain. The drive is named by its location ("1/2", "1/E2/3"); its ATA status is checked on
// every reply, so a command the drive aborted is a failure.
class TcgDiskATA : public TcgDiskType {
public:
    TcgDiskATA() = default;
    ~TcgDiskATA() override;

    uint8_t init(const char* devref) override;
    uint8_t sendCmd(uint8_t cmd, uint8_t protocol, uint16_t comID, void* buffer,
                    uint32_t bufferlen) override;
    void identify(TcgDiskInfo& diskInfo) override;

    uint32_t diskId = 0;  // 0 = not found
    uint8_t bound = 0;
};
