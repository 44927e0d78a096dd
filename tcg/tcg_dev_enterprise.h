#pragma once

#include "tcg_dev_operations.h"
#include "tcg_dev_os.h"

// The Enterprise SSC dialect. Its Properties exchange is run by whoever opens the device.
class TcgDevEnterprise : public TcgDevOS {
public:
    ~TcgDevEnterprise() override;

    void puke() override;

    TCG_DEV_OPERATIONS_OVERRIDE
    uint8_t exec(TcgCommand& cmd, TcgResponse& response, uint8_t protocol) override;
    uint16_t comID() override;

    uint8_t properties();
};
