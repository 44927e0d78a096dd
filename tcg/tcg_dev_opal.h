#pragma once

#include <utility>
#include <vector>

#include "tcg_dev_operations.h"
#include "tcg_dev_os.h"

// The Opal-family dialect, shared by Opal 1.0 and 2.0, Opalite, Pyrite 1.0 and 2.0 and Ruby
// 1.0; the variants differ only in the ComID they take from discovery. Opening a device also
// runs the Properties exchange.
class TcgDevOpal : public TcgDevOS {
public:
    ~TcgDevOpal() override;

    void puke() override;
    void openDevice(const char* devref) override;

    TCG_DEV_OPERATIONS_OVERRIDE
    uint8_t exec(TcgCommand& cmd, TcgResponse& response, uint8_t protocol) override;

    uint8_t properties();

    // Table access inside the current session; the reply lands in lastResponse.
    uint8_t getTable(const std::vector<uint8_t>& table, uint16_t startcol, uint16_t endcol);
    uint8_t setTable(const std::vector<uint8_t>& table, uint8_t name, std::vector<uint8_t> value);
    uint8_t setTable(const std::vector<uint8_t>& table, uint8_t name, uint8_t value);
    // Several columns in one Set: (column, encoded value) pairs.
    uint8_t setColumns(const std::vector<uint8_t>& table,
                       const std::vector<std::pair<uint8_t, std::vector<uint8_t>>>& values);

    // Reads the MSID into lastResponse (token 4) on an unauthenticated Admin SP session.
    uint8_t getDefaultPassword();
    // The Authority (kind 0) or C_PIN (kind 10) row of "Admin<n>" or "User<n>" (n 1-255).
    uint8_t getAuth4User(const char* userid, uint8_t uidorcpin, std::vector<uint8_t>& userData);

    struct LockingRangeStatus {
        uint8_t result;
        uint8_t range;
        uint64_t start;
        uint64_t length;
        bool readLockEnabled, writeLockEnabled, readLocked, writeLocked;
    };
    LockingRangeStatus getLockingRange_status(uint8_t lockingrange, const char* password);
    uint8_t rekeyLockingRange_SUM(const std::vector<uint8_t>& LR, const std::vector<uint8_t>& UID,
                                  const char* password);

private:
    // Starts a session on the Locking SP as `authority`; the start's status.
    uint8_t startLockingSession(const char* password, const std::vector<uint8_t>& authority);
    uint8_t checkLockingSpInactive();
    // 0x81 for a range above those the Single User Mode feature counts, before any session.
    uint8_t checkSingleUserRange(uint8_t lockingrange);
    // Rekeys a range as Admin1; `checkFirst` refuses a range above MaxRanges before the GenKey.
    uint8_t rekeyRange(uint8_t lockingrange, const char* password, bool checkFirst);
    // Whether the Authority table of the current session's SP holds `userid`: 0, else 0x83
    // after saying so (or the code of a failed exchange).
    uint8_t findUser(const char* userid);
    // Signs in as `authority` and writes `newpassword`, hashed, into the C_PIN row `cpin`;
    // `lookUpUser` first makes sure the drive has `userid`.
    uint8_t changePin(const char* password, const std::vector<uint8_t>& authority,
                      const std::vector<uint8_t>& cpin, const char* userid, const char* newpassword,
                      bool lookUpUser);
};

class TcgDevOpal1 : public TcgDevOpal {
public:
    uint16_t comID() override;
};
class TcgDevOpal2 : public TcgDevOpal {
public:
    uint16_t comID() override;
};
class TcgDevOpalite : public TcgDevOpal {
public:
    uint16_t comID() override;
};
class TcgDevPyrite1 : public TcgDevOpal {
public:
    uint16_t comID() override;
};
class TcgDevPyrite2 : public TcgDevOpal {
public:
    uint16_t comID() override;
};
class TcgDevRuby1 : public TcgDevOpal {
public:
    uint16_t comID() override;
};
