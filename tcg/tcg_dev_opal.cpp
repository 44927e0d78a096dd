#include "tcg_dev_opal.h"

#include "tcg_exchange.h"
#include "tcg_log.h"
#include "tcg_session.h"

TcgDevOpal::~TcgDevOpal() {
    // Sessions end while this dialect can still send their End of Session.
    activeSession.reset();
}

void TcgDevOpal::openDevice(const char* devref) {
    TcgDevOS::openDevice(devref);
    if (properties() != 0) TCGLOG(TCG_ERR) << "Properties exchange failed";
}

uint8_t TcgDevOpal::properties() {
    return tcgProperties(*this, false);
}

uint8_t TcgDevOpal::exec(TcgCommand& cmd, TcgResponse& response, uint8_t protocol) {
    return tcgExec(*this, cmd, response, protocol, "Command failed on recv");
}

void TcgDevOpal::puke() {
    TcgDev::puke();
    if (diskInfo.PropertiesExchanged) tcgPrintOpalProperties(propertiesReply);
}

uint16_t TcgDevOpal1::comID() {
    return diskInfo.OPAL10_basecomID;
}
uint16_t TcgDevOpal2::comID() {
    return diskInfo.OPAL20_basecomID;
}
uint16_t TcgDevOpalite::comID() {
    return diskInfo.OPALITE_basecomID;
}
uint16_t TcgDevPyrite1::comID() {
    return diskInfo.PYRITE_basecomID;
}
uint16_t TcgDevPyrite2::comID() {
    return diskInfo.PYRITE2_basecomID;
}
uint16_t TcgDevRuby1::comID() {
    return diskInfo.RUBY10_basecomID;
}
