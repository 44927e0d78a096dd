#include "tcg_session.h"

#include "tcg_command.h"
#include "tcg_dev.h"
#include "tcg_hash.h"
#include "tcg_log.h"
#include "tcg_response.h"
#include "tcg_status.h"

namespace {

constexpr uint8_t kHostSessionNumber = 105;
constexpr uint64_t kEnterpriseSessionTimeout = 60000;

}  // namespace

TcgSession::TcgSession(TcgDev* dev) : device(dev) {
    TCGLOG(TCG_DBG1) << "Creating TcgSsession()";
}

TcgSession::~TcgSession() {
    TCGLOG(TCG_DBG1) << "Destroying TcgSession";
    // A session that never started has nothing to end.
    if (willAbort || TSN == 0) return;
    TcgCommand cmd;
    cmd.reset();
    cmd.addToken(ENDOFSESSION);
    cmd.complete(0);
    TcgResponse response;
    if (sendCommand(cmd, response) != 0) TCGLOG(TCG_ERR) << "EndSession Failed";
}

const char* TcgSession::methodStatus(uint8_t status) {
    switch (status) {
        case 0:
            return "SUCCESS";
        case 1:
            return "NOT_AUTHORIZED";
        case 3:
            return "SP_BUSY";
        case 4:
            return "SP_FAILED";
        case 5:
            return "SP_DISABLED";
        case 6:
            return "SP_FROZEN";
        case 7:
            return "NO_SESSIONS_AVAILABLE";
        case 8:
            return "UNIQUENESS_CONFLICT";
        case 9:
            return "INSUFFICIENT_SPACE";
        case 10:
            return "INSUFFICIENT_ROWS";
        case 11:
            return "INVALID_FUNCTION";
        case 12:
            return "INVALID_PARAMETER";
        case 13:
            return "INVALID_REFERENCE";
        case 15:
            return "TPER_MALFUNCTION";
        case 16:
            return "TRANSACTION_FAILURE";
        case 17:
            return "RESPONSE_OVERFLOW";
        case 18:
            return "AUTHORITY_LOCKED_OUT";
        case 63:
            return "FAIL";
        default:
            return "Unknown status code";
    }
}

void TcgSession::addChallenge(TcgCommand& cmd, const char* password) {
    if (!hashPwd) {
        cmd.addCredentialText(password);
        return;
    }
    std::vector<uint8_t> token;
    TcgHashPwd(token, password, device);
    cmd.addCredential(token);
}

uint8_t TcgSession::startSession(OPAL_UID SP, const char* HostChallenge, OPAL_UID SignAuthority) {
    TCGLOG(TCG_DBG1) << "Entering TcgSession::startSession ";
    return startSession(SP, HostChallenge, tcgUidToken(SignAuthority));
}

uint8_t TcgSession::startSession(OPAL_UID SP, const char* HostChallenge,
                                 const std::vector<uint8_t>& SignAuthority) {
    TCGLOG(TCG_DBG1) << "Entering TcgSession::startSession ";
    const bool enterprise = device->isEprise();
    bool timeout = enterprise;
    TcgCommand cmd;
    TcgResponse response;
    for (;;) {
        cmd.reset(OPAL_SMUID_UID, STARTSESSION);
        cmd.addToken(STARTLIST);
        cmd.addToken(uint64_t(kHostSessionNumber));
        cmd.addToken(SP);
        cmd.addToken(UINT_01);  // write session
        if (HostChallenge != nullptr && !enterprise) {
            cmd.addToken(STARTNAME);
            cmd.addToken(UINT_00);
            addChallenge(cmd, HostChallenge);
            cmd.addToken(ENDNAME);
            cmd.addToken(STARTNAME);
            cmd.addToken(UINT_03);
            cmd.addToken(SignAuthority);
            cmd.addToken(ENDNAME);
        }
        if (timeout) {
            cmd.addToken(STARTNAME);
            cmd.addToken("SessionTimeout");
            cmd.addToken(kEnterpriseSessionTimeout);
            cmd.addToken(ENDNAME);
        }
        cmd.addToken(ENDLIST);
        uint8_t rc = cmd.complete(1);
        if (rc == 0) rc = sendCommand(cmd, response);
        lastRC = rc;
        if (rc == 0) break;
        if (timeout) {
            TCGLOG(TCG_DBG2) << "Session start with timeout failed rc = " << int(rc);
            timeout = false;
            continue;
        }
        TCGLOG(TCG_ERR) << "Session start failed rc = " << int(rc);
        return rc;
    }
    // The reply is SyncSession: Call, SMUID, method, Start_List, HSN, TSN, ...
    const std::optional<uint32_t> hsn = response.getUint32(4);
    const std::optional<uint32_t> tsn = response.getUint32(5);
    if (!hsn || !tsn || *tsn == 0) {
        TCGLOG(TCG_ERR) << "Session start reply carries no session numbers";
        lastRC = kTcgBadReply;
        return kTcgBadReply;
    }
    HSN = *hsn;
    TSN = *tsn;
    if (HostChallenge != nullptr && enterprise) return authenticate(SignAuthority, HostChallenge);
    return 0;
}

uint8_t TcgSession::authenticate(const std::vector<uint8_t>& Authority, const char* Challenge) {
    TCGLOG(TCG_DBG1) << "Entering TcgSession::authenticate ";
    const bool enterprise = device->isEprise();
    TcgCommand cmd;
    TcgResponse response;
    cmd.reset(OPAL_THISSP_UID, enterprise ? EAUTHENTICATE : AUTHENTICATE);
    cmd.addToken(STARTLIST);
    cmd.addToken(Authority);
    if (Challenge != nullptr && Challenge[0] != '\0') {
        cmd.addToken(STARTNAME);
        if (enterprise) {
            cmd.addToken("Challenge");
        } else {
            cmd.addToken(UINT_00);
        }
        addChallenge(cmd, Challenge);
        cmd.addToken(ENDNAME);
    }
    cmd.addToken(ENDLIST);
    uint8_t rc = cmd.complete(1);
    if (rc == 0) rc = sendCommand(cmd, response);
    lastRC = rc;
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "Session Authenticate failed";
        return rc;
    }
    const std::optional<uint8_t> result = response.getUint8(1);
    if (!result) {
        lastRC = kTcgBadReply;
        return kTcgBadReply;
    }
    if (*result != 0) {
        TCGLOG(TCG_DBG1) << "Exiting TcgSession::authenticate ";
        return 0;
    }
    TCGLOG(TCG_ERR) << "Session Authenticate failed (response = false)";
    lastRC = kTcgAuthFailed;
    return kTcgAuthFailed;
}

uint8_t TcgSession::sendCommand(TcgCommand& cmd, TcgResponse& response) {
    TCGLOG(TCG_DBG1) << "Entering TcgSession::sendCommand()";
    statusRead = false;
    if (cmd.failed()) {
        TCGLOG(TCG_ERR) << "Command not sent: it could not be built";
        return kTcgCommandFailed;
    }
    cmd.setHSN(HSN);
    cmd.setTSN(TSN);
    cmd.setcomID(device->comID());
    const uint8_t rc = device->exec(cmd, response, protocol);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "Command failed on exec " << int(rc);
        return rc;
    }
    if (response.getOutstandingData() == 0 && response.getMinTransfer() == 0 &&
        response.getComPacketLength() == 0) {
        TCGLOG(TCG_DBG1) << "All Response(s) returned no further data, request parsing error";
        return kTcgBadHeader;
    }
    if (response.getComPacketLength() == 0 || response.getPacketLength() == 0 ||
        response.getSubPacketLength() == 0) {
        TCGLOG(TCG_ERR) << "One or more header fields have 0 length";
        return kTcgBadHeader;
    }
    if (response.tokenIs(0) == ENDOFSESSION) return 0;
    const uint32_t count = response.getTokenCount();
    if (count >= 6 && response.tokenIs(count - 1) == ENDLIST &&
        response.tokenIs(count - 5) == STARTLIST) {
        const std::optional<uint64_t> status = response.getUint64(count - 4);
        if (!status || *status > 0xFF) {
            TCGLOG(TCG_ERR) << "Method Status is not a status code";
            return kTcgBadReply;
        }
        if (*status != 0)
            TCGLOG(TCG_ERR) << "method status code " << methodStatus(uint8_t(*status));
        statusRead = true;
        return uint8_t(*status);
    }
    TCGLOG(TCG_ERR) << "Method Status missing";
    return kTcgNoMethodStatus;
}
