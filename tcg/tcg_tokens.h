#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The token vocabulary of TCG Storage method calls: atoms (integers and byte strings) and
// one-byte control tokens; the tables of object and method UIDs that operations name by index.
// Every multi-byte integer inside a token is big-endian.

enum OPAL_TOKEN : uint8_t {
    // Kinds reported by TcgResponse::tokenIs for atoms.
    DTA_TOKENID_BYTESTRING = 0xE0,
    DTA_TOKENID_SINT = 0xE1,
    DTA_TOKENID_UINT = 0xE2,
    // Control tokens.
    STARTLIST = 0xF0,
    ENDLIST = 0xF1,
    STARTNAME = 0xF2,
    ENDNAME = 0xF3,
    CALL = 0xF8,
    ENDOFDATA = 0xF9,
    ENDOFSESSION = 0xFA,
    STARTTRANSACTON = 0xFB,
    ENDTRANSACTON = 0xFC,
    EMPTYATOM = 0xFF,
    // Not a token: an index past the end of a reply.
    NO_TOKEN = 0x00,
};

enum OPAL_TINY_ATOM : uint8_t {
    UINT_00 = 0x00,
    UINT_01 = 0x01,
    UINT_02 = 0x02,
    UINT_03 = 0x03,
    UINT_04 = 0x04,
    UINT_05 = 0x05,
    UINT_06 = 0x06,
    UINT_07 = 0x07,
    UINT_08 = 0x08,
    UINT_09 = 0x09,
    UINT_10 = 0x0A,
    UINT_11 = 0x0B,
    UINT_12 = 0x0C,
    UINT_13 = 0x0D,
    UINT_14 = 0x0E,
    UINT_15 = 0x0F,
};

enum OPAL_SHORT_ATOM : uint8_t {
    UINT_1 = 0x81,
    UINT_2 = 0x82,
    UINT_4 = 0x84,
    UINT_8 = 0x88,
    BYTESTRING = 0xA0,
    BYTESTRING4 = 0xA4,
    BYTESTRING8 = 0xA8,
};

enum OPAL_UID : uint8_t {
    OPAL_SMUID_UID,
    OPAL_THISSP_UID,
    OPAL_ADMINSP_UID,
    OPAL_LOCKINGSP_UID,
    ENTERPRISE_LOCKINGSP_UID,
    OPAL_ANYBODY_UID,
    OPAL_SID_UID,
    OPAL_ADMIN1_UID,
    OPAL_USER1_UID,
    OPAL_USER2_UID,
    OPAL_PSID_UID,
    ENTERPRISE_BANDMASTER0_UID,
    ENTERPRISE_ERASEMASTER_UID,
    OPAL_LOCKINGRANGE_GLOBAL,
    OPAL_LOCKINGRANGE_ACE_RDLOCKED,
    OPAL_LOCKINGRANGE_ACE_WRLOCKED,
    OPAL_LOCKINGRANGE_GLOBAL_ACE_RDLOCKED,
    OPAL_LOCKINGRANGE_GLOBAL_ACE_WRLOCKED,
    OPAL_MBRCONTROL_SET_DONE,
    OPAL_MBRCONTROL,
    OPAL_MBR,
    OPAL_AUTHORITY_TABLE,
    OPAL_C_PIN_TABLE,
    OPAL_LOCKING_INFO_TABLE,
    OPAL_LOCKING_TABLE,
    OPAL_C_PIN_MSID,
    OPAL_C_PIN_SID,
    OPAL_C_PIN_ADMIN1,
    OPAL_HALF_UID_AUTHORITY_OBJ_REF,
    OPAL_HALF_UID_BOOLEAN_ACE,
    OPAL_UID_HEXFF,
    OPAL_UID_COUNT,
};

enum OPAL_METHOD : uint8_t {
    PROPERTIES,
    STARTSESSION,
    REVERT,
    ACTIVATE,
    EGET,
    ESET,
    NEXT,
    EAUTHENTICATE,
    GETACL,
    GENKEY,
    REVERTSP,
    GET,
    SET,
    AUTHENTICATE,
    RANDOM,
    ERASE,
    OPAL_METHOD_COUNT,
};

extern const uint8_t OPALUID[OPAL_UID_COUNT][8];
extern const uint8_t OPALMETHOD[OPAL_METHOD_COUNT][8];

// The printed name of a control token, "unrecognized token" for other bytes.
const char* tcgControlTokenName(uint8_t token);

// Encoders: append one token to `out`.
// The shortest unsigned integer encoding (tiny, or short atom of 1, 2, 4 or 8 bytes).
void tcgEncodeUint(std::vector<uint8_t>& out, uint64_t value);
// A byte string: 0xA1 0x00 when empty, a short atom up to 15 bytes, else a medium atom. False
// (and nothing appended) at 2048 bytes or more, which no frame can carry.
bool tcgEncodeBytes(std::vector<uint8_t>& out, const uint8_t* data, size_t length);
// 0xA8 and the 8 UID bytes.
void tcgEncodeUid(std::vector<uint8_t>& out, const uint8_t uid[8]);
std::vector<uint8_t> tcgUidToken(OPAL_UID uid);

// One decoded token.
struct TcgToken {
    enum Kind : uint8_t { TINY = 1, SHORT = 2, MEDIUM = 3, LONG = 4, CONTROL = 5 };

    Kind kind = TINY;
    uint32_t headerLength = 0;
    uint32_t dataLength = 0;
    uint32_t totalLength = 0;
    const uint8_t* start = nullptr;
    // The data bytes when the atom is a byte string or longer than 8 bytes; else null.
    const uint8_t* bytes = nullptr;
    uint64_t value = 0;
    bool isSigned = false;
    bool isByteString = false;

    // Decodes the token at `data`. False when its header or data would run past `remaining`
    // bytes; nothing past them is read.
    bool parse(const uint8_t* data, size_t remaining);
};
