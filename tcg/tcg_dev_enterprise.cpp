#include "tcg_dev_enterprise.h"

#include "tcg_command.h"
#include "tcg_dump.h"
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
    const bool annotate = tcgLogLevel() >= TCG_DBG;
    if (annotate) tcgAnnotatedDump("IF-SEND", cmd.getCmdBuffer(), cmd.secretSpans(), false);
    const uint8_t rc = tcgExec(*this, cmd, response, protocol, "Command failed on recv, returned ");
    if (annotate && rc == 0)
        tcgAnnotatedDump("IF-RECV", cmd.getRespBuffer(), {}, cmd.secretReply());
    return rc;
}

uint16_t TcgDevEnterprise::comID() {
    TCGLOG(TCG_DBG1) << "Entering TcgDevEnterprise::comID()";
    return diskInfo.Enterprise_basecomID;
}

void TcgDevEnterprise::puke() {
    TcgDev::puke();
    if (diskInfo.PropertiesExchanged) tcgPrintEnterpriseProperties(propertiesReply);
}
