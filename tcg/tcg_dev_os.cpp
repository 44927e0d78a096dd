#include "tcg_dev_os.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "tcg_disk_ata.h"
#include "tcg_log.h"
#include "tcg_session.h"

TcgDevOS::TcgDevOS() = default;

TcgDevOS::~TcgDevOS() {
    TCGLOG(TCG_DBG1) << "Destroying TcgDevOS";
    if (activeSession) activeSession->expectAbort();
    activeSession.reset();
    transport.reset();
}

void TcgDevOS::openDevice(const char* devref) {
    TCGLOG(TCG_DBG1) << "Creating TcgDevOS::TcgDevOS() " << devref;
    deviceName = devref;
    std::memset(&diskInfo, 0, sizeof diskInfo);
    opened = 1;
    auto ata = std::make_unique<TcgDiskATA>();
    ata->init(devref);
    transport = std::move(ata);
    identify(diskInfo);
    discovery0();
}

uint8_t TcgDevOS::sendCmd(uint8_t cmd, uint8_t protocol, uint16_t comID, void* buffer,
                          uint32_t bufferlen) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOS::sendCmd";
    const uint8_t rc = transport ? transport->sendCmd(cmd, protocol, comID, buffer, bufferlen) : 1;
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOS::sendCmd";
    return rc;
}

void TcgDevOS::sleepMs(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void TcgDevOS::identify(TcgDiskInfo& info) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOS::identify()";
    if (transport) transport->identify(info);
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOS::identify()";
}
