#pragma once

#include <cstdint>

// The TCG tool's command line: one optional set of flags, then one action keyword with its
// arguments, the device always last.

enum TcgAction : uint8_t {
    TCG_NO_ACTION = 0,
    TCG_INITIAL_SETUP = 1,
    TCG_SET_SID_PASSWORD = 2,
    TCG_SETUP_SUM = 3,
    TCG_SET_ADMIN1_PWD = 4,
    TCG_SET_PASSWORD = 5,
    TCG_SET_PASSWORD_SUM = 6,
    TCG_LOAD_PBA_IMAGE = 7,
    TCG_SET_LOCKING_RANGE = 8,
    TCG_REVERT_TPER = 9,
    TCG_REVERT_NO_ERASE = 10,
    TCG_SET_LOCKING_RANGE_SUM = 11,
    TCG_REVERT_LOCKING_SP = 12,
    TCG_PSID_REVERT = 13,
    TCG_PSID_REVERT_ADMIN_SP = 14,
    TCG_YES_I_REALLY_WANT_TO_ERASE = 15,
    TCG_ENABLE_LOCKING_RANGE = 16,
    TCG_DISABLE_LOCKING_RANGE = 17,
    TCG_READONLY_LOCKING_RANGE = 18,
    TCG_SETUP_LOCKING_RANGE = 19,
    TCG_SETUP_LOCKING_RANGE_SUM = 20,
    TCG_LIST_LOCKING_RANGES = 21,
    TCG_LIST_LOCKING_RANGE = 22,
    TCG_REKEY_LOCKING_RANGE = 23,
    TCG_SET_BANDS_ENABLED = 24,
    TCG_SET_BAND_ENABLED = 25,
    TCG_SET_MBR_ENABLE = 26,
    TCG_SET_MBR_DONE = 27,
    TCG_ENABLE_USER = 28,
    TCG_ACTIVATE_LOCKING_SP = 29,
    TCG_ACTIVATE_LOCKING_SP_SUM = 30,
    TCG_ERASE_LOCKING_RANGE_SUM = 31,
    TCG_QUERY = 32,
    TCG_SCAN = 33,
    TCG_IS_VALID_SED = 34,
    TCG_ERASE_LOCKING_RANGE = 35,
    TCG_TAKE_OWNERSHIP = 36,
    TCG_VALIDATE_PBKDF2 = 37,
    TCG_OBJ_DUMP = 38,
    TCG_PRINT_DEFAULT_PASSWORD = 39,
    TCG_RAW_CMD = 40,
};

// What parseTcgOptions found. Positions index the argument vector; 0 = not given.
struct TcgOptions {
    uint8_t passwordIndex;
    uint8_t userIndex;
    uint8_t newPasswordIndex;
    uint8_t pbaFileIndex;
    uint8_t deviceIndex;
    uint8_t action;
    uint8_t mbrState;      // 1 on, 0 off
    uint8_t lockingRange;  // 0-15
    uint8_t lockingState;  // 1 RW, 2 RO, 3 LK
    uint8_t rangeStartIndex;
    uint8_t rangeLengthIndex;
    uint8_t noHashPasswords;
    uint32_t outputStyle;
};

// Results of parseTcgOptions besides 0.
constexpr uint8_t kTcgParseBadValue = 1;    // a range, state, on/off, start or length
constexpr uint8_t kTcgParseBadCount = 100;  // wrong number of arguments for the action
constexpr uint8_t kTcgParseUsage = 134;     // usage shown, not a command, unknown keyword

// Fills `opts` from the vector (argument 0 is the caller's own option) and sets the reporting
// level. 0 on success.
uint8_t parseTcgOptions(int argc, char* argv[], TcgOptions* opts);

// The keyword of an action ("initialSetup"), or null.
const char* tcgActionKeyword(uint8_t action);

// A whole decimal number that fits 64 bits; false for anything else (signs, blanks, empty).
bool tcgParseDecimal(const char* text, uint64_t& value);

void printTcgUsage();
