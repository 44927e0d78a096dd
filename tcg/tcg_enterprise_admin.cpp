// Enterprise SSC operations on credentials and the SPs' life: the MSID, the SID and the
// Locking SP masters, ownership, reverts, initial setup, and what the SSC does not offer.
#include <cstdio>
#include <cstring>
#include <string>

#include "tcg_command.h"
#include "tcg_dev_enterprise.h"
#include "tcg_hash.h"
#include "tcg_log.h"
#include "tcg_ops_util.h"
#include "tcg_session.h"
#include "tcg_status.h"

namespace {

constexpr uint32_t kMaxBand = 1023;

uint8_t sendMethod(TcgDev& dev, TcgCommand& cmd) {
    uint8_t rc = uint8_t(cmd.complete(1));
    if (rc == 0) rc = dev.activeSession->sendCommand(cmd, dev.lastResponse);
    return rc;
}

uint8_t notInEnterprise(const char* text) {
    TCGLOG(TCG_ERR) << text;
    return kTcgInvalidParameter;
}

bool empty(const char* text) {
    return text == nullptr || *text == '\0';
}

}  // namespace

uint8_t TcgDevEnterprise::getDefaultPassword() {
    TCGLOG(TCG_DBG1) << "Entering TcgDevEnterprise::getDefaultPassword()";
    TcgSession& session = tcgNewSession(*this);
    uint8_t rc = session.startSession(OPAL_ADMINSP_UID, nullptr, OPAL_UID_HEXFF);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "Unable to start Unauthenticated session " << deviceName;
        tcgEndSession(*this);
        return rc;
    }
    rc = getTable(tcgUidToken(OPAL_C_PIN_MSID), "PIN", "PIN");
    tcgEndSession(*this);
    if (rc == 0 && !lastResponse.getString(5)) rc = kTcgBadReply;
    TCGLOG(TCG_DBG1) << "Exiting TcgDevEnterprise::getDefaultPassword()";
    return rc;
}

uint8_t TcgDevEnterprise::readMsid(std::string& msid) {
    const uint8_t rc = getDefaultPassword();
    if (rc != 0) return rc;
    msid = *lastResponse.getString(5);
    msid.resize(strnlen(msid.c_str(), msid.size()));
    return 0;
}

uint8_t TcgDevEnterprise::printDefaultPassword() {
    std::string msid;
    const uint8_t rc = readMsid(msid);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "unable to retrieve MSID";
        return rc;
    }
    std::printf("MSID: %s\n", msid.c_str());
    return 0;
}

uint8_t TcgDevEnterprise::setSIDPassword(const char* oldpassword, const char* newpassword,
                                         uint8_t hasholdpwd, uint8_t hashnewpwd) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevEnterprise::setSIDPassword()";
    std::string msid;
    if (empty(oldpassword) || empty(newpassword)) {
        const uint8_t rc = readMsid(msid);
        if (rc != 0) {
            TCGLOG(TCG_ERR) << "setSIDPassword failed to retrieve MSID";
            return rc;
        }
        if (empty(oldpassword)) {
            oldpassword = msid.c_str();
            hasholdpwd = 0;
        }
        if (empty(newpassword)) {
            newpassword = msid.c_str();
            hashnewpwd = 0;
        }
    }
    TcgSession& session = tcgNewSession(*this);
    if (!hasholdpwd) session.dontHashPwd();
    uint8_t rc = session.startSession(OPAL_ADMINSP_UID, oldpassword, OPAL_SID_UID);
    if (rc != 0) {
        tcgEndSession(*this);
        return rc;
    }
    TcgBytes credential;
    if (hashnewpwd) {
        TcgHashPwd(credential, newpassword, this);
    } else {
        credential = tcgClearCredential(newpassword);
    }
    rc = setTable(tcgUidToken(OPAL_C_PIN_SID), "PIN", credential);
    if (rc == 0) {
        TCGLOG(TCG_INFO) << "SID password changed";
    } else {
        TCGLOG(TCG_ERR) << "Unable to set new SID password ";
    }
    tcgEndSession(*this);
    TCGLOG(TCG_DBG1) << "Exiting TcgDevEnterprise::setSIDPassword()";
    return rc;
}

uint8_t TcgDevEnterprise::takeOwnership(const char* newpassword) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevEnterprise::takeOwnership()";
    std::string msid;
    uint8_t rc = readMsid(msid);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "takeOwnership failed unable to retrieve MSID";
        return rc;
    }
    if ((rc = setSIDPassword(msid.c_str(), newpassword, 0, 1)) != 0) {
        TCGLOG(TCG_ERR) << "takeOwnership failed unable to set new SID password";
        return rc;
    }
    if ((rc = initLSPUsers(msid.c_str(), newpassword)) != 0) {
        TCGLOG(TCG_ERR) << "takeOwnership failed unable to set Locking SP user passwords";
        return rc;
    }
    TCGLOG(TCG_INFO) << "takeOwnership complete";
    TCGLOG(TCG_DBG1) << "Exiting TcgDevEnterprise::takeOwnership()";
    return 0;
}

uint8_t TcgDevEnterprise::initLSPUsers(const char* defaultPassword, const char* newPassword) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevEnterprise::initLSPUsers()";
    TcgBytes credential;
    TcgHashPwd(credential, newPassword, this);
    TcgSession& session = tcgNewSession(*this);
    session.dontHashPwd();
    uint8_t rc =
        session.startSession(ENTERPRISE_LOCKINGSP_UID, defaultPassword, ENTERPRISE_ERASEMASTER_UID);
    if (rc == 0) {
        rc = setTable(tcgCPinOf(tcgUidToken(ENTERPRISE_ERASEMASTER_UID)), "PIN", credential);
        if (rc == 0) {
            TCGLOG(TCG_INFO) << "EraseMaster password set";
        } else {
            TCGLOG(TCG_ERR) << "Unable to set new EraseMaster password ";
        }
    }
    tcgEndSession(*this);
    if (rc != 0) return rc;
    uint16_t max = 0;
    if ((rc = getMaxRanges(&max)) != 0) return rc;
    if (max == 0 || max > kMaxBand) return kTcgFailed;
    TCGLOG(TCG_INFO) << "Maximum ranges supported " << max;
    std::string kept;
    uint8_t lastFailure = 0;
    for (uint32_t n = 0; n <= max; ++n) {
        TCGLOG(TCG_DBG3) << "initializing BandMaster" << n;
        TcgSession& band = tcgNewSession(*this);
        band.dontHashPwd();
        rc = band.startSession(ENTERPRISE_LOCKINGSP_UID, defaultPassword,
                               tcgBandMasterUid(uint16_t(n)));
        if (rc == 0) {
            rc = setTable(tcgCPinOf(tcgBandMasterUid(uint16_t(n))), "PIN", credential);
            if (rc == 0) {
                TCGLOG(TCG_INFO) << "BandMaster" << n << " password set";
            } else {
                TCGLOG(TCG_ERR) << "Unable to set BandMaster" << n << " new password ";
            }
        }
        tcgEndSession(*this);
        if (rc != 0) {
            if (n == 0) return rc;
            // Carry on with the other bands, but do not call the drive owned.
            kept += (kept.empty() ? "" : ", ") + std::to_string(n);
            lastFailure = rc;
        }
    }
    if (!kept.empty()) {
        // What those masters hold now is not known here (the MSID, or a password set before).
        TCGLOG(TCG_WARN) << "BandMaster passwords not set for bands " << kept;
        return lastFailure;
    }
    TCGLOG(TCG_DBG1) << "Exiting TcgDevEnterprise::initLSPUsers()";
    return 0;
}

uint8_t TcgDevEnterprise::setPassword(const char* password, const char* userid,
                                      const char* newpassword) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevEnterprise::setPassword";
    TcgBytes authority;
    if (userid != nullptr && std::strcmp(userid, "EraseMaster") == 0) {
        authority = tcgUidToken(ENTERPRISE_ERASEMASTER_UID);
    } else if (const auto n = tcgNumberedName(userid, "BandMaster", 0, kMaxBand)) {
        authority = tcgBandMasterUid(uint16_t(*n));
    } else {
        TCGLOG(TCG_ERR) << "Invalid Userid " << (userid ? userid : "");
        return kTcgInvalidParameter;
    }
    std::string msid;
    const bool defaultOld = empty(password), defaultNew = empty(newpassword);
    if (defaultOld || defaultNew) {
        const uint8_t rc = readMsid(msid);
        if (rc != 0) {
            TCGLOG(TCG_ERR) << "setPassword failed to retrieve MSID";
            return rc;
        }
        if (defaultOld) password = msid.c_str();
        if (defaultNew) newpassword = msid.c_str();
    }
    TcgSession& session = tcgNewSession(*this);
    if (defaultOld) session.dontHashPwd();
    uint8_t rc = session.startSession(ENTERPRISE_LOCKINGSP_UID, password, authority);
    if (rc != 0) {
        tcgEndSession(*this);
        return rc;
    }
    TcgBytes credential;
    if (defaultNew) {
        credential = tcgClearCredential(newpassword);
    } else {
        TcgHashPwd(credential, newpassword, this);
    }
    rc = setTable(tcgCPinOf(authority), "PIN", credential);
    if (rc == 0) {
        TCGLOG(TCG_INFO) << userid << " password changed";
    } else {
        TCGLOG(TCG_ERR) << "Unable to set user " << userid << " new password " << int(rc);
    }
    tcgEndSession(*this);
    TCGLOG(TCG_DBG1) << "Exiting TcgDevEnterprise::setPassword()";
    return rc;
}

uint8_t TcgDevEnterprise::revertTPer(const char* password, uint8_t PSID, uint8_t AdminSP) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevEnterprise::revertTPer() " << AdminSP;
    TcgSession& session = tcgNewSession(*this);
    if (PSID) session.dontHashPwd();
    uint8_t rc =
        session.startSession(OPAL_ADMINSP_UID, password, PSID ? OPAL_PSID_UID : OPAL_SID_UID);
    if (rc == 0) {
        TcgCommand cmd;
        if (AdminSP) {
            cmd.reset(OPAL_ADMINSP_UID, REVERT);
        } else {
            cmd.reset(OPAL_THISSP_UID, REVERTSP);
        }
        cmd.addToken(STARTLIST);
        cmd.addToken(ENDLIST);
        rc = sendMethod(*this, cmd);
        if (rc == 0) {
            session.expectAbort();
            TCGLOG(TCG_INFO) << "revertTper completed successfully";
        }
    }
    tcgEndSession(*this);
    TCGLOG(TCG_DBG1) << "Exiting TcgDevEnterprise::revertTPer()";
    return rc;
}

uint8_t TcgDevEnterprise::revertLockingSP(const char* password, uint8_t keep) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevEnterprise::revertLockingSP()";
    TcgSession& session = tcgNewSession(*this);
    uint8_t rc = session.startSession(OPAL_ADMINSP_UID, password, OPAL_SID_UID);
    if (rc == 0) {
        TcgCommand cmd;
        cmd.reset(OPAL_THISSP_UID, REVERTSP);
        cmd.addToken(STARTLIST);
        cmd.addToken(STARTNAME);
        cmd.addToken("KeepGlobalRangeKey");
        cmd.addToken(uint64_t(keep));
        cmd.addToken(ENDNAME);
        cmd.addToken(ENDLIST);
        rc = sendMethod(*this, cmd);
        if (rc == 0) {
            TCGLOG(TCG_INFO) << "revertLockingSP completed successfully";
            session.expectAbort();
        }
    }
    tcgEndSession(*this);
    TCGLOG(TCG_DBG1) << "Exiting TcgDevEnterprise::revertLockingSP()";
    return rc;
}

uint8_t TcgDevEnterprise::initialSetup(const char* password) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevEnterprise::initialSetup()";
    uint8_t rc = takeOwnership(password);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "Initial setup failed - unable to take ownership";
        return rc;
    }
    if ((rc = setLockingRange(0, 1, password)) != 0) {
        TCGLOG(TCG_ERR) << "Initial setup failed - unable to unlock for read/write";
        return rc;
    }
    if ((rc = configureLockingRange(0, 3, password)) != 0) {
        TCGLOG(TCG_ERR) << "Initial setup failed - unable to enable read/write locking";
        return rc;
    }
    TCGLOG(TCG_INFO) << "Initial setup of TPer complete on " << deviceName;
    TCGLOG(TCG_DBG1) << "Exiting TcgDevEnterprise::initialSetup()";
    return 0;
}

uint8_t TcgDevEnterprise::setup_SUM(uint8_t, uint64_t, uint64_t, const char*, const char*) {
    TCGLOG(TCG_INFO) << "setup_SUM not supported on TcgDevEnterprise";
    return 1;
}

uint8_t TcgDevEnterprise::setNewPassword_SUM(const char*, const char*, const char*) {
    TCGLOG(TCG_INFO) << "setNewPassword_SUM is not in the Enterprise SSC and not supported";
    return kTcgInvalidParameter;
}

uint8_t TcgDevEnterprise::enableUser(const char*, const char*, uint8_t) {
    return notInEnterprise("enableUser not implemented");
}

uint8_t TcgDevEnterprise::activateLockingSP(const char*) {
    return notInEnterprise("activate Locking SP is not a part of the Enterprise SSC ");
}

uint8_t TcgDevEnterprise::activateLockingSP_SUM(uint8_t, const char*) {
    return notInEnterprise("activate Locking SP SUM is not a part of the Enterprise SSC ");
}

uint8_t TcgDevEnterprise::eraseLockingRange_SUM(uint8_t, const char*) {
    return notInEnterprise("Erase Locking Range SUM is not a part of the Enterprise SSC ");
}

uint8_t TcgDevEnterprise::setLockingRange_SUM(uint8_t, uint8_t, const char*) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevEnterprise::setLockingRange_SUM()";
    TCGLOG(TCG_ERR) << "setLockingRange_SUM not implemented";
    TCGLOG(TCG_DBG1) << "Exiting TcgDevEnterprise::setLockingRange_SUM()";
    return kTcgInvalidParameter;
}

uint8_t TcgDevEnterprise::setupLockingRange_SUM(uint8_t, uint64_t, uint64_t, const char*) {
    // No password in this line: it would be printed.
    return notInEnterprise("setupLockingRange_SUM is not a part of the Enterprise SSC ");
}

uint8_t TcgDevEnterprise::loadPBA(const char*, const char*) {
    return notInEnterprise("loadPBA is not a part of the Enterprise SSC ");
}

uint8_t TcgDevEnterprise::setMBRDone(uint8_t, const char*) {
    return notInEnterprise("setMBRDone is not a part of the Enterprise SSC ");
}

uint8_t TcgDevEnterprise::setMBREnable(uint8_t, const char*) {
    return notInEnterprise("setMBREnable is not a part of the Enterprise SSC ");
}

uint8_t TcgDevEnterprise::objDump(const char* sp, const char* auth, const char* pass,
                                  const char* objID) {
    return tcgObjDump(*this, sp, auth, pass, objID);
}

uint8_t TcgDevEnterprise::rawCmd(const char* sp, const char* auth, const char* pass,
                                 const char* invoker, const char* method, const char* plist) {
    return tcgRawCmd(*this, sp, auth, pass, invoker, method, plist);
}
