// Transport side of the drive model: the three security protocols, frame checks, the reply
// queue with its not-ready polls, faults, settings and saved state.

#include "sed_drive.h"

#include <algorithm>

#include "discovery.h"
#include "enterprise.h"
#include "frame.h"
#include "params.h"
#include "status.h"

namespace emu::tcg {
namespace {

constexpr uint8_t kProtocolInfo = 0x00;
constexpr uint8_t kProtocolTcg = 0x01;
constexpr uint16_t kDiscoveryComId = 0x0001;
constexpr size_t kMaxQueued = 8;
constexpr uint64_t kMaxRanges = 1023;

Bytes TextBytes(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

}  // namespace

SedDrive::SedDrive(const Profile& profile) : m_profile(profile) {
    m_model =
        FactoryModel(profile, TextBytes("MSID" + profile.name), TextBytes("PSID" + profile.name));
    m_tperProperties = {
        {"MaxComPacketSize", 2048}, {"MaxResponseComPacketSize", 2048},
        {"MaxPacketSize", 2028},    {"MaxIndTokenSize", 1992},
        {"MaxPackets", 1},          {"MaxSubpackets", 1},
        {"MaxMethods", 1},          {"MaxSessions", 1},
        {"MaxAuthentications", 2},  {"MaxTransactionLimit", 1},
        {"DefSessionTimeout", 0},
    };
}

bool SedDrive::Configure(const nlohmann::json& settings, std::string& error) {
    if (settings.is_null()) return true;
    if (!settings.is_object()) {
        error = "expected an object";
        return false;
    }
    Bytes msid = m_model.msid, psid = m_model.psid;
    uint16_t maxRanges = m_profile.maxRanges;
    bool lockingInfoTable = m_lockingInfoTable;
    for (const auto& [key, value] : settings.items()) {
        if (key == "comment") continue;
        if (key == "msid" || key == "psid") {
            if (!value.is_string() || value.get<std::string>().empty() ||
                value.get<std::string>().size() > 32) {
                error = key + ": expected text of 1 to 32 characters";
                return false;
            }
            (key == "msid" ? msid : psid) = TextBytes(value.get<std::string>());
        } else if (key == "tper_properties") {
            if (!value.is_object()) {
                error = key + ": expected an object";
                return false;
            }
            for (const auto& [name, v] : value.items()) {
                if (!v.is_null() && !v.is_number_unsigned()) {
                    error = key + "." + name + ": expected a number or null";
                    return false;
                }
                SetTPerProperty(
                    name, v.is_null() ? std::nullopt : std::optional<uint64_t>(v.get<uint64_t>()));
            }
        } else if (key == "max_ranges") {
            if (!value.is_number_integer() || value.get<int64_t>() < 0 ||
                value.get<int64_t>() > int64_t(kMaxRanges)) {
                error = key + ": expected a number from 0 to 1023";
                return false;
            }
            maxRanges = uint16_t(value.get<uint64_t>());
        } else if (key == "locking_info_table") {
            if (!value.is_boolean()) {
                error = key + ": expected true or false";
                return false;
            }
            lockingInfoTable = value.get<bool>();
        } else {
            error = key + ": unknown field";
            return false;
        }
    }
    m_profile.maxRanges = maxRanges;
    m_lockingInfoTable = lockingInfoTable;
    m_model = FactoryModel(m_profile, msid, psid);
    return true;
}

void SedDrive::SetTPerProperty(const std::string& name, std::optional<uint64_t> value) {
    auto it = std::find_if(m_tperProperties.begin(), m_tperProperties.end(),
                           [&](const auto& p) { return p.first == name; });
    if (!value) {
        if (it != m_tperProperties.end()) m_tperProperties.erase(it);
    } else if (it != m_tperProperties.end()) {
        it->second = *value;
    } else {
        m_tperProperties.emplace_back(name, *value);
    }
}

uint64_t SedDrive::HostProperty(const std::string& name) const {
    for (const auto& [n, v] : m_hostProperties)
        if (n == name) return v;
    return 0;
}

std::optional<Bytes> SedDrive::Pin(const Uid& sp, const Uid& cpinRow) const {
    const Sp* s = m_model.FindSp(sp);
    if (!s) return std::nullopt;
    return s->ByteString(cpinRow, col::kPin);
}

std::vector<std::string> SedDrive::CallLogLines() const {
    std::vector<std::string> lines;
    for (const Call& c : m_calls) lines.push_back(c.ToString());
    return lines;
}

bool SedDrive::Refuse(const std::string& why) {
    m_frameErrors.push_back(why);
    return false;
}

bool SedDrive::FaultMatches(Fault& f, Fault::Kind kind, const Call* call, uint16_t comId) {
    if (f.kind != kind) return false;
    if (f.method && (!call || call->method != *f.method)) return false;
    if (f.invoker && (!call || call->invoker != *f.invoker)) return false;
    if ((kind == Fault::Kind::AbortSend || kind == Fault::Kind::AbortReceive) && f.value != 0 &&
        f.value != comId)
        return false;
    const uint32_t n = ++f.seen;
    if (f.onCall && n < f.onCall) return false;
    const uint32_t first = f.onCall ? f.onCall : 1;
    return f.times == 0 || n < first + f.times;
}

Fault* SedDrive::TakeFault(Fault::Kind kind, const Call* call, uint16_t comId) {
    Fault* hit = nullptr;
    for (Fault& f : m_faults)
        if (FaultMatches(f, kind, call, comId) && !hit) hit = &f;
    return hit;
}

// Builds the reply frame of a call and applies the reply faults armed for it.
void SedDrive::Queue(uint32_t tsn, uint32_t hsn, Bytes payload, const Call* call) {
    if (TakeFault(Fault::Kind::NoStatus, call) && payload.size() >= 6) {
        payload.resize(payload.size() - 6);
    }
    if (TakeFault(Fault::Kind::WrongTokenKind, call)) {
        std::vector<Token> t;
        std::string error;
        if (DecodeTokens(payload, t, error)) {
            // Skip the Call header of a Session Manager reply.
            const size_t from = (!t.empty() && t[0].IsControl(kCall)) ? 3 : 0;
            for (size_t i = from; i < t.size(); ++i) {
                if (t[i].IsUint()) {
                    Bytes changed(payload.begin(), payload.begin() + long(t[i].offset));
                    changed.push_back(kEmptyAtom);
                    changed.insert(changed.end(), payload.begin() + long(t[i].offset + t[i].size),
                                   payload.end());
                    payload = changed;
                    break;
                }
            }
        }
    }
    if (TakeFault(Fault::Kind::TokenPastEnd, call)) {
        if (payload.size() >= 6) payload.resize(payload.size() - 6);
        payload.insert(payload.end(), {0xD7, 0xFF, 'x', 'y'});  // claims 2047 bytes
    }
    Reply r;
    r.tsn = tsn;
    r.hsn = hsn;
    r.frame = BuildFrame(m_profile.baseComId, tsn, hsn, payload);
    auto adjust = [&](Fault::Kind kind, size_t offset) {
        if (Fault* f = TakeFault(kind, call))
            PutBig32(&r.frame[offset], uint32_t(int64_t(GetBig32(&r.frame[offset])) + f->value));
    };
    adjust(Fault::Kind::ComPacketLength, 16);
    adjust(Fault::Kind::PacketLength, 40);
    adjust(Fault::Kind::SubPacketLength, 52);
    if (TakeFault(Fault::Kind::ZeroHeader, call)) std::fill(r.frame.begin(), r.frame.end(), 0);
    if (Fault* f = TakeFault(Fault::Kind::Pending, call)) r.pendingPolls = f->value;
    m_queue.push_back(std::move(r));
}

bool SedDrive::TrustedSend(uint8_t protocol, uint16_t comId, const uint8_t* data, size_t length) {
    if (TakeFault(Fault::Kind::AbortSend, nullptr, comId)) return false;
    if (protocol != kProtocolTcg)
        return Refuse("IF-SEND on security protocol " + std::to_string(protocol));
    if (comId != m_profile.baseComId)
        return Refuse("IF-SEND on ComID " + std::to_string(comId) + ", not the base ComID " +
                      std::to_string(m_profile.baseComId));
    if (length == 0 || length % 512)
        return Refuse("IF-SEND of " + std::to_string(length) + " bytes");
    if (m_queue.size() >= kMaxQueued) return Refuse("IF-SEND while replies wait unread");
    uint64_t maxComPacket = 2048;
    for (const auto& [n, v] : m_tperProperties)
        if (n == "MaxComPacketSize") maxComPacket = v;
    Frame frame;
    std::string error;
    if (!ParseFrame(data, length, comId, size_t(maxComPacket), frame, error)) return Refuse(error);
    std::vector<Token> tokens;
    if (!DecodeTokens(frame.payload, tokens, error)) return Refuse(error);
    if (frame.tsn == 0 && frame.hsn == 0) return HandleSessionManager(tokens);
    return HandleSession(frame.tsn, frame.hsn, tokens);
}

bool SedDrive::TrustedReceive(uint8_t protocol, uint16_t comId, uint8_t* data, size_t length) {
    if (TakeFault(Fault::Kind::AbortReceive, nullptr, comId)) return false;
    std::fill(data, data + length, 0);
    if (protocol == kProtocolInfo) {
        if (comId != 0) return Refuse("IF-RECV protocol 0 on ComID " + std::to_string(comId));
        const uint8_t list[] = {0x00, 0x01};  // protocol information, TCG
        PutBig16(data + 6, sizeof list);
        std::copy(list, list + sizeof list, data + 8);
        return true;
    }
    if (protocol != kProtocolTcg)
        return Refuse("IF-RECV on security protocol " + std::to_string(protocol));
    if (comId == kDiscoveryComId) {
        const Bytes d = Discovery();
        std::copy(d.begin(), d.begin() + long(std::min(d.size(), length)), data);
        return true;
    }
    if (comId != m_profile.baseComId)
        return Refuse("IF-RECV on ComID " + std::to_string(comId) + ", not the base ComID " +
                      std::to_string(m_profile.baseComId));
    PutBig16(data + 4, comId);
    if (m_queue.empty()) return true;  // nothing outstanding: an empty ComPacket
    Reply& r = m_queue.front();
    if (r.pendingPolls != 0) {
        if (r.pendingPolls > 0) --r.pendingPolls;
        PutBig32(data + 8, 1);  // outstanding, not ready: MinTransfer 0
        return true;
    }
    if (r.frame.size() > length) {
        PutBig32(data + 8, uint32_t(r.frame.size()));
        PutBig32(data + 12, uint32_t(r.frame.size()));
        return true;
    }
    std::copy(r.frame.begin(), r.frame.end(), data);
    m_queue.pop_front();
    return true;
}

Bytes SedDrive::Discovery() const {
    DiscoveryState s;
    const Sp* locking = m_model.FindSp(LockingSpOf(m_profile));
    s.lockingEnabled = locking && locking->lifeCycle == kManufactured;
    if (locking && m_profile.dialect() == Dialect::Enterprise)
        s.locked = ent::AnyBandLocked(*locking, m_profile.maxRanges);
    if (s.lockingEnabled && m_profile.dialect() == Dialect::Opal) {
        for (uint32_t n = 0; n <= m_profile.maxRanges; ++n) {
            const Uid r = OpalRange(n);
            s.locked = s.locked ||
                       (locking->Uint(r, col::kReadLockEnabled).value_or(0) &&
                        locking->Uint(r, col::kReadLocked).value_or(0)) ||
                       (locking->Uint(r, col::kWriteLockEnabled).value_or(0) &&
                        locking->Uint(r, col::kWriteLocked).value_or(0));
        }
        s.mbrEnabled = locking->Uint(uid::kMbrControl, col::kMbrEnable).value_or(0) != 0;
        s.mbrDone = locking->Uint(uid::kMbrControl, col::kMbrDone).value_or(0) != 0;
        const size_t single = SingleUserRanges().size();
        s.singleUserAny = single > 0;
        s.singleUserAll = single == size_t(m_profile.maxRanges) + 1;
    }
    const Sp* admin = m_model.FindSp(uid::kAdminSp);
    if (admin) s.sidChanged = admin->ByteString(uid::kCPinSid, col::kPin) != m_model.msid;
    return Level0Discovery(m_profile, s);
}

nlohmann::json SedDrive::SaveState() const {
    nlohmann::json sps = nlohmann::json::array();
    for (const auto& [uid, sp] : m_model.sps) sps.push_back(SpToJson(sp));
    return {{"profile", m_profile.name},         {"msid", Hex(m_model.msid)},
            {"psid", Hex(m_model.psid)},         {"session_open", m_session.has_value()},
            {"max_ranges", m_profile.maxRanges}, {"sps", sps}};
}

bool SedDrive::RestoreState(const nlohmann::json& state) {
    if (!state.is_object() || !state.contains("profile") || state["profile"] != m_profile.name)
        return false;
    DriveModel m = FactoryModel(m_profile, m_model.msid, m_model.psid);
    if (!state.contains("sps") || !state["sps"].is_array()) return false;
    m.sps.clear();
    for (const auto& j : state["sps"]) {
        Sp sp;
        std::string error;
        if (!SpFromJson(j, sp, error)) return false;
        m.sps[sp.uid] = sp;
    }
    if (!m.FindSp(uid::kAdminSp) || !m.FindSp(LockingSpOf(m_profile))) return false;
    auto hexField = [&](const char* key, Bytes& out) {
        return state.contains(key) && state[key].is_string() &&
               FromHex(state[key].get<std::string>(), out) && !out.empty();
    };
    if (!hexField("msid", m.msid) || !hexField("psid", m.psid)) return false;
    if (state.contains("max_ranges")) {
        if (!state["max_ranges"].is_number_unsigned() ||
            state["max_ranges"].get<uint64_t>() > kMaxRanges)
            return false;
        m_profile.maxRanges = uint16_t(state["max_ranges"].get<uint64_t>());
    }
    m_model = std::move(m);
    m_session.reset();
    m_queue.clear();
    return true;
}

}  // namespace emu::tcg
