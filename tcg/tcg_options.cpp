#include "tcg_options.h"

#include <cstring>

#include "tcg_log.h"

namespace {

// What one argument of an action is; the device is always the last one.
enum Arg : uint8_t {
    A_END = 0,
    A_PASSWORD,  // also the PSID
    A_NEWPASSWORD,
    A_USER,
    A_FILE,
    A_RANGE,
    A_START,
    A_LENGTH,
    A_STATE,
    A_ONOFF,
    A_RAW,  // objDump and rawCmd: taken in order before the device
    A_DEVICE,
};

struct ActionRow {
    const char* keyword;
    Arg args[8];
};

// Indexed by TcgAction.
const ActionRow kActions[] = {
    {nullptr, {}},
    {"initialSetup", {A_PASSWORD, A_DEVICE}},
    {"setSIDPassword", {A_PASSWORD, A_NEWPASSWORD, A_DEVICE}},
    {"setup_SUM", {A_RANGE, A_START, A_LENGTH, A_PASSWORD, A_NEWPASSWORD, A_DEVICE}},
    {"setAdmin1Pwd", {A_PASSWORD, A_NEWPASSWORD, A_DEVICE}},
    {"setPassword", {A_PASSWORD, A_USER, A_NEWPASSWORD, A_DEVICE}},
    {"setPassword_SUM", {A_PASSWORD, A_USER, A_NEWPASSWORD, A_DEVICE}},
    {"loadPBAimage", {A_PASSWORD, A_FILE, A_DEVICE}},
    {"setLockingRange", {A_RANGE, A_STATE, A_PASSWORD, A_DEVICE}},
    {"revertTPer", {A_PASSWORD, A_DEVICE}},
    {"revertNoErase", {A_PASSWORD, A_DEVICE}},
    {"setLockingRange_SUM", {A_RANGE, A_STATE, A_PASSWORD, A_DEVICE}},
    {"revertLockingSP", {A_PASSWORD, A_DEVICE}},
    {"PSIDrevert", {A_PASSWORD, A_DEVICE}},
    {"PSIDrevertAdminSP", {A_PASSWORD, A_DEVICE}},
    {"yesIreallywanttoERASEALLmydatausingthePSID", {A_PASSWORD, A_DEVICE}},
    {"enableLockingRange", {A_RANGE, A_PASSWORD, A_DEVICE}},
    {"disableLockingRange", {A_RANGE, A_PASSWORD, A_DEVICE}},
    {"readonlyLockingRange", {A_RANGE, A_PASSWORD, A_DEVICE}},
    {"setupLockingRange", {A_RANGE, A_START, A_LENGTH, A_PASSWORD, A_DEVICE}},
    {"setupLockingRange_SUM", {A_RANGE, A_START, A_LENGTH, A_PASSWORD, A_DEVICE}},
    {"listLockingRanges", {A_PASSWORD, A_DEVICE}},
    {"listLockingRange", {A_RANGE, A_PASSWORD, A_DEVICE}},
    {"rekeyLockingRange", {A_RANGE, A_PASSWORD, A_DEVICE}},
    {"setBandsEnabled", {A_PASSWORD, A_DEVICE}},
    {"setBandEnabled", {A_RANGE, A_PASSWORD, A_DEVICE}},
    {"setMBREnable", {A_ONOFF, A_PASSWORD, A_DEVICE}},
    {"setMBRDone", {A_ONOFF, A_PASSWORD, A_DEVICE}},
    {"enableuser", {A_PASSWORD, A_USER, A_DEVICE}},
    {"activateLockingSP", {A_PASSWORD, A_DEVICE}},
    {"activateLockingSP_SUM", {A_RANGE, A_PASSWORD, A_DEVICE}},
    {"eraseLockingRange_SUM", {A_RANGE, A_PASSWORD, A_DEVICE}},
    {"query", {A_DEVICE}},
    {"scan", {}},
    {"isValidSED", {A_DEVICE}},
    {"eraseLockingRange", {A_RANGE, A_PASSWORD, A_DEVICE}},
    {"takeOwnership", {A_PASSWORD, A_DEVICE}},
    {"validatePBKDF2", {}},
    {"objDump", {A_RAW, A_RAW, A_RAW, A_RAW, A_DEVICE}},
    {"printDefaultPassword", {A_DEVICE}},
    {"rawCmd", {A_RAW, A_RAW, A_RAW, A_RAW, A_RAW, A_RAW, A_DEVICE}},
};
constexpr int kActionCount = sizeof kActions / sizeof kActions[0];
static_assert(kActionCount == TCG_RAW_CMD + 1);

int argumentCount(const ActionRow& row) {
    int n = 0;
    while (n < 8 && row.args[n] != A_END) ++n;
    return n;
}

bool parseRange(const char* text, uint8_t& range) {
    for (int r = 0; r <= 15; ++r) {
        char expected[3];
        expected[0] = r < 10 ? char('0' + r) : '1';
        expected[1] = r < 10 ? '\0' : char('0' + r - 10);
        expected[2] = '\0';
        if (std::strcmp(text, expected) == 0) {
            range = uint8_t(r);
            return true;
        }
    }
    return false;
}

bool parseState(const char* text, uint8_t& state) {
    if (!std::strcmp(text, "RW") || !std::strcmp(text, "rw"))
        state = 1;
    else if (!std::strcmp(text, "RO") || !std::strcmp(text, "ro"))
        state = 2;
    else if (!std::strcmp(text, "LK") || !std::strcmp(text, "lk"))
        state = 3;
    else
        return false;
    return true;
}

bool parseOnOff(const char* text, uint8_t& state) {
    if (!std::strcmp(text, "ON") || !std::strcmp(text, "on"))
        state = 1;
    else if (!std::strcmp(text, "off") || !std::strcmp(text, "OFF"))
        state = 0;
    else
        return false;
    return true;
}

// Takes the arguments of `action` that start at `first`; 0 or kTcgParseBadValue.
uint8_t takeArguments(uint8_t action, int first, char* argv[], TcgOptions* opts) {
    const ActionRow& row = kActions[action];
    int pos = first;
    for (int i = 0; i < 8 && row.args[i] != A_END; ++i, ++pos) {
        const char* text = argv[pos];
        switch (row.args[i]) {
            case A_PASSWORD:
                opts->passwordIndex = uint8_t(pos);
                break;
            case A_NEWPASSWORD:
                opts->newPasswordIndex = uint8_t(pos);
                break;
            case A_USER:
                opts->userIndex = uint8_t(pos);
                break;
            case A_FILE:
                opts->pbaFileIndex = uint8_t(pos);
                break;
            case A_DEVICE:
                opts->deviceIndex = uint8_t(pos);
                break;
            case A_RANGE:
                if (!parseRange(text, opts->lockingRange)) {
                    TCGLOG(TCG_ERR)
                        << (action == TCG_ERASE_LOCKING_RANGE_SUM ? "Invalid Locking Range (1-15)"
                                                                  : "Invalid Locking Range (0-15)")
                        << " " << text;
                    return kTcgParseBadValue;
                }
                break;
            case A_STATE:
                if (!parseState(text, opts->lockingState)) {
                    TCGLOG(TCG_ERR) << "Invalid locking state <ro|rw|lk>"
                                    << " " << text;
                    return kTcgParseBadValue;
                }
                break;
            case A_ONOFF:
                if (!parseOnOff(text, opts->mbrState)) {
                    TCGLOG(TCG_ERR) << (action == TCG_SET_MBR_ENABLE
                                            ? "Invalid setMBREnable argument not <on|off>"
                                            : "Invalid setMBRDone argument not <on|off>")
                                    << " " << text;
                    return kTcgParseBadValue;
                }
                break;
            case A_START:
            case A_LENGTH: {
                // Converted when the call is made; a text that is no whole number would
                // silently become 0 there.
                uint64_t value = 0;
                if (!tcgParseDecimal(text, value)) {
                    TCGLOG(TCG_ERR)
                        << (row.args[i] == A_START ? "Invalid RangeStart" : "Invalid RangeLength")
                        << " (a whole decimal number) " << text;
                    return kTcgParseBadValue;
                }
                if (row.args[i] == A_START) {
                    opts->rangeStartIndex = uint8_t(pos);
                } else {
                    opts->rangeLengthIndex = uint8_t(pos);
                }
                break;
            }
            case A_RAW:
            case A_END:
                break;
        }
    }
    return 0;
}

}  // namespace

const char* tcgActionKeyword(uint8_t action) {
    return action < kActionCount ? kActions[action].keyword : nullptr;
}

bool tcgParseDecimal(const char* text, uint64_t& value) {
    if (text == nullptr || *text == '\0') return false;
    uint64_t v = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return false;
        const uint64_t digit = uint64_t(*p - '0');
        if (v > (UINT64_MAX - digit) / 10) return false;
        v = v * 10 + digit;
    }
    value = v;
    return true;
}

uint8_t parseTcgOptions(int argc, char* argv[], TcgOptions* opts) {
    std::memset(opts, 0, sizeof *opts);
    tcgLogLevel() = TCG_INFO;
    if (argc < 2) {
        printTcgUsage();
        return kTcgParseUsage;
    }
    // Positions are kept in one byte.
    if (argc > 255) {
        TCGLOG(TCG_ERR) << "Too many arguments";
        return kTcgParseBadCount;
    }
    int optionsSeen = 0;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!std::strcmp(arg, "-h") || !std::strcmp(arg, "--help")) {
            printTcgUsage();
            return kTcgParseUsage;
        }
        if (arg[0] != '\0' && arg[1] == 'v') {
            int level = tcgLogLevel() + int(std::strlen(arg)) - 1;
            if (level > TCG_DBG4) level = TCG_DBG4;
            tcgLogLevel() = level;
            TCGLOG(TCG_DBG) << "Log level set to " << tcgLevelLabel(level);
            ++optionsSeen;
            continue;
        }
        if (!std::strcmp(arg, "-n")) {
            opts->noHashPasswords = 1;
            TCGLOG(TCG_DBG) << "Password hashing is disabled";
            ++optionsSeen;
            continue;
        }
        if (!std::strcmp(arg, "-l")) {
            ++optionsSeen;
            continue;
        }
        if (std::strncmp(arg, "--", 2) != 0) {
            TCGLOG(TCG_ERR) << "Argument " << i << " (" << arg << ") should be a command";
            return kTcgParseUsage;
        }
        int action = 1;
        while (action < kActionCount && std::strcmp(arg + 2, kActions[action].keyword) != 0)
            ++action;
        if (action == kActionCount) {
            TCGLOG(TCG_ERR) << "Invalid command line argument " << arg;
            return kTcgParseUsage;
        }
        const int count = argumentCount(kActions[action]);
        if (argc != 2 + optionsSeen + count) {
            TCGLOG(TCG_ERR) << "Incorrect number of paramaters for " << arg << " command";
            return kTcgParseBadCount;
        }
        opts->action = uint8_t(action);
        return takeArguments(uint8_t(action), i + 1, argv, opts);
    }
    return 0;
}
