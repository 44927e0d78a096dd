#pragma once

#include "tcg_dev_operations.h"
#include "tcg_dev_os.h"

// A device that supports no operation: used to probe a drive before its SSC is known. Every
// operation logs that it is not supported and returns 0xFF.
class TcgDevGeneric : public TcgDevOS {
public:
    ~TcgDevGeneric() override;

    // Does nothing: the probe opens through TcgDevOS::openDevice.
    void openDevice(const char* devref) override;

    TCG_DEV_OPERATIONS_OVERRIDE
    uint8_t exec(TcgCommand& cmd, TcgResponse& response, uint8_t protocol) override;
    uint16_t comID() override;
};
