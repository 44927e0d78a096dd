#pragma once

// The drive's SPs as tables of rows and columns. A cell holds the encoded tokens of its value,
// so Get answers with them as stored and Set stores what it checked.

#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "atoms.h"
#include "uids.h"

namespace emu::tcg {

struct ColumnDef {
    uint32_t number;
    const char* name;
};

// Column numbers and names of an object table, by the table's identifier (the high half of
// its rows' UIDs). Empty for a table the model does not know.
const std::vector<ColumnDef>& Columns(uint32_t table);
std::optional<uint32_t> ColumnByName(uint32_t table, const std::string& name);

namespace col {
// C_PIN
constexpr uint32_t kPin = 3, kTryLimit = 5, kTries = 6;
// Authority
constexpr uint32_t kIsClass = 3, kClass = 4, kEnabled = 5, kCredential = 10;
// SP
constexpr uint32_t kLifeCycle = 6;
// Locking
constexpr uint32_t kRangeStart = 3, kRangeLength = 4, kReadLockEnabled = 5, kWriteLockEnabled = 6,
                   kReadLocked = 7, kWriteLocked = 8, kLockOnReset = 9, kActiveKey = 10;
// LockingInfo; the last two come with Single User Mode
constexpr uint32_t kEncryptSupport = 3, kMaxRanges = 4, kSingleUserModeRanges = 0x060000,
                   kRangeStartLengthPolicy = 0x060001;
// MBRControl
constexpr uint32_t kMbrEnable = 1, kMbrDone = 2;
// K_AES_128 / K_AES_256: the model keeps a key generation number in Key, never readable
constexpr uint32_t kKey = 3;
}  // namespace col

constexpr uint32_t kTableSp = 0x205, kTableAuthority = 9, kTableCPin = 0x0B,
                   kTableLockingInfo = 0x0801, kTableLocking = 0x0802, kTableMbrControl = 0x0803,
                   kTableMbr = 0x0804, kTableKAes128 = 0x0805, kTableKAes256 = 0x0806;

constexpr uint8_t kManufacturedInactive = 8, kManufactured = 9;

using Row = std::map<uint32_t, Bytes>;  // column -> encoded value

struct Sp {
    Uid uid{};
    uint8_t lifeCycle = kManufactured;
    std::map<Uid, Row> rows;  // every object row of every table, by its UID

    bool Has(const Uid& row) const { return rows.count(row) != 0; }
    // Typed reads of a cell; nullopt when the row, the cell or the type is missing.
    std::optional<uint64_t> Uint(const Uid& row, uint32_t column) const;
    std::optional<Bytes> ByteString(const Uid& row, uint32_t column) const;
    void SetUint(const Uid& row, uint32_t column, uint64_t v);
    void SetBytes(const Uid& row, uint32_t column, const Bytes& v);
    void SetUid(const Uid& row, uint32_t column, const Uid& v);
};

// Encoded single values and their decoding.
Bytes EncodeUint(uint64_t v);
Bytes EncodeBytes(const Bytes& v);
std::optional<Token> SingleToken(const Bytes& encoded);

nlohmann::json SpToJson(const Sp& sp);
bool SpFromJson(const nlohmann::json& j, Sp& sp, std::string& error);

}  // namespace emu::tcg
