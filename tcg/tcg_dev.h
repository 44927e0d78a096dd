#pragma once

#include <cstdint>
#include <memory>

#include "tcg_disk_info.h"
#include "tcg_response.h"

class TcgCommand;
class TcgSession;
class TcgDiskType;

// A TCG storage device: one object per drive, holding what IDENTIFY and Level 0 Discovery found
// out about it and exposing every tool operation as a virtual operation. The subclasses choose
// the SSC dialect (TcgDevGeneric, TcgDevEnterprise, TcgDevOpal and its variants). Operations
// return an 8-bit status, 0 = success. Single-threaded.
class TcgDev {
public:
    TcgDev();
    virtual ~TcgDev();
    TcgDev(const TcgDev&) = delete;
    TcgDev& operator=(const TcgDev&) = delete;

    virtual void puke();
    virtual void openDevice(const char* devref) = 0;
    // One IF-SEND (0x5E) or IF-RECV (0x5C) of bufferlen bytes; 0 on success.
    virtual uint8_t sendCmd(uint8_t cmd, uint8_t protocol, uint16_t comID, void* buffer,
                            uint32_t bufferlen) = 0;
    virtual void sleepMs(uint32_t ms) = 0;
    virtual void identify(TcgDiskInfo& diskInfo) = 0;

    virtual uint8_t initialSetup(const char* password) = 0;
    virtual uint8_t setup_SUM(uint8_t lockingrange, uint64_t start, uint64_t length,
                              const char* Admin1Password, const char* password) = 0;
    virtual uint8_t setSIDPassword(const char* oldpassword, const char* newpassword,
                                   uint8_t hasholdpwd, uint8_t hashnewpwd) = 0;
    virtual uint8_t setPassword(const char* password, const char* userid,
                                const char* newpassword) = 0;
    virtual uint8_t setNewPassword_SUM(const char* password, const char* userid,
                                       const char* newpassword) = 0;
    virtual uint8_t loadPBA(const char* password, const char* filename) = 0;
    virtual uint8_t setLockingRange(uint8_t lockingrange, uint8_t lockingstate,
                                    const char* password) = 0;
    virtual uint8_t setLockingRange_SUM(uint8_t lockingrange, uint8_t lockingstate,
                                        const char* password) = 0;
    virtual uint8_t configureLockingRange(uint8_t lockingrange, uint8_t enabled,
                                          const char* password) = 0;
    virtual uint8_t setupLockingRange(uint8_t lockingrange, uint64_t start, uint64_t length,
                                      const char* password) = 0;
    virtual uint8_t setupLockingRange_SUM(uint8_t lockingrange, uint64_t start, uint64_t length,
                                          const char* password) = 0;
    virtual uint8_t listLockingRanges(const char* password, int16_t rangeid) = 0;
    virtual uint8_t rekeyLockingRange(uint8_t lockingrange, const char* password) = 0;
    virtual uint8_t setBandsEnabled(int16_t rangeid, const char* password) = 0;
    virtual uint8_t setMBRDone(uint8_t state, const char* Admin1Password) = 0;
    virtual uint8_t setMBREnable(uint8_t state, const char* Admin1Password) = 0;
    virtual uint8_t enableUser(const char* password, const char* userid, uint8_t status) = 0;
    virtual uint8_t activateLockingSP(const char* password) = 0;
    virtual uint8_t activateLockingSP_SUM(uint8_t lockingrange, const char* password) = 0;
    virtual uint8_t eraseLockingRange_SUM(uint8_t lockingrange, const char* password) = 0;
    virtual uint8_t takeOwnership(const char* newpassword) = 0;
    virtual uint8_t revertLockingSP(const char* password, uint8_t keep) = 0;
    virtual uint8_t revertTPer(const char* password, uint8_t PSID, uint8_t AdminSP) = 0;
    virtual uint8_t eraseLockingRange(uint8_t lockingrange, const char* password) = 0;
    virtual uint8_t objDump(const char* sp, const char* auth, const char* pass,
                            const char* objID) = 0;
    virtual uint8_t rawCmd(const char* sp, const char* auth, const char* pass, const char* invoker,
                           const char* method, const char* plist) = 0;
    virtual uint8_t printDefaultPassword() = 0;
    // One method call: IF-SEND, then IF-RECV polled until the reply is complete.
    virtual uint8_t exec(TcgCommand& cmd, TcgResponse& response, uint8_t protocol) = 0;
    // The base ComID of the device's SSC.
    virtual uint16_t comID() = 0;

    bool isPresent();
    bool isAnySSC();
    bool isOpal1();
    bool isOpal2();
    bool isOpalite();
    bool isPyrite1();
    bool isPyrite2();
    bool isRuby1();
    bool isEprise();
    bool MBRAbsent();

    // Level 0 Discovery into diskInfo.
    void discovery0();

    // State shared with sessions and the operations of every dialect.
    uint8_t hashingDisabled = 0;  // passwords go to the drive as text
    const char* deviceName = nullptr;
    uint8_t opened = 0;
    TcgDiskInfo diskInfo{};
    TcgResponse lastResponse;
    TcgResponse propertiesReply;
    std::unique_ptr<TcgSession> activeSession;
    alignas(8) uint8_t discoveryBuffer[1024] = {};
    uint32_t maxComPacketSize = 2048;
    uint32_t maxIndTokenSize = 1950;
    std::unique_ptr<TcgDiskType> transport;
};
