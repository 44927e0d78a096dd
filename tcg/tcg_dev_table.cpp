// Reading and writing columns of one row inside the device's current session.
#include <string>

#include "tcg_command.h"
#include "tcg_dev_enterprise.h"
#include "tcg_dev_opal.h"
#include "tcg_log.h"
#include "tcg_ops_util.h"
#include "tcg_session.h"
#include "tcg_status.h"

namespace {

// A C_PIN row's reply holds a credential: dumps leave it out.
bool isCPinRow(const TcgBytes& table) {
    return table.size() == 9 && table[4] == 0x0B;
}

uint8_t send(TcgDev& dev, TcgCommand& cmd) {
    uint8_t rc = uint8_t(cmd.complete(1));
    if (rc == 0) rc = dev.activeSession->sendCommand(cmd, dev.lastResponse);
    TCGLOG(TCG_DBG1) << "Destroying TcgCommand";
    return rc;
}

void begin(TcgCommand& cmd, const TcgBytes& table, OPAL_METHOD method) {
    cmd.reset(OPAL_AUTHORITY_TABLE, method);
    cmd.changeInvokingUid(table);
    if (isCPinRow(table)) cmd.markSecretReply();
}

// PIN values are credentials: hidden from dumps.
void addValue(TcgCommand& cmd, const TcgBytes& value, bool secret) {
    if (secret) {
        cmd.addCredential(value);
    } else {
        cmd.addToken(value);
    }
}

}  // namespace

uint8_t TcgDevOpal::getTable(const std::vector<uint8_t>& table, uint16_t startcol,
                             uint16_t endcol) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::getTable";
    if (!activeSession) return kTcgNoObject;
    TcgCommand cmd;
    begin(cmd, table, GET);
    cmd.addToken(STARTLIST);
    cmd.addToken(STARTLIST);
    cmd.addToken(STARTNAME);
    cmd.addToken(UINT_03);  // startColumn
    cmd.addToken(uint64_t(startcol));
    cmd.addToken(ENDNAME);
    cmd.addToken(STARTNAME);
    cmd.addToken(UINT_04);  // endColumn
    cmd.addToken(uint64_t(endcol));
    cmd.addToken(ENDNAME);
    cmd.addToken(ENDLIST);
    cmd.addToken(ENDLIST);
    return send(*this, cmd);
}

uint8_t TcgDevOpal::setColumns(
    const std::vector<uint8_t>& table,
    const std::vector<std::pair<uint8_t, std::vector<uint8_t>>>& values) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::setTable";
    if (!activeSession) return kTcgNoObject;
    TcgCommand cmd;
    begin(cmd, table, SET);
    cmd.addToken(STARTLIST);
    cmd.addToken(STARTNAME);
    cmd.addToken(UINT_01);  // Values
    cmd.addToken(STARTLIST);
    for (const auto& [column, value] : values) {
        cmd.addToken(STARTNAME);
        cmd.addToken(std::vector<uint8_t>{column});
        addValue(cmd, value, isCPinRow(table) && column == 3);
        cmd.addToken(ENDNAME);
    }
    cmd.addToken(ENDLIST);
    cmd.addToken(ENDNAME);
    cmd.addToken(ENDLIST);
    const uint8_t rc = send(*this, cmd);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "Set Failed ";
        return rc;
    }
    TCGLOG(TCG_DBG1) << "Leaving TcgDevOpal::setTable";
    return 0;
}

uint8_t TcgDevOpal::setTable(const std::vector<uint8_t>& table, uint8_t name,
                             std::vector<uint8_t> value) {
    return setColumns(table, {{name, std::move(value)}});
}

uint8_t TcgDevOpal::setTable(const std::vector<uint8_t>& table, uint8_t name, uint8_t value) {
    return setColumns(table, {{name, std::vector<uint8_t>{value}}});
}

uint8_t TcgDevEnterprise::getTable(const std::vector<uint8_t>& table, const char* startcol,
                                   const char* endcol) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevEnterprise::getTable";
    if (!activeSession) return kTcgNoObject;
    TcgCommand cmd;
    begin(cmd, table, EGET);
    cmd.addToken(STARTLIST);
    cmd.addToken(STARTLIST);
    cmd.addToken(STARTNAME);
    cmd.addToken("startColumn");
    cmd.addToken(startcol);
    cmd.addToken(ENDNAME);
    cmd.addToken(STARTNAME);
    cmd.addToken("endColumn");
    cmd.addToken(endcol);
    cmd.addToken(ENDNAME);
    cmd.addToken(ENDLIST);
    cmd.addToken(ENDLIST);
    return send(*this, cmd);
}

uint8_t TcgDevEnterprise::setColumns(
    const std::vector<uint8_t>& table,
    const std::vector<std::pair<const char*, std::vector<uint8_t>>>& values) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevEnterprise::setTable";
    if (!activeSession) return kTcgNoObject;
    TcgCommand cmd;
    begin(cmd, table, ESET);
    cmd.addToken(STARTLIST);
    cmd.addToken(STARTLIST);  // an empty where
    cmd.addToken(ENDLIST);
    cmd.addToken(STARTLIST);
    cmd.addToken(STARTLIST);
    for (const auto& [name, value] : values) {
        cmd.addToken(STARTNAME);
        cmd.addToken(name);
        addValue(cmd, value, isCPinRow(table) && std::string(name) == "PIN");
        cmd.addToken(ENDNAME);
    }
    cmd.addToken(ENDLIST);
    cmd.addToken(ENDLIST);
    cmd.addToken(ENDLIST);
    const uint8_t rc = send(*this, cmd);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "Set Failed ";
        return rc;
    }
    TCGLOG(TCG_DBG1) << "Leaving TcgDevEnterprise::setTable";
    return 0;
}

uint8_t TcgDevEnterprise::setTable(const std::vector<uint8_t>& table, const char* name,
                                   std::vector<uint8_t> value) {
    return setColumns(table, {{name, std::move(value)}});
}
