// Get and Set on the rows of the session's SP: numbered columns (Opal family) or named ones
// (Enterprise), with the access rules of the factory ACLs.

#include <algorithm>

#include "params.h"
#include "sed_drive.h"
#include "status.h"

namespace emu::tcg {
namespace {

// A column given as a number (Opal) or a name (Enterprise).
std::optional<uint32_t> ColumnOf(const Token& t, uint32_t table, Dialect dialect) {
    if (dialect == Dialect::Enterprise)
        return t.IsBytes() ? ColumnByName(table, t.Text()) : std::nullopt;
    if (!t.IsUint() || t.uint > 0xFFFF) return std::nullopt;
    return uint32_t(t.uint);
}

const char* ColumnName(uint32_t table, uint32_t column) {
    for (const ColumnDef& c : Columns(table))
        if (c.number == column) return c.name;
    return "";
}

}  // namespace

bool SedDrive::Signed(const Uid& authority) const {
    const auto& a = m_session->authorities;
    return std::find(a.begin(), a.end(), authority) != a.end();
}

bool SedDrive::MayRead(const Uid& row, uint32_t column) const {
    if (m_profile.dialect() == Dialect::Enterprise) return EnterpriseMayRead(row, column);
    if (UidHigh(row) == kTableCPin && column == col::kPin)
        return row == uid::kCPinMsid;  // no other PIN is ever readable
    if (m_profile.dialect() == Dialect::Opal && m_session->sp == uid::kLockingSp)
        return OpalMayRead(row, column);
    return true;
}

bool SedDrive::MayWrite(const Uid& row, uint32_t column) const {
    if (m_profile.dialect() == Dialect::Enterprise) return EnterpriseMayWrite(row, column);
    if (!m_session->write) return false;
    const bool adminSp = m_session->sp == uid::kAdminSp;
    const uint32_t table = UidHigh(row);
    if (!adminSp && m_profile.dialect() == Dialect::Opal) return OpalMayWrite(row, column);
    if (table == kTableCPin) {
        if (row == uid::kCPinMsid || row == uid::kCPinPsid) return false;
        if (adminSp) return Signed(uid::kSid);
        for (const Uid& a : m_session->authorities)
            if (CPinOf(a) == row) return true;
        return false;
    }
    if (table == kTableAuthority)
        return !adminSp && column == col::kEnabled && Signed(AdminAuthority(1));
    return false;
}

uint8_t SedDrive::Get(const Uid& row, const std::vector<Token>& params, Bytes& results) {
    Sp& sp = *m_model.FindSp(m_session->sp);
    const uint32_t table = UidHigh(row);
    if (!sp.Has(row) || Columns(table).empty()) return status::kInvalidParameter;
    const Dialect dialect = m_profile.dialect();
    // One cell block: [ {startColumn}, {endColumn} ] (rows are not given for object tables).
    if (params.size() < 2 || !params.front().IsControl(kStartList) ||
        !params.back().IsControl(kEndList))
        return status::kInvalidParameter;
    std::vector<Token> block(params.begin() + 1, params.end() - 1);
    ParamReader r(block);
    uint32_t first = 0, last = Columns(table).back().number;
    int64_t lastName = -1;
    while (!r.AtEnd()) {
        Token name;
        std::vector<Token> value;
        if (!r.Named(name, value) || value.size() != 1) return status::kInvalidParameter;
        int64_t which = -1;
        if (dialect == Dialect::Enterprise && name.IsBytes())
            which = name.Text() == "startColumn" ? 3 : name.Text() == "endColumn" ? 4 : -1;
        if (dialect == Dialect::Opal && name.IsUint() && (name.uint == 3 || name.uint == 4))
            which = int64_t(name.uint);
        if (which <= lastName) return status::kInvalidParameter;
        lastName = which;
        const auto column = ColumnOf(value[0], table, dialect);
        if (!column) return status::kInvalidParameter;
        (which == 3 ? first : last) = *column;
    }
    if (first > last) return status::kInvalidParameter;
    Bytes cells;
    for (const ColumnDef& c : Columns(table)) {
        if (c.number < first || c.number > last) continue;
        if (!MayRead(row, c.number)) return status::kNotAuthorized;
        Bytes value;
        if (table == kTableSp && c.number == col::kLifeCycle) {
            const Sp* target = m_model.FindSp(row);
            if (!target) continue;
            value = EncodeUint(target->lifeCycle);
        } else {
            auto cell = sp.rows[row].find(c.number);
            if (cell == sp.rows[row].end()) continue;
            value = cell->second;
        }
        cells.push_back(kStartName);
        if (dialect == Dialect::Enterprise)
            PutText(cells, c.name);
        else
            PutUint(cells, c.number);
        cells.insert(cells.end(), value.begin(), value.end());
        cells.push_back(kEndName);
    }
    // Opal: [ cells ]; Enterprise: [ [ cells ] ], a list of the one row.
    results.push_back(kStartList);
    if (dialect == Dialect::Enterprise) results.push_back(kStartList);
    results.insert(results.end(), cells.begin(), cells.end());
    if (dialect == Dialect::Enterprise) results.push_back(kEndList);
    results.push_back(kEndList);
    return status::kSuccess;
}

uint8_t SedDrive::Set(const Uid& row, const std::vector<Token>& params) {
    Sp& sp = *m_model.FindSp(m_session->sp);
    const uint32_t table = UidHigh(row);
    if (row == uid::kMbrTable && sp.Has(row)) return SetMbr(params);
    if (!sp.Has(row) || Columns(table).empty()) return status::kInvalidParameter;
    const Dialect dialect = m_profile.dialect();
    std::vector<Token> values;
    if (dialect == Dialect::Opal) {
        // {1 = [ {column = value} ... ]}
        ParamReader r(params);
        Token name;
        if (!r.Named(name, values) || !r.AtEnd() || !name.IsUint() || name.uint != 1)
            return status::kInvalidParameter;
    } else {
        // [ ] (no row selection), [ [ {name = value} ... ] ]
        if (params.size() < 6 || !params[0].IsControl(kStartList) ||
            !params[1].IsControl(kEndList) || !params[2].IsControl(kStartList) ||
            !params.back().IsControl(kEndList))
            return status::kInvalidParameter;
        values.assign(params.begin() + 3, params.end() - 1);
    }
    if (values.size() < 2 || !values.front().IsControl(kStartList) ||
        !values.back().IsControl(kEndList) || SkipValue(values, 0) != values.size())
        return status::kInvalidParameter;
    std::vector<Token> list(values.begin() + 1, values.end() - 1);
    std::vector<std::pair<uint32_t, Bytes>> changes;
    ParamReader r(list);
    while (!r.AtEnd()) {
        Token name;
        std::vector<Token> value;
        if (!r.Named(name, value) || value.empty()) return status::kInvalidParameter;
        const auto column = ColumnOf(name, table, dialect);
        if (!column || *column == 0 || *ColumnName(table, *column) == 0)
            return status::kInvalidParameter;
        if (!MayWrite(row, *column)) return status::kNotAuthorized;
        const Token& v = value[0];
        Bytes enc;
        if (value.size() > 1) {
            // A list value (Enterprise LockOnReset), checked with the row below.
            if (dialect != Dialect::Enterprise || !v.IsControl(kStartList))
                return status::kInvalidParameter;
            enc = EncodeTokens(value);
        } else if (v.IsUint()) {
            PutUint(enc, v.uint);
        } else if (v.IsBytes()) {
            if (*column == col::kPin && v.bytes.size() > 32) return status::kInvalidParameter;
            PutBytes(enc, v.bytes);
        } else {
            return status::kInvalidParameter;
        }
        changes.emplace_back(*column, enc);
    }
    if (dialect == Dialect::Enterprise) {
        if (const uint8_t st = CheckEnterpriseSet(sp, row, changes)) return st;
    } else if (const uint8_t st = CheckOpalRangeSet(sp, row, changes)) {
        return st;
    }
    for (auto& [column, enc] : changes) sp.rows[row][column] = enc;
    return status::kSuccess;
}

}  // namespace emu::tcg
