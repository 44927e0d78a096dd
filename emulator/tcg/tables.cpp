#include "tables.h"

#include <cstdlib>

namespace emu::tcg {
namespace {

const std::map<uint32_t, std::vector<ColumnDef>>& Schemas() {
    static const std::map<uint32_t, std::vector<ColumnDef>> schemas = {
        {kTableSp,
         {{0, "UID"},
          {1, "Name"},
          {2, "ORG"},
          {3, "EffectiveAuth"},
          {4, "DateofIssue"},
          {5, "Bytes"},
          {6, "LifeCycleState"},
          {7, "Frozen"}}},
        {kTableAuthority,
         {{0, "UID"},
          {1, "Name"},
          {2, "CommonName"},
          {3, "IsClass"},
          {4, "Class"},
          {5, "Enabled"},
          {6, "Secure"},
          {7, "HashAndSign"},
          {8, "PresentCertificate"},
          {9, "Operation"},
          {10, "Credential"},
          {11, "ResponseSign"},
          {12, "ResponseExch"},
          {13, "ClockStart"},
          {14, "ClockEnd"},
          {15, "Limit"},
          {16, "Uses"},
          {17, "Log"},
          {18, "LogTo"}}},
        {kTableCPin,
         {{0, "UID"},
          {1, "Name"},
          {2, "CommonName"},
          {3, "PIN"},
          {4, "CharSet"},
          {5, "TryLimit"},
          {6, "Tries"},
          {7, "Persistence"}}},
        {kTableLockingInfo,
         {{0, "UID"},
          {1, "Name"},
          {2, "Version"},
          {3, "EncryptSupport"},
          {4, "MaxRanges"},
          {5, "MaxReEncryptions"},
          {6, "KeysAvailableCfg"},
          {7, "AlignmentRequired"},
          {8, "LogicalBlockSize"},
          {9, "AlignmentGranularity"},
          {10, "LowestAlignedLBA"},
          {col::kSingleUserModeRanges, "SingleUserModeRanges"},
          {col::kRangeStartLengthPolicy, "RangeStartLengthPolicy"}}},
        {kTableLocking,
         {{0, "UID"},
          {1, "Name"},
          {2, "CommonName"},
          {3, "RangeStart"},
          {4, "RangeLength"},
          {5, "ReadLockEnabled"},
          {6, "WriteLockEnabled"},
          {7, "ReadLocked"},
          {8, "WriteLocked"},
          {9, "LockOnReset"},
          {10, "ActiveKey"},
          {11, "NextKey"},
          {12, "ReEncryptState"},
          {13, "ReEncryptRequest"},
          {14, "AdvKeyMode"},
          {15, "VerifyMode"},
          {16, "ContOnReset"},
          {17, "LastReEncryptLBA"},
          {18, "LastReEncStat"},
          {19, "GeneralStatus"}}},
        {kTableMbrControl, {{0, "UID"}, {1, "Enable"}, {2, "Done"}, {3, "MBRDoneOnReset"}}},
        {kTableKAes128, {{0, "UID"}, {1, "Name"}, {2, "CommonName"}, {3, "Key"}, {4, "Mode"}}},
        {kTableKAes256, {{0, "UID"}, {1, "Name"}, {2, "CommonName"}, {3, "Key"}, {4, "Mode"}}},
    };
    return schemas;
}

}  // namespace

const std::vector<ColumnDef>& Columns(uint32_t table) {
    static const std::vector<ColumnDef> none;
    auto it = Schemas().find(table);
    return it == Schemas().end() ? none : it->second;
}

std::optional<uint32_t> ColumnByName(uint32_t table, const std::string& name) {
    for (const ColumnDef& c : Columns(table))
        if (name == c.name) return c.number;
    return std::nullopt;
}

Bytes EncodeUint(uint64_t v) {
    Bytes b;
    PutUint(b, v);
    return b;
}

Bytes EncodeBytes(const Bytes& v) {
    Bytes b;
    PutBytes(b, v);
    return b;
}

std::optional<Token> SingleToken(const Bytes& encoded) {
    std::vector<Token> t;
    std::string error;
    if (!DecodeTokens(encoded, t, error) || t.size() != 1) return std::nullopt;
    return t[0];
}

std::optional<uint64_t> Sp::Uint(const Uid& row, uint32_t column) const {
    auto r = rows.find(row);
    if (r == rows.end()) return std::nullopt;
    auto c = r->second.find(column);
    if (c == r->second.end()) return std::nullopt;
    auto t = SingleToken(c->second);
    if (!t || !t->IsUint()) return std::nullopt;
    return t->uint;
}

std::optional<Bytes> Sp::ByteString(const Uid& row, uint32_t column) const {
    auto r = rows.find(row);
    if (r == rows.end()) return std::nullopt;
    auto c = r->second.find(column);
    if (c == r->second.end()) return std::nullopt;
    auto t = SingleToken(c->second);
    if (!t || !t->IsBytes()) return std::nullopt;
    return t->bytes;
}

void Sp::SetUint(const Uid& row, uint32_t column, uint64_t v) {
    rows[row][column] = EncodeUint(v);
}

void Sp::SetBytes(const Uid& row, uint32_t column, const Bytes& v) {
    rows[row][column] = EncodeBytes(v);
}

void Sp::SetUid(const Uid& row, uint32_t column, const Uid& v) {
    rows[row][column] = EncodeBytes(Bytes(v.begin(), v.end()));
}

nlohmann::json SpToJson(const Sp& sp) {
    nlohmann::json rows = nlohmann::json::object();
    for (const auto& [uid, row] : sp.rows) {
        nlohmann::json cells = nlohmann::json::object();
        for (const auto& [column, value] : row) cells[std::to_string(column)] = Hex(value);
        rows[Hex(uid.data(), uid.size())] = cells;
    }
    return {
        {"uid", Hex(sp.uid.data(), sp.uid.size())}, {"life_cycle", sp.lifeCycle}, {"rows", rows}};
}

namespace {

bool UidFromHex(const std::string& s, Uid& out) {
    Bytes b;
    if (!FromHex(s, b) || b.size() != 8) return false;
    std::copy(b.begin(), b.end(), out.begin());
    return true;
}

}  // namespace

bool SpFromJson(const nlohmann::json& j, Sp& sp, std::string& error) {
    if (!j.is_object() || !j.contains("uid") || !j["uid"].is_string() ||
        !UidFromHex(j["uid"].get<std::string>(), sp.uid)) {
        error = "SP without a UID";
        return false;
    }
    if (!j.contains("life_cycle") || !j["life_cycle"].is_number_unsigned()) {
        error = "SP without a life cycle";
        return false;
    }
    sp.lifeCycle = uint8_t(j["life_cycle"].get<unsigned>());
    if (!j.contains("rows") || !j["rows"].is_object()) {
        error = "SP without rows";
        return false;
    }
    sp.rows.clear();
    for (const auto& [key, cells] : j["rows"].items()) {
        Uid row;
        if (!UidFromHex(key, row) || !cells.is_object()) {
            error = "bad row " + key;
            return false;
        }
        sp.rows[row];  // a row may have no cells (the SP table's rows)
        for (const auto& [column, value] : cells.items()) {
            Bytes enc;
            char* end = nullptr;
            const unsigned long n = std::strtoul(column.c_str(), &end, 10);
            if (column.empty() || *end || !value.is_string() ||
                !FromHex(value.get<std::string>(), enc)) {
                error = "bad cell " + key + "." + column;
                return false;
            }
            sp.rows[row][uint32_t(n)] = enc;
        }
    }
    return true;
}

}  // namespace emu::tcg
