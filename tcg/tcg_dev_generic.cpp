#include "tcg_dev_generic.h"

#include <cstdio>

#include "tcg_log.h"

namespace {

constexpr uint8_t kNotSupported = 0xFF;

uint8_t notSupported(const char* name) {
    TCGLOG(TCG_ERR) << "Generic Device class does not support function " << name;
    std::printf("\n");
    return kNotSupported;
}

}  // namespace

TcgDevGeneric::~TcgDevGeneric() = default;

void TcgDevGeneric::openDevice(const char*) {}

uint8_t TcgDevGeneric::initialSetup(const char*) {
    return notSupported("initialSetup");
}
uint8_t TcgDevGeneric::setup_SUM(uint8_t, uint64_t, uint64_t, const char*, const char*) {
    return notSupported("setup_SUM");
}
uint8_t TcgDevGeneric::setSIDPassword(const char*, const char*, uint8_t, uint8_t) {
    return notSupported("setSIDPassword");
}
uint8_t TcgDevGeneric::setPassword(const char*, const char*, const char*) {
    return notSupported("setPassword");
}
uint8_t TcgDevGeneric::setNewPassword_SUM(const char*, const char*, const char*) {
    return notSupported("setNewPassword_SUM");
}
uint8_t TcgDevGeneric::loadPBA(const char*, const char*) {
    return notSupported("loadPBA");
}
uint8_t TcgDevGeneric::setLockingRange(uint8_t, uint8_t, const char*) {
    return notSupported("setLockingRange");
}
uint8_t TcgDevGeneric::setLockingRange_SUM(uint8_t, uint8_t, const char*) {
    return notSupported("setLockingRange_SUM");
}
uint8_t TcgDevGeneric::configureLockingRange(uint8_t, uint8_t, const char*) {
    return notSupported("configureLockingRange");
}
uint8_t TcgDevGeneric::setupLockingRange(uint8_t, uint64_t, uint64_t, const char*) {
    return notSupported("setupLockingRange");
}
uint8_t TcgDevGeneric::setupLockingRange_SUM(uint8_t, uint64_t, uint64_t, const char*) {
    return notSupported("setupLockingRange_SUM");
}
uint8_t TcgDevGeneric::listLockingRanges(const char*, int16_t) {
    return notSupported("listLockingRanges");
}
uint8_t TcgDevGeneric::rekeyLockingRange(uint8_t, const char*) {
    return notSupported("rekeyLockingRange");
}
uint8_t TcgDevGeneric::setBandsEnabled(int16_t, const char*) {
    return notSupported("setBandsEnabled");
}
uint8_t TcgDevGeneric::setMBRDone(uint8_t, const char*) {
    return notSupported("setMBRDone");
}
uint8_t TcgDevGeneric::setMBREnable(uint8_t, const char*) {
    return notSupported("setMBREnable");
}
uint8_t TcgDevGeneric::enableUser(const char*, const char*, uint8_t) {
    return notSupported("enableUser");
}
uint8_t TcgDevGeneric::activateLockingSP(const char*) {
    return notSupported("activateLockingSP");
}
uint8_t TcgDevGeneric::activateLockingSP_SUM(uint8_t, const char*) {
    return notSupported("activateLockingSP_SUM");
}
uint8_t TcgDevGeneric::eraseLockingRange_SUM(uint8_t, const char*) {
    return notSupported("eraseLockingRange_SUM");
}
uint8_t TcgDevGeneric::takeOwnership(const char*) {
    return notSupported("takeOwnership");
}
uint8_t TcgDevGeneric::revertLockingSP(const char*, uint8_t) {
    return notSupported("revertLockingSP");
}
uint8_t TcgDevGeneric::revertTPer(const char*, uint8_t, uint8_t) {
    return notSupported("revertTPer");
}
uint8_t TcgDevGeneric::eraseLockingRange(uint8_t, const char*) {
    return notSupported("eraseLockingRange");
}
uint8_t TcgDevGeneric::objDump(const char*, const char*, const char*, const char*) {
    return notSupported("objDump");
}
uint8_t TcgDevGeneric::rawCmd(const char*, const char*, const char*, const char*, const char*,
                              const char*) {
    return notSupported("rawCmd");
}
uint8_t TcgDevGeneric::printDefaultPassword() {
    return notSupported("printDefaultPassword");
}
uint8_t TcgDevGeneric::exec(TcgCommand&, TcgResponse&, uint8_t) {
    return notSupported("exec");
}
uint16_t TcgDevGeneric::comID() {
    return notSupported("comID");
}
