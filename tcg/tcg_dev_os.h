#pragma once

#include "tcg_dev.h"

// The device layer over a transport: opens a drive by its location name (IDENTIFY, then Level
// 0 Discovery) and carries transfers through a TcgDiskATA.
class TcgDevOS : public TcgDev {
public:
    TcgDevOS();
    ~TcgDevOS() override;

    void openDevice(const char* devref) override;
    uint8_t sendCmd(uint8_t cmd, uint8_t protocol, uint16_t comID, void* buffer,
                    uint32_t bufferlen) override;
    void sleepMs(uint32_t ms) override;
    void identify(TcgDiskInfo& diskInfo) override;
};
