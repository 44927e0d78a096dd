// Enterprise SSC bands: how many there are, listing, setup, locking, keys, erasing, enabling.
#include <string>

#include "tcg_command.h"
#include "tcg_dev_enterprise.h"
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

TcgBytes boolToken(bool value) {
    return TcgBytes{uint8_t(value ? 0x01 : 0x00)};
}

bool empty(const char* text) {
    return text == nullptr || *text == '\0';
}

}  // namespace

uint8_t TcgDevEnterprise::readMaxRanges(const std::vector<uint8_t>& object, uint16_t* maxRanges) {
    TcgSession& session = tcgNewSession(*this);
    uint8_t rc = session.startSession(ENTERPRISE_LOCKINGSP_UID, nullptr, OPAL_UID_HEXFF);
    if (rc == 0) rc = getTable(object, "MaxRanges", "MaxRanges");
    if (rc == 0) {
        // The reply names the column before its value.
        const std::optional<uint64_t> max = tcgReplyUint(lastResponse, 5);
        if (!max || *max > 0xFFFF) {
            rc = kTcgBadReply;
        } else {
            *maxRanges = uint16_t(*max);
        }
    }
    tcgEndSession(*this);
    return rc;
}

uint8_t TcgDevEnterprise::getMaxRanges(uint16_t* maxRanges) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevEnterprise::getMaxRanges";
    if (readMaxRanges(tcgUidToken(OPAL_LOCKING_TABLE), maxRanges) == 0) return 0;
    return getMaxRangesFromRow(maxRanges);
}

uint8_t TcgDevEnterprise::getMaxRangesFromRow(uint16_t* maxRanges) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevEnterprise::getMaxRangesFromRow";
    const uint8_t rc = readMaxRanges(tcgUidToken(OPAL_LOCKING_INFO_TABLE), maxRanges);
    if (rc != 0) TCGLOG(TCG_ERR) << "Unable to get MaxRanges from LockingInfo table";
    return rc;
}

uint8_t TcgDevEnterprise::startBandSession(uint16_t band, const char* password, bool clear) {
    TcgSession& session = tcgNewSession(*this);
    if (clear) session.dontHashPwd();
    return session.startSession(ENTERPRISE_LOCKINGSP_UID, password, tcgBandMasterUid(band));
}

// The band must exist: 0x81 (nothing sent to the band) when it is above MaxRanges.
static uint8_t checkBand(TcgDevEnterprise& dev, uint32_t band) {
    uint16_t max = 0;
    const uint8_t rc = dev.getMaxRanges(&max);
    if (rc != 0) return rc;
    if (max == 0 || max > kMaxBand || band > max) {
        TCGLOG(TCG_ERR) << "Requested locking range " << band << " greater than MaxRanges " << max;
        return kTcgFailed;
    }
    return 0;
}

uint8_t TcgDevEnterprise::listLockingRanges(const char* password, int16_t rangeid) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevEnterprise::listLockingRanges";
    std::string msid;
    const bool clear = empty(password);
    if (clear) {
        const uint8_t rc = readMsid(msid);
        if (rc != 0) {
            TCGLOG(TCG_ERR) << "listLockingRanges"
                            << ": unable to retrieve MSID";
            return rc;
        }
        password = msid.c_str();
    }
    uint32_t last = 0;
    uint16_t max = 0;
    if (rangeid == -1) {
        const uint8_t rc = getMaxRanges(&max);
        if (rc != 0) return rc;
        last = max;
    } else {
        last = uint32_t(rangeid);
    }
    if (last > kMaxBand) return kTcgFailed;
    if (rangeid == -1) TCGLOG(TCG_INFO) << "Maximum ranges supported: " << max;
    uint8_t failure = 0;
    bool anyRead = false;
    for (uint32_t n = rangeid == -1 ? 0 : uint32_t(rangeid); n <= last; ++n) {
        TCGLOG(TCG_INFO) << "Band[" << n << "]:";
        uint8_t rc = startBandSession(uint16_t(n), password, clear);
        if (rc != 0) {
            TCGLOG(TCG_INFO) << "    could not establish session for row[" << n << "]";
            failure = rc;
            tcgEndSession(*this);
            continue;
        }
        rc = getTable(tcgBandUid(uint16_t(n)), "Name", "LockOnReset");
        tcgEndSession(*this);
        const TcgResponse& r = lastResponse;
        const std::optional<std::string> name = r.getString(5), commonName = r.getString(9);
        std::optional<uint64_t> v[6];
        bool complete = rc == 0 && name && commonName;
        for (int k = 0; k < 6; ++k) {
            v[k] = tcgReplyUint(r, 13 + 4 * k);
            complete = complete && v[k];
        }
        if (!complete) {
            TCGLOG(TCG_INFO) << "    row[" << n << "] not found in LOCKING table";
            failure = rc != 0 ? rc : kTcgBadReply;
            continue;
        }
        anyRead = true;
        const int lockOnReset = r.tokenIs(37) == STARTLIST && tcgReplyUint(r, 38) ? 1 : 0;
        TCGLOG(TCG_INFO) << "    Name:            " << *name;
        TCGLOG(TCG_INFO) << "    CommonName:      " << *commonName;
        TCGLOG(TCG_INFO) << "    RangeStart:      " << (unsigned long long)*v[0];
        TCGLOG(TCG_INFO) << "    RangeLength:     " << (unsigned long long)*v[1];
        TCGLOG(TCG_INFO) << "    ReadLockEnabled: " << int(*v[2] != 0);
        TCGLOG(TCG_INFO) << "    WriteLockEnabled:" << int(*v[3] != 0);
        TCGLOG(TCG_INFO) << "    ReadLocked:      " << int(*v[4] != 0);
        TCGLOG(TCG_INFO) << "    WriteLocked:     " << int(*v[5] != 0);
        TCGLOG(TCG_INFO) << "    LockOnReset:     " << lockOnReset;
    }
    TCGLOG(TCG_DBG1) << "Exiting TcgDevEnterprise::listLockingRanges";
    // All bands: a listing that read any band succeeded. One band: its failure is the result.
    if (rangeid == -1 && anyRead) return 0;
    return failure;
}

uint8_t TcgDevEnterprise::setupLockingRange(uint8_t lockingrange, uint64_t start, uint64_t length,
                                            const char* password) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevEnterprise::setupLockingRange";
    uint8_t rc = checkBand(*this, lockingrange);
    if (rc != 0) return rc;
    rc = startBandSession(lockingrange, password, false);
    if (rc == 0) {
        rc = setColumns(tcgBandUid(lockingrange), {{"RangeStart", tcgUintToken(start)},
                                                   {"RangeLength", tcgUintToken(length)},
                                                   {"ReadLockEnabled", boolToken(false)},
                                                   {"WriteLockEnabled", boolToken(false)},
                                                   {"ReadLocked", boolToken(false)},
                                                   {"WriteLocked", boolToken(false)},
                                                   {"LockOnReset", TcgBytes{STARTLIST, ENDLIST}}});
        if (rc != 0) TCGLOG(TCG_ERR) << "setupLockingRange Failed ";
    }
    tcgEndSession(*this);
    if (rc != 0) return rc;
    TCGLOG(TCG_INFO) << "LockingRange" << int(lockingrange) << " starting block "
                     << (unsigned long long)start << " for " << (unsigned long long)length
                     << " blocks configured as unlocked range";
    TCGLOG(TCG_DBG1) << "Exiting TcgDevEnterprise::setupLockingRange";
    return 0;
}

uint8_t TcgDevEnterprise::configureLockingRange(uint8_t lockingrange, uint8_t enabled,
                                                const char* password) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevEnterprise::configureLockingRange()";
    uint8_t rc = checkBand(*this, lockingrange);
    if (rc != 0) return rc;
    rc = startBandSession(lockingrange, password, false);
    if (rc == 0) {
        rc = setColumns(tcgBandUid(lockingrange),
                        {{"ReadLockEnabled", boolToken(enabled & 0x01)},
                         {"WriteLockEnabled", boolToken(enabled & 0x02)},
                         {"LockOnReset", TcgBytes{STARTLIST, 0x00, ENDLIST}}});
    }
    tcgEndSession(*this);
    if (rc != 0) return rc;
    TCGLOG(TCG_INFO) << "Locking range configured " << int(lockingrange);
    TCGLOG(TCG_DBG1) << "Exiting TcgDevEnterprise::configureLockingRange()";
    return 0;
}

uint8_t TcgDevEnterprise::setLockingRange(uint8_t lockingrange, uint8_t lockingstate,
                                          const char* password) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevEnterprise::setLockingRange";
    if (lockingstate == 2) {
        TCGLOG(TCG_ERR) << "Read Only locking state is unsupported in Enterprise SSC";
        return kTcgInvalidParameter;
    }
    if (lockingstate != 1 && lockingstate != 3) {
        TCGLOG(TCG_ERR) << "Invalid locking state for setLockingRange (RW=1, LOCKED=3)";
        return kTcgInvalidParameter;
    }
    uint8_t rc = checkBand(*this, lockingrange);
    if (rc != 0) return rc;
    const bool locked = lockingstate == 3;
    rc = startBandSession(lockingrange, password, false);
    if (rc == 0) {
        rc = setColumns(tcgBandUid(lockingrange),
                        {{"WriteLocked", boolToken(locked)}, {"ReadLocked", boolToken(locked)}});
    }
    tcgEndSession(*this);
    if (rc != 0) return rc;
    TCGLOG(TCG_INFO) << "Locking range Read/Write set " << int(lockingrange);
    TCGLOG(TCG_DBG1) << "Exiting TcgDevEnterprise::setLockingRange";
    return 0;
}

uint8_t TcgDevEnterprise::rekeyLockingRange(uint8_t lockingrange, const char* password) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevEnterprise::rekeyLockingRange()";
    uint8_t rc = checkBand(*this, lockingrange);
    if (rc != 0) return rc;
    rc = startBandSession(lockingrange, password, false);
    bool plaintext = false;
    if (rc == 0) rc = getTable(tcgBandUid(lockingrange), "ActiveKey", "ActiveKey");
    if (rc == 0) {
        const std::vector<uint8_t>* key = lastResponse.getRawToken(5);
        if (key == nullptr || key->size() != 9 || (*key)[0] != 0xA8) {
            plaintext = true;
        } else {
            TcgCommand cmd;
            cmd.reset(*key, tcgMethodToken(GENKEY));
            cmd.addToken(STARTLIST);
            cmd.addToken(ENDLIST);
            rc = sendMethod(*this, cmd);
        }
    }
    tcgEndSession(*this);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "rekeyLockingRange Failed ";
        return rc;
    }
    if (plaintext) {
        TCGLOG(TCG_INFO) << "LockingRange" << int(lockingrange) << " remains in plaintext ";
    } else {
        TCGLOG(TCG_INFO) << "LockingRange" << int(lockingrange) << " reKeyed ";
    }
    TCGLOG(TCG_DBG1) << "Exiting TcgDevEnterprise::rekeyLockingRange()";
    return 0;
}

// Signs in as EraseMaster: with the password, or with the MSID in clear when none is given.
static uint8_t startEraseMasterSession(TcgDevEnterprise& dev, const char* password,
                                       const char* what) {
    std::string msid;
    const bool useMsid = empty(password);
    if (useMsid) {
        const uint8_t rc = dev.readMsid(msid);
        if (rc != 0) {
            TCGLOG(TCG_ERR) << what << ": unable to retrieve MSID";
            return rc;
        }
    }
    TcgSession& session = tcgNewSession(dev);
    if (useMsid) session.dontHashPwd();
    return session.startSession(ENTERPRISE_LOCKINGSP_UID, useMsid ? msid.c_str() : password,
                                ENTERPRISE_ERASEMASTER_UID);
}

uint8_t TcgDevEnterprise::eraseLockingRange(uint8_t lockingrange, const char* password) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevEnterprise::eraseLockingRange";
    uint8_t rc = checkBand(*this, lockingrange);
    if (rc != 0) return rc;
    rc = startEraseMasterSession(*this, password, "eraseLockingRange");
    if (rc == 0) {
        TcgCommand cmd;
        cmd.reset(tcgBandUid(lockingrange), tcgMethodToken(ERASE));
        cmd.addToken(STARTLIST);
        cmd.addToken(ENDLIST);
        rc = sendMethod(*this, cmd);
    }
    tcgEndSession(*this);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "eraseLockingRange Failed ";
        return rc;
    }
    TCGLOG(TCG_INFO) << "LockingRange" << int(lockingrange) << " erased";
    TCGLOG(TCG_DBG1) << "Exiting TcgDevEnterprise::eraseLockingRange";
    return 0;
}

uint8_t TcgDevEnterprise::setBandsEnabled(int16_t rangeid, const char* password) {
    TCGLOG(TCG_DBG1) << "Entering TcgDevEnterprise::eraseLockingRange";
    uint16_t max = 0;
    uint8_t rc = getMaxRanges(&max);
    if (rc != 0) return rc;
    if (max == 0 || max > kMaxBand || (rangeid >= 0 && uint16_t(rangeid) > max)) {
        TCGLOG(TCG_ERR) << "Requested locking range " << int(rangeid) << " greater than MaxRanges "
                        << max;
        return kTcgFailed;
    }
    rc = startEraseMasterSession(*this, password, "setBandsEnabled");
    const uint32_t first = rangeid < 0 ? 0 : uint32_t(rangeid);
    const uint32_t last = rangeid < 0 ? max : uint32_t(rangeid);
    for (uint32_t n = first; rc == 0 && n <= last; ++n) {
        rc = setColumns(tcgBandUid(uint16_t(n)), {{"Enabled", boolToken(true)}});
        if (rc == 0) TCGLOG(TCG_INFO) << "Band[" << n << "] enabled";
    }
    tcgEndSession(*this);
    if (rc != 0) {
        TCGLOG(TCG_ERR) << "setBandsEnabled Failed ";
        return rc;
    }
    return 0;
}
