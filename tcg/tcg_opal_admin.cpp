// Opal-family operations on the Admin SP and the Locking SP's life: the MSID, the SID
// password, ownership, activation, reverts and the composite setups.
#include <cstdio>
#include <cstring>
#include <string>

#include "tcg_command.h"
#include "tcg_dev_opal.h"
#include "tcg_hash.h"
#include "tcg_log.h"
#include "tcg_ops_util.h"
#include "tcg_session.h"
#include "tcg_status.h"

namespace {

// The single-user selection list of Activate and the keep-data parameter of RevertSP.
const TcgBytes kParameter060000 = {0x83, 0x06, 0x00, 0x00};

uint8_t sendMethod(TcgDev& dev, TcgCommand& cmd) {
    uint8_t rc = uint8_t(cmd.complete(1));
    if (rc == 0) rc = dev.activeSession->sendCommand(cmd, dev.lastResponse);
    return rc;
}

// The MSID text of the last Get, up to its first zero byte.
std::optional<std::string> msidOf(const TcgResponse& response, uint32_t index) {
    std::optional<std::string> pin = response.getString(index);
    if (pin) pin->resize(strnlen(pin->c_str(), pin->size()));
    return pin;
}

}  // namespace

uint8_t TcgDevOpal::getDefaultPassword() {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::getDefaultPassword()";
    TcgSession& session = tcgNewSession(*this);
    uint8_t rc = session.startSession(OPAL_ADMINSP_UID, nullptr, OPAL_UID_HEXFF);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "Unable to start Unauthenticated session " << deviceName;
        tcgEndSession(*this);
        return rc;
    }
    rc = getTable(tcgUidToken(OPAL_C_PIN_MSID), 3, 3);
    tcgEndSession(*this);
    if (rc == 0 && !msidOf(lastResponse, 4)) rc = kTcgBadReply;
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOpal::getDefaultPassword()";
    return rc;
}

uint8_t TcgDevOpal::printDefaultPassword() {
    const uint8_t rc = getDefaultPassword();
    if (rc != 0) {
        // Not reading it is a failure, not an empty answer.
        TCGLOG(TCG_ERR) << "unable to read MSID password";
        return rc;
    }
    std::printf("MSID: %s\n", msidOf(lastResponse, 4)->c_str());
    return 0;
}

uint8_t TcgDevOpal::setSIDPassword(const char* oldpassword, const char* newpassword,
                                   uint8_t hasholdpwd, uint8_t hashnewpwd) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::setSIDPassword()";
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
    rc = setTable(tcgUidToken(OPAL_C_PIN_SID), 3, credential);
    if (rc == 0) {
        TCGLOG(TCG_INFO) << "SID password changed";
    } else {
        TCGLOG(TCG_ERR) << "Unable to set new SID password ";
    }
    tcgEndSession(*this);
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOpal::setSIDPassword()";
    return rc;
}

uint8_t TcgDevOpal::takeOwnership(const char* newpassword) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::takeOwnership()";
    uint8_t rc = getDefaultPassword();
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "Unable to read MSID password ";
        return rc;
    }
    const std::string msid = *msidOf(lastResponse, 4);
    rc = setSIDPassword(msid.c_str(), newpassword, 0, 1);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "takeOwnership failed";
        return rc;
    }
    TCGLOG(TCG_INFO) << "takeOwnership complete";
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOpal::takeOwnership()";
    return 0;
}

uint8_t TcgDevOpal::checkLockingSpInactive() {
    uint8_t rc = getTable(tcgUidToken(OPAL_LOCKINGSP_UID), 6, 6);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "Unable to determine LockingSP Lifecycle state";
        return rc;
    }
    const std::optional<uint64_t> column = tcgReplyUint(lastResponse, 3);
    const std::optional<uint64_t> state = tcgReplyUint(lastResponse, 4);
    if (!column || *column != 6 || !state || *state != 8) {
        TCGLOG(TCG_ERR) << "Locking SP lifecycle is not Manufactured-Inactive";
        return kTcgInvalidParameter;
    }
    return 0;
}

uint8_t TcgDevOpal::activateLockingSP(const char* password) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::activateLockingSP()";
    TcgSession& session = tcgNewSession(*this);
    uint8_t rc = session.startSession(OPAL_ADMINSP_UID, password, OPAL_SID_UID);
    if (rc == 0) rc = checkLockingSpInactive();
    if (rc == 0) {
        TcgCommand cmd;
        cmd.reset(OPAL_LOCKINGSP_UID, ACTIVATE);
        cmd.addToken(STARTLIST);
        cmd.addToken(ENDLIST);
        rc = sendMethod(*this, cmd);
        if (rc == 0) TCGLOG(TCG_INFO) << "Locking SP Activate Complete";
    }
    tcgEndSession(*this);
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOpal::activatLockingSP()";
    return rc;
}

uint8_t TcgDevOpal::activateLockingSP_SUM(uint8_t lockingrange, const char* password) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::activateLockingSP_SUM()";
    uint8_t rc = checkSingleUserRange(lockingrange);
    if (rc != 0) return rc;
    const TcgBytes range = tcgOpalRangeUid(lockingrange);
    TcgSession& session = tcgNewSession(*this);
    rc = session.startSession(OPAL_ADMINSP_UID, password, OPAL_SID_UID);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "session->start failed with code " << int(rc);
        tcgEndSession(*this);
        return rc;
    }
    rc = checkLockingSpInactive();
    if (rc == 0) {
        TcgCommand cmd;
        cmd.reset(OPAL_LOCKINGSP_UID, ACTIVATE);
        cmd.addToken(STARTLIST);
        cmd.addToken(STARTNAME);
        cmd.addToken(kParameter060000);
        cmd.addToken(STARTLIST);
        cmd.addToken(range);
        cmd.addToken(ENDLIST);
        cmd.addToken(ENDNAME);
        cmd.addToken(ENDLIST);
        rc = sendMethod(*this, cmd);
        if (rc == 0)
            TCGLOG(TCG_INFO) << "Locking SP Activate Complete for single User"
                             << int(lockingrange) + 1 << " on locking range " << int(lockingrange);
    }
    tcgEndSession(*this);
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOpal::activateLockingSP_SUM()";
    return rc;
}

uint8_t TcgDevOpal::revertTPer(const char* password, uint8_t PSID, uint8_t AdminSP) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::revertTPer() " << AdminSP;
    TcgSession& session = tcgNewSession(*this);
    if (PSID) session.dontHashPwd();
    uint8_t rc =
        session.startSession(OPAL_ADMINSP_UID, password, PSID ? OPAL_PSID_UID : OPAL_SID_UID);
    if (rc == 0) {
        TcgCommand cmd;
        cmd.reset(OPAL_ADMINSP_UID, REVERT);
        cmd.addToken(STARTLIST);
        cmd.addToken(ENDLIST);
        rc = sendMethod(*this, cmd);
        if (rc == 0) {
            // The drive ended the session itself; a failed Revert leaves it to us.
            session.expectAbort();
            TCGLOG(TCG_INFO) << "revertTper completed successfully";
        } else {
            TCGLOG(TCG_ERR) << "revertTPer Failed ";
        }
    }
    tcgEndSession(*this);
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOpal::revertTPer()";
    return rc;
}

uint8_t TcgDevOpal::revertLockingSP(const char* password, uint8_t keep) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::revertLockingSP() keep = " << keep;
    TcgSession& session = tcgNewSession(*this);
    uint8_t rc = session.startSession(OPAL_LOCKINGSP_UID, password, OPAL_ADMIN1_UID);
    if (rc != 0) {
        tcgEndSession(*this);
        return rc;
    }
    TcgCommand cmd;
    cmd.reset(OPAL_THISSP_UID, REVERTSP);
    cmd.addToken(STARTLIST);
    if (keep) {
        cmd.addToken(STARTNAME);
        cmd.addToken(kParameter060000);
        cmd.addToken(UINT_01);
        cmd.addToken(ENDNAME);
    }
    cmd.addToken(ENDLIST);
    rc = sendMethod(*this, cmd);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "Command failed";
        tcgEndSession(*this);
        return rc;
    }
    TCGLOG(TCG_INFO) << "Revert LockingSP complete";
    session.expectAbort();
    tcgEndSession(*this);
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOpal::revertLockingSP()";
    return 0;
}

uint8_t TcgDevOpal::initialSetup(const char* password) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::initialSetup()";
    uint8_t rc = takeOwnership(password);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "Initial setup failed - unable to take ownership";
        return rc;
    }
    if ((rc = activateLockingSP(password)) != 0) {
        TCGLOG(TCG_ERR) << "Initial setup failed - unable to activate LockingSP";
        return rc;
    }
    if ((rc = configureLockingRange(0, 0, password)) != 0) {
        TCGLOG(TCG_ERR) << "Initial setup failed - unable to configure global locking range";
        return rc;
    }
    if ((rc = setLockingRange(0, 1, password)) != 0) {
        TCGLOG(TCG_ERR) << "Initial setup failed - unable to set global locking range RW";
        return rc;
    }
    uint8_t mbr = 0;
    if (!MBRAbsent()) mbr = setMBREnable(1, password);
    TCGLOG(TCG_INFO) << "Initial setup of TPer complete on " << deviceName;
    if (mbr != 0) {
        // The drive is usable; say which step did not happen.
        TCGLOG(TCG_WARN) << "Initial setup: MBR shadowing was not enabled (setMBREnable failed)";
        return mbr;
    }
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOpal::initialSetup()";
    return 0;
}

uint8_t TcgDevOpal::setup_SUM(uint8_t lockingrange, uint64_t start, uint64_t length,
                              const char* Admin1Password, const char* password) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::setup_SUM()";
    const std::string user = "User" + std::to_string(int(lockingrange) + 1);
    if (!diskInfo.Locking || !diskInfo.SingleUser) {
        TCGLOG(TCG_ERR) << "Setup_SUM failed - this drive does not support LockingSP / SUM";
        return kTcgInvalidParameter;
    }
    if (diskInfo.Locking_lockingEnabled && !diskInfo.SingleUser_any && !diskInfo.SingleUser_all) {
        TCGLOG(TCG_ERR)
            << "Setup_SUM failed - LockingSP has already been configured in standard mode.";
        return kTcgInvalidParameter;
    }
    // Before ownership is taken: a range the drive lacks changes nothing.
    uint8_t rc = checkSingleUserRange(lockingrange);
    if (rc != 0) return rc;
    auto setupFailed = [&](uint8_t status) {
        TCGLOG(TCG_ERR) << "Setup_SUM failed - unable to setup locking range " << int(lockingrange)
                        << "(" << (unsigned long long)start << "," << (unsigned long long)length
                        << ")";
        return status;
    };
    if (!diskInfo.Locking_lockingEnabled) {
        TCGLOG(TCG_DBG1) << "LockingSP not enabled. Beginning initial setup flow.";
        if ((rc = takeOwnership(Admin1Password)) != 0) {
            TCGLOG(TCG_ERR) << "Setup_SUM failed - unable to take ownership";
            return rc;
        }
        if ((rc = activateLockingSP_SUM(lockingrange, Admin1Password)) != 0) {
            TCGLOG(TCG_ERR) << "Setup_SUM failed - unable to activate LockingSP in SUM";
            return rc;
        }
        if ((rc = setupLockingRange_SUM(lockingrange, start, length, "")) != 0)
            return setupFailed(rc);
    }
    if ((rc = eraseLockingRange_SUM(lockingrange, Admin1Password)) != 0) {
        TCGLOG(TCG_ERR) << "Setup_SUM failed - unable to erase locking range";
        return rc;
    }
    const LockingRangeStatus status = getLockingRange_status(lockingrange, Admin1Password);
    if (status.result != 0) {
        TCGLOG(TCG_ERR) << "Setup_SUM failed - unable to query locking range start/size";
        return status.result;
    }
    if (status.start != start || status.length != length) {
        TCGLOG(TCG_DBG1) << "Incorrect Locking Range " << int(lockingrange)
                         << " start/size. Attempting to correct...";
        if ((rc = setupLockingRange_SUM(lockingrange, start, length, "")) != 0)
            return setupFailed(rc);
        TCGLOG(TCG_DBG1) << "Locking Range " << int(lockingrange) << " start/size corrected.";
    }
    if ((rc = setLockingRange_SUM(lockingrange, 1, "")) != 0) {
        TCGLOG(TCG_ERR) << "Setup_SUM failed - unable to enable locking range";
        return rc;
    }
    if ((rc = setNewPassword_SUM("", user.c_str(), password)) != 0) {
        TCGLOG(TCG_ERR) << "Setup_SUM failed - unable to set new locking range password";
        return rc;
    }
    TCGLOG(TCG_INFO) << "Setup of SUM complete on " << deviceName;
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOpal::setup_SUM()";
    return 0;
}
