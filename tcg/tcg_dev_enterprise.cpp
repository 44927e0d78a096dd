#include "tcg_dev_enterprise.h"

#include "tcg_exchange.h"
#include "tcg_log.h"
#include "tcg_session.h"

TcgDevEnterprise::~TcgDevEnterprise() {
    // Sessions end while this dialect can still send their End of Session.
    activeSession.reset();
}

uint8_t TcgDevEnterprise::properties() {
    return tcgProperties(*this, true);
}

uint8_t TcgDevEnterprise::exec(TcgCommand& cmd, TcgResponse& response, uint8_t protocol) {
    return tcgExec(*this, cmd, response, protocol, "Command failed on recv, returned ");
}

uint16_t TcgDevEnterprise::comID() {
    TCGLOG(TCG_DBG1) << "Entering TcgDevEnterprise::comID()";
    return diskInfo.Enterprise_basecomID;
}

void TcgDevEnterprise::puke() {
    TcgDev::puke();
    if (diskInfo.PropertiesExchanged) tcgPrintEnterpriseProperties(propertiesReply);
}
