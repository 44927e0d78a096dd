#include "tcg_tool.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "selection.h"
#include "tcg_dev_enterprise.h"
#include "tcg_dev_factory.h"
#include "tcg_dev_generic.h"
#include "tcg_hash.h"
#include "tcg_log.h"
#include "tcg_options.h"

namespace {

// Reading actions may name a disk by pattern (the first match is used); everything that can
// change a drive must name exactly one disk by its exact location.
bool readsOnly(uint8_t action) {
    return action == TCG_QUERY || action == TCG_IS_VALID_SED ||
           action == TCG_PRINT_DEFAULT_PASSWORD || action == TCG_LIST_LOCKING_RANGES ||
           action == TCG_LIST_LOCKING_RANGE;
}

// Whether `name` may be opened for `action`. A name that matches no disk is never opened: the
// transport would otherwise address disk id 0.
bool diskNameUsable(const char* name, uint8_t action) {
    int matches = 0;
    for (int i = 0; i < g_pdCount && i < kDeviceListMax; ++i) {
        const char* location = deviceLocationName(g_pdList[i]);
        if (location != nullptr && locationMatches(name, location)) ++matches;
    }
    if (matches == 0) return false;
    if (readsOnly(action)) return true;
    return std::strchr(name, '*') == nullptr && matches == 1;
}

uint64_t decimalArgument(char* argv[], uint8_t index) {
    uint64_t value = 0;
    tcgParseDecimal(argv[index], value);  // checked by the parser
    return value;
}

int validatePBKDF2Action() {
    std::printf("\nPKCS #5 PBKDF2 validation suite running ... \n\n");
    const bool passed = validatePBKDF2();
    std::printf("\nPKCS #5 PBKDF2 validation suite ... ");
    std::printf(passed ? "passed\n" : "**FAILED**\n");
    return kTcgExitUsage;
}

// The device of the drive's dialect, opened; null (with the exit status in `status`) when the
// drive cannot be used.
std::unique_ptr<TcgDev> openDrive(const char* name, int& status) {
    std::unique_ptr<TcgDev> dev;
    {
        TcgDevGeneric probe;
        probe.TcgDevOS::openDevice(name);
        if (!probe.isPresent() || !probe.isAnySSC()) {
            TCGLOG(TCG_ERR) << "Invalid or unsupported disk " << name;
            status = kTcgExitBadCommandLine;
            return nullptr;
        }
        dev = tcgNewDeviceFor(probe.diskInfo);
        if (!dev) {
            TCGLOG(TCG_ERR) << "Unknown OPAL SSC ";
            status = kTcgExitUsage;
            return nullptr;
        }
    }
    dev->openDevice(name);
    if (auto* enterprise = dynamic_cast<TcgDevEnterprise*>(dev.get())) {
        if (enterprise->properties() != 0) TCGLOG(TCG_ERR) << "Properties exchange failed";
    }
    return dev;
}

int runAction(TcgDev& dev, const TcgOptions& o, char* argv[]) {
    const char* dev_ = argv[o.deviceIndex];
    const char* password = argv[o.passwordIndex];
    const char* newPassword = argv[o.newPasswordIndex];
    const char* user = argv[o.userIndex];
    const uint8_t range = o.lockingRange;
    switch (o.action) {
        case TCG_INITIAL_SETUP:
            TCGLOG(TCG_DBG) << "Performing initial setup to use tcgtool on drive " << dev_;
            return dev.initialSetup(password);
        case TCG_SET_SID_PASSWORD:
            TCGLOG(TCG_DBG) << "Performing setSIDPassword ";
            return dev.setSIDPassword(password, newPassword, 1, 1);
        case TCG_SETUP_SUM:
            TCGLOG(TCG_DBG) << "Performing SUM setup on drive " << dev_;
            return dev.setup_SUM(range, decimalArgument(argv, o.rangeStartIndex),
                                 decimalArgument(argv, o.rangeLengthIndex), password, newPassword);
        case TCG_SET_ADMIN1_PWD:
            TCGLOG(TCG_DBG) << "Performing setPAdmin1Pwd ";
            return dev.setPassword(password, "Admin1", newPassword);
        case TCG_SET_PASSWORD:
            TCGLOG(TCG_DBG) << "Performing setPassword for user " << user;
            return dev.setPassword(password, user, newPassword);
        case TCG_SET_PASSWORD_SUM:
            TCGLOG(TCG_DBG) << "Performing setPassword in SUM mode for user " << user;
            return dev.setNewPassword_SUM(password, user, newPassword);
        case TCG_LOAD_PBA_IMAGE:
            TCGLOG(TCG_DBG) << "Loading PBA image " << argv[o.pbaFileIndex] << " to "
                            << int(o.deviceIndex);
            return dev.loadPBA(password, argv[o.pbaFileIndex]);
        case TCG_SET_LOCKING_RANGE:
            TCGLOG(TCG_DBG) << "Setting Locking Range " << range << " " << o.lockingState;
            return dev.setLockingRange(range, o.lockingState, password);
        case TCG_REVERT_TPER:
            TCGLOG(TCG_DBG) << "Performing revertTPer on " << dev_;
            return dev.revertTPer(password, 0, 0);
        case TCG_REVERT_NO_ERASE:
            TCGLOG(TCG_DBG) << "Performing revertLockingSP  keep global locking range on " << dev_;
            return dev.revertLockingSP(password, 1);
        case TCG_SET_LOCKING_RANGE_SUM:
            TCGLOG(TCG_DBG) << "Setting Locking Range " << range << " " << o.lockingState
                            << " in Single User Mode";
            return dev.setLockingRange_SUM(range, o.lockingState, password);
        case TCG_REVERT_LOCKING_SP:
            TCGLOG(TCG_DBG) << "Performing revertLockingSP on " << dev_;
            return dev.revertLockingSP(password, 0);
        case TCG_PSID_REVERT:
        case TCG_YES_I_REALLY_WANT_TO_ERASE:
            // The PSID is a credential: never shown.
            TCGLOG(TCG_DBG) << "Performing a PSID Revert on " << dev_ << " with password "
                            << "********";
            return dev.revertTPer(password, 1, 0);
        case TCG_PSID_REVERT_ADMIN_SP:
            TCGLOG(TCG_DBG) << "Performing a PSID RevertAdminSP on " << dev_ << " with password "
                            << "********";
            return dev.revertTPer(password, 1, 1);
        case TCG_ENABLE_LOCKING_RANGE:
            TCGLOG(TCG_DBG) << "Enabling Locking Range " << range;
            return dev.configureLockingRange(range, 3, password);
        case TCG_DISABLE_LOCKING_RANGE:
            TCGLOG(TCG_DBG) << "Disabling Locking Range " << range;
            return dev.configureLockingRange(range, 0, password);
        case TCG_READONLY_LOCKING_RANGE:
            TCGLOG(TCG_DBG) << "Enabling Locking Range " << range;
            return dev.configureLockingRange(range, 2, password);
        case TCG_SETUP_LOCKING_RANGE:
            TCGLOG(TCG_DBG) << "Setup Locking Range " << range;
            return dev.setupLockingRange(range, decimalArgument(argv, o.rangeStartIndex),
                                         decimalArgument(argv, o.rangeLengthIndex), password);
        case TCG_SETUP_LOCKING_RANGE_SUM:
            TCGLOG(TCG_DBG) << "Setup Locking Range " << range << " in Single User Mode";
            return dev.setupLockingRange_SUM(range, decimalArgument(argv, o.rangeStartIndex),
                                             decimalArgument(argv, o.rangeLengthIndex), password);
        case TCG_LIST_LOCKING_RANGES:
            TCGLOG(TCG_DBG) << "List Locking Ranges ";
            return dev.listLockingRanges(password, -1);
        case TCG_LIST_LOCKING_RANGE:
            TCGLOG(TCG_DBG) << "List Locking Range[" << range << "]";
            return dev.listLockingRanges(password, range);
        case TCG_REKEY_LOCKING_RANGE:
            TCGLOG(TCG_DBG) << "Rekey Locking Range[" << range << "]";
            return dev.rekeyLockingRange(range, password);
        case TCG_SET_BANDS_ENABLED:
            TCGLOG(TCG_DBG) << "Set bands Enabled";
            return dev.setBandsEnabled(-1, password);
        case TCG_SET_BAND_ENABLED:
            TCGLOG(TCG_DBG) << "Set band[" << range << "] enabled";
            return dev.setBandsEnabled(range, password);
        case TCG_SET_MBR_ENABLE:
            TCGLOG(TCG_DBG) << "Setting MBREnable " << o.mbrState;
            return dev.setMBREnable(o.mbrState, password);
        case TCG_SET_MBR_DONE:
            TCGLOG(TCG_DBG) << "Setting MBRDone " << o.mbrState;
            return dev.setMBRDone(o.mbrState, password);
        case TCG_ENABLE_USER:
            TCGLOG(TCG_DBG) << "Performing enable user for user " << user;
            return dev.enableUser(password, user, 1);
        case TCG_ACTIVATE_LOCKING_SP:
            TCGLOG(TCG_DBG) << "Activating the LockingSP on" << dev_;
            return dev.activateLockingSP(password);
        case TCG_ACTIVATE_LOCKING_SP_SUM:
            TCGLOG(TCG_DBG) << "Activating the LockingSP on" << dev_;
            return dev.activateLockingSP_SUM(range, password);
        case TCG_ERASE_LOCKING_RANGE_SUM:
            TCGLOG(TCG_DBG) << "Erasing LockingRange " << range << " on" << dev_;
            return dev.eraseLockingRange_SUM(range, password);
        case TCG_QUERY:
            TCGLOG(TCG_DBG) << "Performing diskquery() on " << dev_;
            dev.puke();
            return 0;
        case TCG_ERASE_LOCKING_RANGE:
            TCGLOG(TCG_DBG) << "Erase Locking Range " << range;
            return dev.eraseLockingRange(range, password);
        case TCG_TAKE_OWNERSHIP:
            TCGLOG(TCG_DBG) << "Taking Ownership of the drive at" << dev_;
            return dev.takeOwnership(password);
        case TCG_OBJ_DUMP: {
            TCGLOG(TCG_DBG) << "Performing objDump ";
            char** a = argv + o.deviceIndex - 4;
            return dev.objDump(a[0], a[1], a[2], a[3]);
        }
        case TCG_PRINT_DEFAULT_PASSWORD:
            TCGLOG(TCG_DBG) << "print default password";
            return dev.printDefaultPassword();
        case TCG_RAW_CMD: {
            TCGLOG(TCG_DBG) << "Performing cmdDump ";
            char** a = argv + o.deviceIndex - 6;
            return dev.rawCmd(a[0], a[1], a[2], a[3], a[4], a[5]);
        }
        default:
            TCGLOG(TCG_ERR) << "Unable to determine what you want to do ";
            printTcgUsage();
            return kTcgExitUsage;
    }
}

}  // namespace

int isValidSED(const char* name) {
    TCGLOG(TCG_DBG) << "Verify whether " << name << "is valid SED or not";
    TcgDevGeneric dev;
    dev.TcgDevOS::openDevice(name);
    if (dev.isPresent()) std::printf("%s", name);
    if (dev.isAnySSC()) {
        std::printf(" SED %s%s%s%s%s%s%s ", dev.isOpal1() ? "1" : "-", dev.isOpal2() ? "2" : "-",
                    dev.isEprise() ? "E" : "-", dev.isOpalite() ? "L" : "-",
                    dev.isPyrite1() ? "p" : "-", dev.isPyrite2() ? "P" : "-",
                    dev.isRuby1() ? "r" : "-");
    } else {
        std::printf(" NO  ------- ");
    }
    std::printf("%s %s\n", dev.diskInfo.modelNumber, dev.diskInfo.firmwareRevision);
    return 0;
}

int tcgToolMain(int argc, char* argv[]) {
    TcgOptions opts;
    if (parseTcgOptions(argc, argv, &opts) != 0) return kTcgExitBadCommandLine;
    switch (opts.action) {
        case TCG_SCAN:
            TCGLOG(TCG_ERR) << "Unable to determine what you want to do ";
            printTcgUsage();
            return kTcgExitUsage;
        case TCG_VALIDATE_PBKDF2:
            TCGLOG(TCG_DBG) << "Performing PBKDF2 validation ";
            return validatePBKDF2Action();
        default:
            break;
    }
    const int deviceIndex = opts.deviceIndex > argc - 1 ? 0 : opts.deviceIndex;
    const char* name = argv[deviceIndex];
    if (!diskNameUsable(name, opts.action)) {
        TCGLOG(TCG_ERR) << "Invalid or unsupported disk " << name;
        // isValidSED answers about any name and changes nothing: its status is always 0.
        return opts.action == TCG_IS_VALID_SED ? 0 : kTcgExitBadCommandLine;
    }
    if (opts.action == TCG_IS_VALID_SED) return isValidSED(name);
    int status = 0;
    std::unique_ptr<TcgDev> dev = openDrive(name, status);
    if (!dev) return status;
    dev->hashingDisabled = opts.noHashPasswords;
    return runAction(*dev, opts, argv) & 0xFF;
}
