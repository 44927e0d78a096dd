#pragma once

#include "tcg_dev_operations.h"
#include "tcg_dev_os.h"

// The Opal-family dialect, shared by Opal 1.0 and 2.0, Opalite, Pyrite 1.0 and 2.0 and Ruby
// 1.0; the variants differ only in the ComID they take from discovery. Opening a device also
// runs the Properties exchange.
class TcgDevOpal : public TcgDevOS {
public:
    ~TcgDevOpal() override;

    void puke() override;
    void openDevice(const char* devref) override;

    TCG_DEV_OPERATIONS_OVERRIDE
    uint8_t exec(TcgCommand& cmd, TcgResponse& response, uint8_t protocol) override;

    uint8_t properties();
};

class TcgDevOpal1 : public TcgDevOpal {
public:
    uint16_t comID() override;
};
class TcgDevOpal2 : public TcgDevOpal {
public:
    uint16_t comID() override;
};
class TcgDevOpalite : public TcgDevOpal {
public:
    uint16_t comID() override;
};
class TcgDevPyrite1 : public TcgDevOpal {
public:
    uint16_t comID() override;
};
class TcgDevPyrite2 : public TcgDevOpal {
public:
    uint16_t comID() override;
};
class TcgDevRuby1 : public TcgDevOpal {
public:
    uint16_t comID() override;
};
