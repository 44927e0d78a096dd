// Opal-family locking ranges: listing, status, setup, locking, keys and erasing.
#include <string>

#include "tcg_command.h"
#include "tcg_dev_opal.h"
#include "tcg_log.h"
#include "tcg_ops_util.h"
#include "tcg_session.h"
#include "tcg_status.h"

namespace {

constexpr uint32_t kMaxOpalRanges = 255;  // range numbers are one UID byte
constexpr uint16_t kActiveKeyColumn = 10;

const char* const kUserSessionFailed =
    "Error starting session. Did you provide the correct user password? (GlobalRange = User1; "
    "Range1 = User2, etc.)";

uint8_t sendMethod(TcgDev& dev, TcgCommand& cmd) {
    uint8_t rc = uint8_t(cmd.complete(1));
    if (rc == 0) rc = dev.activeSession->sendCommand(cmd, dev.lastResponse);
    return rc;
}

TcgBytes boolToken(bool value) {
    return TcgBytes{uint8_t(value ? 0x01 : 0x00)};
}

// The authority of a range in single-user mode: the global range belongs to User1.
// A range's place, its locking enabled or not, and unlocked: what range setup writes.
std::vector<std::pair<uint8_t, TcgBytes>> placedRange(uint64_t start, uint64_t length,
                                                      bool lockingEnabled) {
    return {{3, tcgUintToken(start)},       {4, tcgUintToken(length)},
            {5, boolToken(lockingEnabled)}, {6, boolToken(lockingEnabled)},
            {7, boolToken(false)},          {8, boolToken(false)}};
}

uint8_t rekeyFailed(uint8_t rc) {
    TCGLOG(TCG_ERR)
        << "setupLockingRange Unable to reKey Locking range -- Possible security issue ";
    return rc;
}

void logRangeSetUp(uint8_t lockingrange, uint64_t start, uint64_t length, const char* how) {
    TCGLOG(TCG_INFO) << "LockingRange" << int(lockingrange) << " starting block "
                     << (unsigned long long)start << " for " << (unsigned long long)length
                     << " blocks configured as " << how;
}

TcgBytes rangeUser(uint8_t range) {
    return tcgUidWithLast(OPAL_USER1_UID, uint8_t(range + 1));
}

// Reads a range's ActiveKey and generates a new key there, in the current session.
uint8_t genKey(TcgDevOpal& dev, const TcgBytes& range) {
    uint8_t rc = dev.getTable(range, kActiveKeyColumn, kActiveKeyColumn);
    if (rc != 0) return rc;
    const std::vector<uint8_t>* key = dev.lastResponse.getRawToken(4);
    if (key == nullptr || key->size() != 9 || (*key)[0] != 0xA8) {
        TCGLOG(TCG_ERR) << "Locking range has no ActiveKey";
        return kTcgBadReply;
    }
    TcgCommand cmd;
    cmd.reset(*key, tcgMethodToken(GENKEY));
    cmd.addToken(STARTLIST);
    cmd.addToken(ENDLIST);
    return sendMethod(dev, cmd);
}

}  // namespace

// Refuses a range the drive does not have (read from LockingInfo inside the session).
static uint8_t checkRange(TcgDevOpal& dev, uint8_t range) {
    if (range == 0) return 0;
    const uint8_t rc = dev.getTable(tcgUidToken(OPAL_LOCKING_INFO_TABLE), 4, 4);
    if (rc != 0) return rc;
    const std::optional<uint64_t> max = tcgReplyUint(dev.lastResponse, 4);
    if (!max) {
        TCGLOG(TCG_ERR) << "Unable to determine number of ranges ";
        return kTcgBadReply;
    }
    if (range > *max) {
        TCGLOG(TCG_ERR) << "Requested locking range " << int(range) << " greater than MaxRanges "
                        << (unsigned long long)*max;
        return kTcgFailed;
    }
    return 0;
}

// A range in Single User Mode is addressed through its own user, who may not exist for a range
// the drive lacks: the feature's count of locking objects (the global range among them) tells.
uint8_t TcgDevOpal::checkSingleUserRange(uint8_t lockingrange) {
    if (!diskInfo.SingleUser || diskInfo.SingleUser_lockingObjects == 0) return 0;
    const uint32_t max = diskInfo.SingleUser_lockingObjects - 1;
    if (lockingrange <= max) return 0;
    TCGLOG(TCG_ERR) << "Requested locking range " << int(lockingrange) << " greater than MaxRanges "
                    << max;
    return kTcgFailed;
}

uint8_t TcgDevOpal::listLockingRanges(const char* password, int16_t rangeid) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal:listLockingRanges()" << int(rangeid);
    uint8_t rc = startLockingSession(password, tcgUidToken(OPAL_ADMIN1_UID));
    if (rc == 0) rc = getTable(tcgUidToken(OPAL_LOCKING_INFO_TABLE), 4, 4);
    if (rc != 0) {
        tcgEndSession(*this);
        return rc;
    }
    const std::optional<uint64_t> max = tcgReplyUint(lastResponse, 4);
    if (!max) {
        TCGLOG(TCG_ERR) << "Unable to determine number of ranges ";
        tcgEndSession(*this);
        return kTcgBadReply;
    }
    if (*max > kMaxOpalRanges) {
        TCGLOG(TCG_ERR) << "MaxRanges " << (unsigned long long)*max << " is more than "
                        << kMaxOpalRanges << " ranges can be addressed";
        tcgEndSession(*this);
        return kTcgFailed;
    }
    TCGLOG(TCG_INFO) << "Locking Range Configuration for " << deviceName;
    for (uint32_t i = 0; i <= *max; ++i) {
        rc = getTable(tcgOpalRangeUid(uint8_t(i)), 3, 8);
        if (rc != 0) {
            tcgEndSession(*this);
            return rc;
        }
        std::optional<uint64_t> v[6];
        for (int k = 0; k < 6; ++k) v[k] = tcgReplyUint(lastResponse, 4 + 4 * k);
        for (const auto& value : v) {
            if (!value) {
                TCGLOG(TCG_ERR) << "locking range getTable command did not return enough data";
                tcgEndSession(*this);
                return kTcgBadReply;
            }
        }
        auto yn = [](const std::optional<uint64_t>& f) { return *f != 0 ? " Y " : " N "; };
        TCGLOG(TCG_INFO) << "LR" << i << " Begin " << (unsigned long long)*v[0] << " for "
                         << (unsigned long long)*v[1];
        TCGLOG(TCG_INFO) << "            RLKEna =" << yn(v[2]) << " WLKEna =" << yn(v[3])
                         << " RLocked =" << yn(v[4]) << " WLocked =" << yn(v[5]);
    }
    tcgEndSession(*this);
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOpal:listLockingRanges()";
    return 0;
}

TcgDevOpal::LockingRangeStatus TcgDevOpal::getLockingRange_status(uint8_t lockingrange,
                                                                  const char* password) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal:getLockingRange_status()";
    LockingRangeStatus status{};
    status.range = lockingrange;
    status.result = startLockingSession(password, tcgUidToken(OPAL_ADMIN1_UID));
    if (status.result == 0) status.result = getTable(tcgOpalRangeUid(lockingrange), 3, 8);
    if (status.result == 0) {
        std::optional<uint64_t> v[6];
        for (int k = 0; k < 6; ++k) v[k] = tcgReplyUint(lastResponse, 4 + 4 * k);
        if (lastResponse.getTokenCount() < 25 || !v[0] || !v[1] || !v[2] || !v[3] || !v[4] ||
            !v[5]) {
            TCGLOG(TCG_ERR) << "locking range getTable command did not return enough data";
            status.result = kTcgBadReply;
        } else {
            status.start = *v[0];
            status.length = *v[1];
            status.readLockEnabled = *v[2] != 0;
            status.writeLockEnabled = *v[3] != 0;
            status.readLocked = *v[4] != 0;
            status.writeLocked = *v[5] != 0;
            TCGLOG(TCG_DBG1) << "Locking Range " << int(lockingrange)
                             << " Begin: " << (unsigned long long)status.start
                             << " Length: " << (unsigned long long)status.length
                             << " RLKEna: " << status.readLockEnabled
                             << " WLKEna: " << status.writeLockEnabled
                             << " RLocked: " << status.readLocked
                             << " WLocked: " << status.writeLocked;
        }
    }
    tcgEndSession(*this);
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOpal:getLockingRange_status()";
    return status;
}

uint8_t TcgDevOpal::setupLockingRange(uint8_t lockingrange, uint64_t start, uint64_t length,
                                      const char* password) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal:setupLockingRange()";
    if (lockingrange == 0) {
        TCGLOG(TCG_ERR) << "global locking range cannot be changed";
        return kTcgFailed;
    }
    uint8_t rc = startLockingSession(password, tcgUidToken(OPAL_ADMIN1_UID));
    if (rc == 0) rc = checkRange(*this, lockingrange);
    if (rc == 0) {
        rc = setColumns(tcgOpalRangeUid(lockingrange), placedRange(start, length, false));
        if (rc != 0) TCGLOG(TCG_ERR) << "setupLockingRange Failed ";
    }
    tcgEndSession(*this);
    if (rc != 0) return rc;
    // The range was checked against MaxRanges above.
    rc = rekeyRange(lockingrange, password, false);
    if (rc != 0) return rekeyFailed(rc);
    logRangeSetUp(lockingrange, start, length, "unlocked range");
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOpal:setupLockingRange()";
    return 0;
}

uint8_t TcgDevOpal::setupLockingRange_SUM(uint8_t lockingrange, uint64_t start, uint64_t length,
                                          const char* password) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal:setupLockingRange_SUM()";
    if (lockingrange == 0) {
        TCGLOG(TCG_ERR) << "global locking range cannot be changed";
        return kTcgFailed;
    }
    uint8_t rc = checkSingleUserRange(lockingrange);
    if (rc != 0) return rc;
    const TcgBytes range = tcgOpalRangeUid(lockingrange);
    const TcgBytes user = rangeUser(lockingrange);
    rc = startLockingSession(password, user);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << kUserSessionFailed;
        tcgEndSession(*this);
        return rc;
    }
    rc = setColumns(range, placedRange(start, length, true));
    tcgEndSession(*this);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "setupLockingRange Failed ";
        return rc;
    }
    rc = rekeyLockingRange_SUM(range, user, password);
    if (rc != 0) return rekeyFailed(rc);
    logRangeSetUp(lockingrange, start, length, "LOCKED range");
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOpal:setupLockingRange_SUM()";
    return 0;
}

uint8_t TcgDevOpal::configureLockingRange(uint8_t lockingrange, uint8_t enabled,
                                          const char* password) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::configureLockingRange()";
    const bool readLocking = (enabled & 0x01) != 0;
    const bool writeLocking = (enabled & 0x02) != 0;
    uint8_t rc = startLockingSession(password, tcgUidToken(OPAL_ADMIN1_UID));
    if (rc == 0) rc = checkRange(*this, lockingrange);
    if (rc == 0) {
        rc = setColumns(tcgOpalRangeUid(lockingrange),
                        {{5, boolToken(readLocking)}, {6, boolToken(writeLocking)}});
        if (rc != 0) TCGLOG(TCG_ERR) << "configureLockingRange Failed ";
    }
    tcgEndSession(*this);
    if (rc != 0) return rc;
    std::string what;
    if (enabled == 0) {
        what = " disabled ReadLocking,WriteLocking";
    } else {
        what = " enabled ";
        if (readLocking) what += "ReadLocking";
        if (readLocking && writeLocking) what += ",";
        if (writeLocking) what += "WriteLocking";
    }
    TCGLOG(TCG_INFO) << "LockingRange" << int(lockingrange) << what;
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOpal::configureLockingRange()";
    return 0;
}

namespace {

struct LockState {
    bool readLocked, writeLocked, archive;
    const char* text;
};

bool lockState(uint8_t state, LockState& out) {
    switch (state) {
        case 1:
            out = {false, false, false, "RW"};
            return true;
        case 2:
            out = {false, true, false, "RO"};
            return true;
        case 3:
            out = {true, true, false, "LK"};
            return true;
        case 4:
            out = {true, true, true, "LK"};
            return true;
        case 5:
            out = {false, true, true, "RO"};
            return true;
        default:
            return false;
    }
}

// Columns 7 and 8 of a state; the archive states write ReadLocked only.
std::vector<std::pair<uint8_t, TcgBytes>> lockColumns(const LockState& s) {
    std::vector<std::pair<uint8_t, TcgBytes>> columns = {{7, boolToken(s.readLocked)}};
    if (!s.archive) columns.push_back({8, boolToken(s.writeLocked)});
    return columns;
}

}  // namespace

uint8_t TcgDevOpal::setLockingRange(uint8_t lockingrange, uint8_t lockingstate,
                                    const char* password) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::setLockingRange";
    LockState state;
    if (!lockState(lockingstate, state)) {
        TCGLOG(TCG_ERR) << "Invalid locking state for setLockingRange";
        return kTcgInvalidParameter;
    }
    uint8_t rc = startLockingSession(password, tcgUidToken(OPAL_ADMIN1_UID));
    if (rc == 0) rc = checkRange(*this, lockingrange);
    if (rc == 0) {
        rc = setColumns(tcgOpalRangeUid(lockingrange), lockColumns(state));
        if (rc != 0) TCGLOG(TCG_ERR) << "setLockingRange Failed ";
    }
    tcgEndSession(*this);
    if (rc != 0) return rc;
    TCGLOG(TCG_INFO) << "LockingRange" << int(lockingrange) << " set to " << state.text;
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOpal::setLockingRange";
    return 0;
}

uint8_t TcgDevOpal::setLockingRange_SUM(uint8_t lockingrange, uint8_t lockingstate,
                                        const char* password) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::setLockingRange_SUM";
    LockState state;
    if (!lockState(lockingstate, state)) {
        TCGLOG(TCG_ERR) << "Invalid locking state for setLockingRange";
        return kTcgInvalidParameter;
    }
    uint8_t rc = checkSingleUserRange(lockingrange);
    if (rc != 0) return rc;
    rc = startLockingSession(password, rangeUser(lockingrange));
    if (rc != 0) {
        TCGLOG(TCG_ERR) << kUserSessionFailed;
        tcgEndSession(*this);
        return rc;
    }
    rc = setColumns(tcgOpalRangeUid(lockingrange), lockColumns(state));
    tcgEndSession(*this);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "setLockingRange Failed ";
        return rc;
    }
    TCGLOG(TCG_INFO) << "LockingRange" << int(lockingrange) << " set to " << state.text;
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOpal::setLockingRange_SUM";
    return 0;
}

uint8_t TcgDevOpal::rekeyLockingRange(uint8_t lockingrange, const char* password) {
    return rekeyRange(lockingrange, password, true);
}

uint8_t TcgDevOpal::rekeyRange(uint8_t lockingrange, const char* password, bool checkFirst) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::rekeyLockingRange()";
    uint8_t rc = startLockingSession(password, tcgUidToken(OPAL_ADMIN1_UID));
    if (rc == 0 && checkFirst) rc = checkRange(*this, lockingrange);
    if (rc == 0) rc = genKey(*this, tcgOpalRangeUid(lockingrange));
    tcgEndSession(*this);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "rekeyLockingRange Failed ";
        return rc;
    }
    TCGLOG(TCG_INFO) << "LockingRange" << int(lockingrange) << " reKeyed ";
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOpal::rekeyLockingRange()";
    return 0;
}

uint8_t TcgDevOpal::rekeyLockingRange_SUM(const std::vector<uint8_t>& LR,
                                          const std::vector<uint8_t>& UID, const char* password) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::rekeyLockingRange_SUM()";
    uint8_t rc = startLockingSession(password, UID);
    if (rc == 0) rc = genKey(*this, LR);
    tcgEndSession(*this);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "rekeyLockingRange_SUM Failed ";
        return rc;
    }
    TCGLOG(TCG_INFO) << "LockingRange reKeyed ";
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOpal::rekeyLockingRange_SUM()";
    return 0;
}

uint8_t TcgDevOpal::eraseLockingRange_SUM(uint8_t lockingrange, const char* password) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::eraseLockingRange_SUM";
    uint8_t rc = startLockingSession(password, tcgUidToken(OPAL_ADMIN1_UID));
    if (rc == 0) rc = checkRange(*this, lockingrange);
    if (rc == 0) {
        TcgCommand cmd;
        cmd.reset(tcgOpalRangeUid(lockingrange), tcgMethodToken(ERASE));
        cmd.addToken(STARTLIST);
        cmd.addToken(ENDLIST);
        rc = sendMethod(*this, cmd);
    }
    tcgEndSession(*this);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "setLockingRange Failed ";
        return rc;
    }
    TCGLOG(TCG_INFO) << "LockingRange" << int(lockingrange) << " erased";
    TCGLOG(TCG_DBG1) << "Exiting TcgDevOpal::eraseLockingRange_SUM";
    return 0;
}

uint8_t TcgDevOpal::eraseLockingRange(uint8_t, const char*) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::eraseLockingRange";
    TCGLOG(TCG_ERR) << "eraseLockingRange is not implemented.  It is not part of the Opal SSC ";
    return kTcgInvalidParameter;
}

uint8_t TcgDevOpal::setBandsEnabled(int16_t, const char* password) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevOpal::setBandsEnabled";
    if (password == nullptr) {
        TCGLOG(TCG_ERR) << "Password is NULL";
    } else {
        TCGLOG(TCG_ERR) << "setBandsEnabled is not implemented.  It is not part of the Opal SSC ";
    }
    return kTcgInvalidParameter;
}
