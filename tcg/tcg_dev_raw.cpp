// Objects and method calls named in hex on the command line, with the drive's reply printed.
#include <cstdio>
#include <cstring>

#include "tcg_command.h"
#include "tcg_dev_enterprise.h"
#include "tcg_log.h"
#include "tcg_ops_util.h"
#include "tcg_response.h"
#include "tcg_session.h"
#include "tcg_status.h"

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Hex text (pairs of digits, nothing else) into bytes.
bool parseHex(const char* text, TcgBytes& out) {
    out.clear();
    const size_t n = text != nullptr ? std::strlen(text) : 0;
    if (n % 2 != 0) return false;
    for (size_t i = 0; i < n; i += 2) {
        const int hi = hexDigit(text[i]), lo = hexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(uint8_t(hi << 4 | lo));
    }
    return true;
}

// A UID given as 16 hex digits, as its token.
bool parseUid(const char* text, TcgBytes& token) {
    TcgBytes bytes;
    if (!parseHex(text, bytes) || bytes.size() != 8) {
        TCGLOG(TCG_ERR) << "Invalid UID (16 hex digits) " << (text ? text : "");
        return false;
    }
    token = {0xA8};
    token.insert(token.end(), bytes.begin(), bytes.end());
    return true;
}

// The session for objDump and rawCmd: signed in as `auth` with `pass`, or anonymous when no
// password is given.
uint8_t startRawSession(TcgDev& dev, const TcgBytes& spToken, const TcgBytes& auth,
                        const char* pass) {
    // Sessions name their SP by table index; a raw SP is any of the known ones.
    OPAL_UID sp = OPAL_UID_COUNT;
    for (int i = 0; i < OPAL_UID_COUNT; ++i) {
        if (tcgUidToken(OPAL_UID(i)) == spToken) sp = OPAL_UID(i);
    }
    if (sp != OPAL_ADMINSP_UID && sp != OPAL_LOCKINGSP_UID && sp != ENTERPRISE_LOCKINGSP_UID) {
        TCGLOG(TCG_ERR) << "Unknown SP: give the Admin SP or a Locking SP";
        return kTcgInvalidParameter;
    }
    TcgSession& session = tcgNewSession(dev);
    if (pass == nullptr || *pass == '\0') return session.startSession(sp, nullptr, OPAL_UID_HEXFF);
    return session.startSession(sp, pass, auth);
}

void printReply(const TcgResponse& reply, bool secret) {
    if (secret) {
        std::printf("Reply: (it carries a credential and is not shown)\n");
        return;
    }
    std::printf("Reply:");
    for (uint32_t i = 0; i < reply.getTokenCount(); ++i) {
        const std::vector<uint8_t>* token = reply.getRawToken(i);
        std::printf("\n ");
        for (uint8_t b : *token) std::printf(" %02X", b);
    }
    std::printf("\n");
}

}  // namespace

uint8_t tcgObjDump(TcgDev& dev, const char* sp, const char* auth, const char* pass,
                   const char* objID) {
    TCGLOG(TCG_DBG1) << "Entering objDump";
    TcgBytes spToken, authToken, object;
    if (!parseUid(sp, spToken) || !parseUid(auth, authToken) || !parseUid(objID, object))
        return kTcgInvalidParameter;
    uint8_t rc = startRawSession(dev, spToken, authToken, pass);
    if (rc == 0) {
        const bool enterprise = dynamic_cast<TcgDevEnterprise*>(&dev) != nullptr;
        TcgCommand cmd;
        cmd.reset(OPAL_AUTHORITY_TABLE, enterprise ? EGET : GET);
        cmd.changeInvokingUid(object);
        // An empty cell block: every column of the row.
        cmd.addToken(STARTLIST);
        cmd.addToken(STARTLIST);
        cmd.addToken(ENDLIST);
        cmd.addToken(ENDLIST);
        const bool secret = object[4] == 0x0B;  // a C_PIN row
        if (secret) cmd.markSecretReply();
        rc = uint8_t(cmd.complete(1));
        if (rc == 0) rc = dev.activeSession->sendCommand(cmd, dev.lastResponse);
        if (rc == 0) printReply(dev.lastResponse, secret);
    }
    tcgEndSession(dev);
    if (rc != 0) TCGLOG(TCG_ERR) << "objDump Failed ";
    return rc;
}

uint8_t tcgRawCmd(TcgDev& dev, const char* sp, const char* auth, const char* pass,
                  const char* invoker, const char* method, const char* plist) {
    TCGLOG(TCG_DBG1) << "Entering rawCmd";
    TcgBytes spToken, authToken, invokerToken, methodToken, params;
    if (!parseUid(sp, spToken) || !parseUid(auth, authToken) || !parseUid(invoker, invokerToken) ||
        !parseUid(method, methodToken))
        return kTcgInvalidParameter;
    if (!parseHex(plist, params)) {
        TCGLOG(TCG_ERR) << "Invalid parameter list (hex bytes) " << plist;
        return kTcgInvalidParameter;
    }
    uint8_t rc = startRawSession(dev, spToken, authToken, pass);
    if (rc == 0) {
        TcgCommand cmd;
        cmd.reset(OPAL_AUTHORITY_TABLE, methodToken);
        cmd.changeInvokingUid(invokerToken);
        cmd.addToken(STARTLIST);
        if (!params.empty()) cmd.addToken(params);
        cmd.addToken(ENDLIST);
        // What comes back is not known in advance: a credential may be in it.
        cmd.markSecretReply();
        rc = uint8_t(cmd.complete(1));
        if (rc == 0) rc = dev.activeSession->sendCommand(cmd, dev.lastResponse);
        if (rc == 0) printReply(dev.lastResponse, invokerToken[4] == 0x0B);
    }
    tcgEndSession(dev);
    if (rc != 0) TCGLOG(TCG_ERR) << "rawCmd Failed ";
    return rc;
}
