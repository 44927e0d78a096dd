// The Opal-family and Enterprise operations of slots 6-32 are not part of this build yet: each
// refuses with kTcgInvalidParameter and a line naming itself, and touches no drive.
#include "tcg_dev_enterprise.h"
#include "tcg_dev_opal.h"
#include "tcg_log.h"
#include "tcg_status.h"

namespace {

uint8_t pending(const char* dialect, const char* name) {
    TCGLOG(TCG_ERR) << dialect << "::" << name << " is not available in this build";
    return kTcgInvalidParameter;
}

}  // namespace

#define TCG_PENDING_OPERATIONS(Class)                                                      \
    uint8_t Class::initialSetup(const char*) {                                             \
        return pending(#Class, "initialSetup");                                            \
    }                                                                                      \
    uint8_t Class::setup_SUM(uint8_t, uint64_t, uint64_t, const char*, const char*) {      \
        return pending(#Class, "setup_SUM");                                               \
    }                                                                                      \
    uint8_t Class::setSIDPassword(const char*, const char*, uint8_t, uint8_t) {            \
        return pending(#Class, "setSIDPassword");                                          \
    }                                                                                      \
    uint8_t Class::setPassword(const char*, const char*, const char*) {                    \
        return pending(#Class, "setPassword");                                             \
    }                                                                                      \
    uint8_t Class::setNewPassword_SUM(const char*, const char*, const char*) {             \
        return pending(#Class, "setNewPassword_SUM");                                      \
    }                                                                                      \
    uint8_t Class::loadPBA(const char*, const char*) {                                     \
        return pending(#Class, "loadPBA");                                                 \
    }                                                                                      \
    uint8_t Class::setLockingRange(uint8_t, uint8_t, const char*) {                        \
        return pending(#Class, "setLockingRange");                                         \
    }                                                                                      \
    uint8_t Class::setLockingRange_SUM(uint8_t, uint8_t, const char*) {                    \
        return pending(#Class, "setLockingRange_SUM");                                     \
    }                                                                                      \
    uint8_t Class::configureLockingRange(uint8_t, uint8_t, const char*) {                  \
        return pending(#Class, "configureLockingRange");                                   \
    }                                                                                      \
    uint8_t Class::setupLockingRange(uint8_t, uint64_t, uint64_t, const char*) {           \
        return pending(#Class, "setupLockingRange");                                       \
    }                                                                                      \
    uint8_t Class::setupLockingRange_SUM(uint8_t, uint64_t, uint64_t, const char*) {       \
        return pending(#Class, "setupLockingRange_SUM");                                   \
    }                                                                                      \
    uint8_t Class::listLockingRanges(const char*, int16_t) {                               \
        return pending(#Class, "listLockingRanges");                                       \
    }                                                                                      \
    uint8_t Class::rekeyLockingRange(uint8_t, const char*) {                               \
        return pending(#Class, "rekeyLockingRange");                                       \
    }                                                                                      \
    uint8_t Class::setBandsEnabled(int16_t, const char*) {                                 \
        return pending(#Class, "setBandsEnabled");                                         \
    }                                                                                      \
    uint8_t Class::setMBRDone(uint8_t, const char*) {                                      \
        return pending(#Class, "setMBRDone");                                              \
    }                                                                                      \
    uint8_t Class::setMBREnable(uint8_t, const char*) {                                    \
        return pending(#Class, "setMBREnable");                                            \
    }                                                                                      \
    uint8_t Class::enableUser(const char*, const char*, uint8_t) {                         \
        return pending(#Class, "enableUser");                                              \
    }                                                                                      \
    uint8_t Class::activateLockingSP(const char*) {                                        \
        return pending(#Class, "activateLockingSP");                                       \
    }                                                                                      \
    uint8_t Class::activateLockingSP_SUM(uint8_t, const char*) {                           \
        return pending(#Class, "activateLockingSP_SUM");                                   \
    }                                                                                      \
    uint8_t Class::eraseLockingRange_SUM(uint8_t, const char*) {                           \
        return pending(#Class, "eraseLockingRange_SUM");                                   \
    }                                                                                      \
    uint8_t Class::takeOwnership(const char*) {                                            \
        return pending(#Class, "takeOwnership");                                           \
    }                                                                                      \
    uint8_t Class::revertLockingSP(const char*, uint8_t) {                                 \
        return pending(#Class, "revertLockingSP");                                         \
    }                                                                                      \
    uint8_t Class::revertTPer(const char*, uint8_t, uint8_t) {                             \
        return pending(#Class, "revertTPer");                                              \
    }                                                                                      \
    uint8_t Class::eraseLockingRange(uint8_t, const char*) {                               \
        return pending(#Class, "eraseLockingRange");                                       \
    }                                                                                      \
    uint8_t Class::objDump(const char*, const char*, const char*, const char*) {           \
        return pending(#Class, "objDump");                                                 \
    }                                                                                      \
    uint8_t Class::rawCmd(const char*, const char*, const char*, const char*, const char*, \
                          const char*) {                                                   \
        return pending(#Class, "rawCmd");                                                  \
    }                                                                                      \
    uint8_t Class::printDefaultPassword() {                                                \
        return pending(#Class, "printDefaultPassword");                                    \
    }

TCG_PENDING_OPERATIONS(TcgDevOpal)
TCG_PENDING_OPERATIONS(TcgDevEnterprise)
