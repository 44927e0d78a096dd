// The Session Manager (Properties, StartSession, CloseSession) and the packets of an open
// session (End_of_Session, method calls).

#include <algorithm>
#include <array>

#include "params.h"
#include "sed_drive.h"
#include "status.h"

namespace emu::tcg {
namespace {

// Optional StartSession parameters by number; the Enterprise dialect names them by text.
const std::array<const char*, 9> kStartSessionNames = {
    "HostChallenge",        "HostExchangeAuthority", "HostExchangeCert",
    "HostSigningAuthority", "HostSigningCert",       "SessionTimeout",
    "TransTimeout",         "InitialCredit",         "SignedHash"};
constexpr uint64_t kHostChallenge = 0, kHostSigningAuthority = 3, kSessionTimeout = 5;

// Host properties the TPer takes, with the least it accepts.
const struct {
    const char* name;
    uint64_t minimum;
} kHostPropertyNames[] = {
    {"MaxMethods", 1},
    {"MaxSubpackets", 1},
    {"MaxPacketSize", 2028},
    {"MaxPackets", 1},
    {"MaxComPacketSize", 2048},
    {"MaxResponseComPacketSize", 2048},
    {"MaxIndTokenSize", 1992},
    {"MaxAggTokenSize", 1992},
    {"ContinuedTokens", 0},
    {"SequenceNumbers", 0},
    {"AckNak", 0},
    {"Asynchronous", 0},
};

Bytes Finish(Bytes payload, uint8_t st) {
    payload.push_back(kEndOfData);
    payload.push_back(kStartList);
    PutUint(payload, st);
    PutUint(payload, 0);
    PutUint(payload, 0);
    payload.push_back(kEndList);
    return payload;
}

// A Session Manager reply is itself a call from the TPer.
Bytes SessionManagerReply(const Uid& method, const Bytes& results) {
    Bytes p{kCall};
    PutUid(p, uid::kSessionManager);
    PutUid(p, method);
    p.push_back(kStartList);
    p.insert(p.end(), results.begin(), results.end());
    p.push_back(kEndList);
    return Finish(p, status::kSuccess);
}

Bytes FailedReply(uint8_t st) {
    return Finish({kStartList, kEndList}, st);
}

std::string SpName(const Uid& sp) {
    return UidName(sp);
}

}  // namespace

Call SedDrive::NewCall(const Uid& invoker, const Uid& method,
                       const std::vector<Token>& params) const {
    Call c;
    c.invoker = invoker;
    c.method = method;
    c.params = params;
    if (m_session) {
        c.sp = SpName(m_session->sp);
        c.authority = AuthorityText();
    } else {
        c.sp = "SessionManager";
    }
    return c;
}

std::string SedDrive::AuthorityText() const {
    if (!m_session || m_session->authorities.empty()) return "Anybody";
    std::string s;
    for (const Uid& a : m_session->authorities) s += (s.empty() ? "" : "+") + UidName(a);
    return s;
}

bool SedDrive::HandleSessionManager(const std::vector<Token>& tokens) {
    Uid invoker, method;
    std::vector<Token> params;
    std::string error;
    if (!SplitCall(tokens, invoker, method, params, error)) return Refuse(error);
    if (invoker != uid::kSessionManager)
        return Refuse("call on " + UidName(invoker) + " outside a session");
    Call call = NewCall(invoker, method, params);
    call.sp = "SessionManager";
    call.authority.clear();
    Bytes results;
    Uid replyMethod = method;
    if (Fault* f = TakeFault(Fault::Kind::MethodStatus, &call)) {
        call.status = uint8_t(f->value);
    } else if (method == method::kProperties) {
        call.status = Properties(params, results);
    } else if (method == method::kStartSession) {
        call.status = StartSession(params, call, results);
        replyMethod = method::kSyncSession;
    } else if (method == method::kCloseSession) {
        call.status = CloseSession(params, results);
    } else {
        call.status = status::kInvalidFunction;
    }
    m_calls.push_back(call);
    Queue(0, 0,
          call.status == status::kSuccess ? SessionManagerReply(replyMethod, results)
                                          : FailedReply(call.status),
          &m_calls.back());
    return true;
}

uint8_t SedDrive::Properties(const std::vector<Token>& params, Bytes& results) {
    std::vector<std::pair<std::string, uint64_t>> host;
    ParamReader r(params);
    if (!r.AtEnd()) {
        Token name;
        std::vector<Token> value;
        if (!r.Named(name, value) || !r.AtEnd()) return status::kInvalidParameter;
        const bool rightName = m_profile.dialect() == Dialect::Enterprise
                                   ? name.IsBytes() && name.Text() == "HostProperties"
                                   : name.IsUint() && name.uint == 0;
        if (!rightName) return status::kInvalidParameter;
        if (value.size() < 2 || !value.front().IsControl(kStartList))
            return status::kInvalidParameter;
        std::vector<Token> list(value.begin() + 1, value.end() - 1);
        ParamReader items(list);
        while (!items.AtEnd()) {
            Token n;
            std::vector<Token> v;
            if (!items.Named(n, v) || !n.IsBytes() || v.size() != 1 || !v[0].IsUint())
                return status::kInvalidParameter;
            for (const auto& known : kHostPropertyNames) {
                if (n.Text() == known.name)
                    host.emplace_back(known.name, std::max(v[0].uint, known.minimum));
            }
        }
    }
    results.push_back(kStartList);
    for (const auto& [name, value] : m_tperProperties) {
        results.push_back(kStartName);
        PutText(results, name);
        PutUint(results, value);
        results.push_back(kEndName);
    }
    results.push_back(kEndList);
    results.push_back(kStartName);
    if (m_profile.dialect() == Dialect::Enterprise)
        PutText(results, "HostProperties");
    else
        PutUint(results, 0);
    results.push_back(kStartList);
    for (const auto& [name, value] : host) {
        results.push_back(kStartName);
        PutText(results, name);
        PutUint(results, value);
        results.push_back(kEndName);
    }
    results.push_back(kEndList);
    results.push_back(kEndName);
    m_hostProperties = host;
    m_propertiesExchanged = true;
    return status::kSuccess;
}

uint8_t SedDrive::StartSession(const std::vector<Token>& params, Call& call, Bytes& results) {
    ParamReader r(params);
    uint64_t hsn = 0, write = 0;
    Uid spUid;
    if (!r.Uint(hsn) || !r.Uid8(spUid) || !r.Uint(write) || write > 1 || hsn > 0xFFFFFFFF)
        return status::kInvalidParameter;
    std::optional<Bytes> challenge;
    std::optional<Uid> authority;
    bool timeout = false;
    int64_t last = -1;
    while (!r.AtEnd()) {
        Token name;
        std::vector<Token> value;
        if (!r.Named(name, value)) return status::kInvalidParameter;
        int64_t index = -1;
        if (m_profile.dialect() == Dialect::Enterprise) {
            if (!name.IsBytes()) return status::kInvalidParameter;
            for (size_t i = 0; i < kStartSessionNames.size(); ++i)
                if (name.Text() == kStartSessionNames[i]) index = int64_t(i);
        } else if (name.IsUint() && name.uint < kStartSessionNames.size()) {
            index = int64_t(name.uint);
        }
        if (index <= last) return status::kInvalidParameter;  // unknown, repeated, out of order
        last = index;
        if (value.size() != 1) return status::kInvalidParameter;
        const Token& v = value[0];
        if (uint64_t(index) == kHostChallenge && v.IsBytes()) {
            challenge = v.bytes;
        } else if (uint64_t(index) == kHostSigningAuthority && v.IsUid()) {
            authority = v.AsUid();
        } else if (uint64_t(index) == kSessionTimeout && v.IsUint()) {
            timeout = true;
        } else {
            return status::kInvalidParameter;
        }
    }
    if (timeout && TakeFault(Fault::Kind::RefuseSessionTimeout, &call))
        return status::kInvalidParameter;
    if (m_session) return status::kNoSessionsAvailable;
    Sp* sp = m_model.FindSp(spUid);
    if (!sp || sp->lifeCycle != kManufactured) return status::kInvalidParameter;
    if (challenge && !authority) return status::kInvalidParameter;
    if (authority) {
        const uint8_t st = CheckCredential(*sp, *authority, challenge);
        if (st != status::kSuccess) return st;
    }
    SessionInfo s;
    s.tsn = m_nextTsn++;
    s.hsn = uint32_t(hsn);
    s.sp = spUid;
    s.write = write != 0;
    if (authority && *authority != uid::kAnybody) s.authorities.push_back(*authority);
    m_session = s;
    PutUint(results, s.hsn);
    PutUint(results, s.tsn);
    return status::kSuccess;
}

uint8_t SedDrive::CloseSession(const std::vector<Token>& params, Bytes& results) {
    ParamReader r(params);
    uint64_t hsn = 0, tsn = 0;
    if (!r.Uint(hsn) || !r.Uint(tsn) || !r.AtEnd()) return status::kInvalidParameter;
    if (!m_session || m_session->hsn != hsn || m_session->tsn != tsn)
        return status::kInvalidParameter;
    m_session.reset();
    PutUint(results, hsn);
    PutUint(results, tsn);
    return status::kSuccess;
}

uint8_t SedDrive::CheckCredential(Sp& sp, const Uid& authority, const std::optional<Bytes>& proof) {
    if (UidHigh(authority) != kTableAuthority || !sp.Has(authority))
        return status::kInvalidParameter;
    if (sp.Uint(authority, col::kIsClass).value_or(0)) return status::kInvalidParameter;
    if (!sp.Uint(authority, col::kEnabled).value_or(0)) return status::kNotAuthorized;
    const std::optional<Bytes> credential = sp.ByteString(authority, col::kCredential);
    if (!credential || credential->size() != 8) {
        return proof ? status::kNotAuthorized : status::kSuccess;  // Anybody and the like
    }
    Uid pinRow;
    std::copy(credential->begin(), credential->end(), pinRow.begin());
    const Bytes pin = sp.ByteString(pinRow, col::kPin).value_or(Bytes{});
    const uint64_t limit = sp.Uint(pinRow, col::kTryLimit).value_or(0);
    const uint64_t tries = sp.Uint(pinRow, col::kTries).value_or(0);
    if (limit && tries >= limit) return status::kAuthorityLockedOut;
    if (proof.value_or(Bytes{}) == pin) {
        sp.SetUint(pinRow, col::kTries, 0);
        return status::kSuccess;
    }
    sp.SetUint(pinRow, col::kTries, tries + 1);
    return status::kNotAuthorized;
}

bool SedDrive::HandleSession(uint32_t tsn, uint32_t hsn, const std::vector<Token>& tokens) {
    if (!m_session || m_session->tsn != tsn || m_session->hsn != hsn)
        return Refuse("packet for TSN " + std::to_string(tsn) + " HSN " + std::to_string(hsn) +
                      ", which is no open session");
    if (tokens.size() == 1 && tokens[0].IsControl(kEndOfSession)) {
        Call call = NewCall({}, {}, {});
        call.endOfSession = true;
        m_calls.push_back(call);
        m_session.reset();
        Queue(tsn, hsn, Bytes{kEndOfSession}, &m_calls.back());
        return true;
    }
    Uid invoker, method;
    std::vector<Token> params;
    std::string error;
    if (!SplitCall(tokens, invoker, method, params, error)) return Refuse(error);
    if (invoker == uid::kSessionManager) return Refuse("Session Manager call inside a session");
    Call call = NewCall(invoker, method, params);
    Bytes results;
    m_endSessionAfterReply = false;
    if (Fault* f = TakeFault(Fault::Kind::MethodStatus, &call))
        call.status = uint8_t(f->value);
    else
        call.status = Invoke(invoker, method, params, results);
    m_calls.push_back(call);
    Bytes payload{kStartList};
    if (call.status == status::kSuccess)
        payload.insert(payload.end(), results.begin(), results.end());
    payload.push_back(kEndList);
    Queue(tsn, hsn, Finish(payload, call.status), &m_calls.back());
    if (m_endSessionAfterReply) m_session.reset();
    return true;
}

uint8_t SedDrive::Invoke(const Uid& invoker, const Uid& method, const std::vector<Token>& params,
                         Bytes& results) {
    if (m_profile.dialect() == Dialect::Enterprise) {
        if (auto st = InvokeEnterprise(invoker, method, params, results)) return *st;
    }
    if (invoker == uid::kThisSp &&
        (method == method::kAuthenticate || method == method::kEAuthenticate))
        return Authenticate(method, params, results);
    if (method == method::kGet || method == method::kEGet) {
        if ((method == method::kEGet) != (m_profile.dialect() == Dialect::Enterprise))
            return status::kInvalidFunction;
        return Get(invoker, params, results);
    }
    if (method == method::kSet || method == method::kESet) {
        if ((method == method::kESet) != (m_profile.dialect() == Dialect::Enterprise))
            return status::kInvalidFunction;
        return Set(invoker, params);
    }
    if (m_profile.dialect() == Dialect::Opal) return InvokeOpal(invoker, method, params);
    return status::kInvalidFunction;
}

uint8_t SedDrive::Authenticate(const Uid& method, const std::vector<Token>& params,
                               Bytes& results) {
    const bool enterprise = m_profile.dialect() == Dialect::Enterprise;
    if ((method == method::kEAuthenticate) != enterprise) return status::kInvalidFunction;
    ParamReader r(params);
    Uid authority;
    if (!r.Uid8(authority)) return status::kInvalidParameter;
    std::optional<Bytes> proof;
    if (!r.AtEnd()) {
        Token name;
        std::vector<Token> value;
        if (!r.Named(name, value) || !r.AtEnd() || value.size() != 1 || !value[0].IsBytes())
            return status::kInvalidParameter;
        const bool rightName = enterprise ? name.IsBytes() && name.Text() == "Challenge"
                                          : name.IsUint() && name.uint == 0;
        if (!rightName) return status::kInvalidParameter;
        proof = value[0].bytes;
    }
    Sp* sp = m_model.FindSp(m_session->sp);
    const uint8_t st = CheckCredential(*sp, authority, proof);
    if (st == status::kNotAuthorized) {
        PutUint(results, 0);
        return status::kSuccess;
    }
    if (st != status::kSuccess) return st;
    auto& list = m_session->authorities;
    if (authority != uid::kAnybody && std::find(list.begin(), list.end(), authority) == list.end())
        list.push_back(authority);
    PutUint(results, 1);
    return status::kSuccess;
}

}  // namespace emu::tcg
