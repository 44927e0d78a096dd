#pragma once

// The device operations of slots 6-32, declared as overrides in each concrete dialect.
#define TCG_DEV_OPERATIONS_OVERRIDE                                                               \
    uint8_t initialSetup(const char* password) override;                                          \
    uint8_t setup_SUM(uint8_t lockingrange, uint64_t start, uint64_t length,                      \
                      const char* Admin1Password, const char* password) override;                 \
    uint8_t setSIDPassword(const char* oldpassword, const char* newpassword, uint8_t hasholdpwd,  \
                           uint8_t hashnewpwd) override;                                          \
    uint8_t setPassword(const char* password, const char* userid, const char* newpassword)        \
        override;                                                                                 \
    uint8_t setNewPassword_SUM(const char* password, const char* userid, const char* newpassword) \
        override;                                                                                 \
    uint8_t loadPBA(const char* password, const char* filename) override;                         \
    uint8_t setLockingRange(uint8_t lockingrange, uint8_t lockingstate, const char* password)     \
        override;                                                                                 \
    uint8_t setLockingRange_SUM(uint8_t lockingrange, uint8_t lockingstate, const char* password) \
        override;                                                                                 \
    uint8_t configureLockingRange(uint8_t lockingrange, uint8_t enabled, const char* password)    \
        override;                                                                                 \
    uint8_t setupLockingRange(uint8_t lockingrange, uint64_t start, uint64_t length,              \
                              const char* password) override;                                     \
    uint8_t setupLockingRange_SUM(uint8_t lockingrange, uint64_t start, uint64_t length,          \
                                  const char* password) override;                                 \
    uint8_t listLockingRanges(const char* password, int16_t rangeid) override;                    \
    uint8_t rekeyLockingRange(uint8_t lockingrange, const char* password) override;               \
    uint8_t setBandsEnabled(int16_t rangeid, const char* password) override;                      \
    uint8_t setMBRDone(uint8_t state, const char* Admin1Password) override;                       \
    uint8_t setMBREnable(uint8_t state, const char* Admin1Password) override;                     \
    uint8_t enableUser(const char* password, const char* userid, uint8_t status) override;        \
    uint8_t activateLockingSP(const char* password) override;                                     \
    uint8_t activateLockingSP_SUM(uint8_t lockingrange, const char* password) override;           \
    uint8_t eraseLockingRange_SUM(uint8_t lockingrange, const char* password) override;           \
    uint8_t takeOwnership(const char* newpassword) override;                                      \
    uint8_t revertLockingSP(const char* password, uint8_t keep) override;                         \
    uint8_t revertTPer(const char* password, uint8_t PSID, uint8_t AdminSP) override;             \
    uint8_t eraseLockingRange(uint8_t lockingrange, const char* password) override;               \
    uint8_t objDump(const char* sp, const char* auth, const char* pass, const char* objID)        \
        override;                                                                                 \
    uint8_t rawCmd(const char* sp, const char* auth, const char* pass, const char* invoker,       \
                   const char* method, const char* plist) override;                               \
    uint8_t printDefaultPassword() override;
