// Opal-family authorities by name, their passwords and enabling them.
#include <string>

#include "tcg_dev_opal.h"
#include "tcg_hash.h"
#include "tcg_log.h"
#include "tcg_ops_util.h"
#include "tcg_session.h"
#include "tcg_status.h"

namespace {

constexpr uint32_t kMaxOpalAuthority = 255;

}  // namespace

uint8_t TcgDevOpal::getAuth4User(const char* userid, uint8_t uidorcpin,
                                 std::vector<uint8_t>& userData) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::getAuth4User()";
    userData.clear();
    if (uidorcpin != 0 && uidorcpin != 10) {
        TCGLOG(TCG_ERR) << "Invalid Userid data requested" << int(uidorcpin);
        return kTcgInvalidParameter;
    }
    // Whole decimal numbers only: "User300" or "User1x" name no authority.
    std::optional<uint32_t> n = tcgNumberedName(userid, "User", 1, kMaxOpalAuthority);
    uint8_t group = 0x03;
    if (!n) {
        n = tcgNumberedName(userid, "Admin", 1, kMaxOpalAuthority);
        group = 0x01;
    }
    if (!n) {
        TCGLOG(TCG_ERR) << "Invalid Userid " << (userid ? userid : "");
        return kTcgInvalidParameter;
    }
    userData = {0xA8, 0x00,  0x00, 0x00,       uint8_t(uidorcpin == 10 ? 0x0B : 0x09),
                0x00, group, 0x00, uint8_t(*n)};
    return 0;
}

uint8_t TcgDevOpal::startLockingSession(const char* password,
                                        const std::vector<uint8_t>& authority) {
    return tcgNewSession(*this).startSession(OPAL_LOCKINGSP_UID, password, authority);
}

uint8_t TcgDevOpal::findUser(const char* userid) {
    TcgBytes authority;
    uint8_t rc = getAuth4User(userid, 0, authority);
    // A well-formed name may still be no row of this drive's Authority table.
    if (rc == 0) rc = getTable(authority, 0, 0);
    if (rc == 0) return 0;
    // The drive's own refusal of the row means there is no such user; a failed exchange keeps
    // its code.
    if (!activeSession || !activeSession->drivesAnswer()) return rc;
    TCGLOG(TCG_ERR) << "Unable to find user " << userid << " in Authority Table";
    return kTcgInvalidParameter;
}

uint8_t TcgDevOpal::changePin(const char* password, const std::vector<uint8_t>& authority,
                              const std::vector<uint8_t>& cpin, const char* userid,
                              const char* newpassword, bool lookUpUser) {
    uint8_t rc = startLockingSession(password, authority);
    if (rc == 0 && lookUpUser) rc = findUser(userid);
    if (rc != 0) {
        tcgEndSession(*this);
        return rc;
    }
    TcgBytes credential;
    TcgHashPwd(credential, newpassword, this);
    rc = setTable(cpin, 3, credential);
    if (rc == 0) {
        TCGLOG(TCG_INFO) << userid << " password changed";
    } else {
        TCGLOG(TCG_ERR) << "Unable to set user " << userid << " new password ";
    }
    tcgEndSession(*this);
    return rc;
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the order of the tool's command line
uint8_t TcgDevOpal::setPassword(const char* password, const char* userid, const char* newpassword) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::setPassword";
    TcgBytes cpin;
    // A name that is no authority's is refused before anything is sent; one the drive does
    // not hold, once the Admin1 session has looked it up.
    uint8_t rc = getAuth4User(userid, 10, cpin);
    if (rc != 0) return rc;
    rc = changePin(password, tcgUidToken(OPAL_ADMIN1_UID), cpin, userid, newpassword, true);
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOpal::setPassword()";
    return rc;
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the order of the tool's command line
uint8_t TcgDevOpal::setNewPassword_SUM(const char* password, const char* userid,
                                       const char* newpassword) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::setNewPassword_SUM";
    TcgBytes cpin;
    const std::optional<uint32_t> user = tcgNumberedName(userid, "User", 1, kMaxOpalAuthority);
    const std::optional<uint32_t> admin = tcgNumberedName(userid, "Admin", 1, kMaxOpalAuthority);
    if ((!user && !admin) || getAuth4User(userid, 10, cpin) != 0) {
        TCGLOG(TCG_ERR) << "Invalid userid \"" << (userid ? userid : "")
                        << "\"specified for setNewPassword_SUM";
        return kTcgInvalidParameter;
    }
    const TcgBytes authority =
        user ? tcgUidWithLast(OPAL_USER1_UID, uint8_t(*user)) : tcgUidToken(OPAL_ADMIN1_UID);
    const uint8_t rc = changePin(password, authority, cpin, userid, newpassword, false);
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOpal::setNewPassword_SUM()";
    return rc;
}

uint8_t TcgDevOpal::enableUser(const char* password, const char* userid, uint8_t status) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::enableUser";
    TcgBytes authority;
    uint8_t rc = getAuth4User(userid, 0, authority);
    if (rc != 0) return rc;
    rc = startLockingSession(password, tcgUidToken(OPAL_ADMIN1_UID));
    if (rc == 0) rc = findUser(userid);
    if (rc != 0) {
        tcgEndSession(*this);
        return rc;
    }
    rc = setTable(authority, 5, uint8_t(status ? 0x01 : 0x00));
    if (rc == 0) {
        TCGLOG(TCG_INFO) << userid << " has been enabled ";
    } else {
        TCGLOG(TCG_ERR) << "Unable to enable user " << userid;
    }
    tcgEndSession(*this);
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOpal::enableUser()";
    return rc;
}
