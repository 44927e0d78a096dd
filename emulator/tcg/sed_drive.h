#pragma once

// A self-encrypting drive behind ATA TRUSTED SEND / RECEIVE: Level 0 Discovery, the
// Properties exchange, one session at a time on the base ComID, and the SPs behind it.
// Every frame it receives is checked strictly; what it refuses ends the command with ATA
// ABRT and is listed in FrameErrors(). Calls are recorded, decoded, in CallLog().
//
// Not thread-safe by itself: the controller emulator calls it under its own lock, and tests
// inspect it between requests.

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "call_log.h"
#include "faults.h"
#include "model.h"
#include "profile.h"
#include "trusted_device.h"

namespace emu::tcg {

struct SessionInfo {
    uint32_t tsn = 0;
    uint32_t hsn = 0;
    Uid sp{};
    bool write = false;
    std::vector<Uid> authorities;  // signed in or authenticated, besides Anybody
};

class SedDrive : public TrustedDevice {
public:
    // MSID and PSID defaults; Configure may replace them.
    explicit SedDrive(const Profile& profile);

    // Scenario settings: {"msid": text, "psid": text, "tper_properties": {name: number or
    // null to leave it out}, "max_ranges": 0..1023, "locking_info_table": false to make the
    // Enterprise LockingInfo table's UID refuse a Get}. False with a message naming the field.
    bool Configure(const nlohmann::json& settings, std::string& error) override;

    bool TrustedSend(uint8_t protocol, uint16_t comId, const uint8_t* data, size_t length) override;
    bool TrustedReceive(uint8_t protocol, uint16_t comId, uint8_t* data, size_t length) override;
    // The SPs and credentials; open sessions and queued replies are not kept (the next run
    // finds the drive as after a power cycle).
    nlohmann::json SaveState() const override;
    bool RestoreState(const nlohmann::json& state) override;

    // --- for tests ---
    const Profile& profile() const { return m_profile; }
    uint16_t BaseComId() const { return m_profile.baseComId; }
    void InjectFault(const Fault& fault) { m_faults.push_back(fault); }
    void ClearFaults() { m_faults.clear(); }
    const std::vector<Call>& CallLog() const { return m_calls; }
    std::vector<std::string> CallLogLines() const;
    void ClearCallLog() { m_calls.clear(); }
    const std::vector<std::string>& FrameErrors() const { return m_frameErrors; }
    void ClearFrameErrors() { m_frameErrors.clear(); }
    const std::optional<SessionInfo>& Session() const { return m_session; }
    size_t QueuedReplies() const { return m_queue.size(); }
    // The properties the TPer reports; nullopt removes one from its reply.
    void SetTPerProperty(const std::string& name, std::optional<uint64_t> value);
    // What the host announced in its last Properties call (0 when it did not say).
    uint64_t HostProperty(const std::string& name) const;
    bool PropertiesExchanged() const { return m_propertiesExchanged; }
    // The persistent model: SPs, tables, credentials.
    const DriveModel& Model() const { return m_model; }
    DriveModel& MutableModel() { return m_model; }
    // The PIN held by a C_PIN row of an SP; nullopt when there is no such row.
    std::optional<Bytes> Pin(const Uid& sp, const Uid& cpinRow) const;
    // Enterprise: whether a Get of MaxRanges on the LockingInfo table's UID is answered (the
    // row's UID always is).
    void SetLockingInfoTableAnswers(bool answers);
    // Opal family: the key generation of range n, bumped whenever its data is erased (GenKey,
    // Erase, reverts); nullopt for a drive without keys or such a range.
    std::optional<uint64_t> KeyGeneration(uint32_t range) const;
    // Opal family: the ranges in Single User Mode, by number (0: the global range).
    std::vector<uint32_t> SingleUserRanges() const;

private:
    struct Reply {
        uint32_t tsn = 0, hsn = 0;
        Bytes frame;
        int64_t pendingPolls = 0;  // -1: never ready
    };
    struct Parsed;  // one decoded method call

    bool Refuse(const std::string& why);
    bool FaultMatches(Fault& f, Fault::Kind kind, const Call* call, uint16_t comId);
    Fault* TakeFault(Fault::Kind kind, const Call* call, uint16_t comId = 0);
    void Queue(uint32_t tsn, uint32_t hsn, Bytes payload, const Call* call);
    bool HandleSessionManager(const std::vector<Token>& tokens);
    bool HandleSession(uint32_t tsn, uint32_t hsn, const std::vector<Token>& tokens);
    uint8_t Properties(const std::vector<Token>& params, Bytes& results);
    uint8_t StartSession(const std::vector<Token>& params, Call& call, Bytes& results);
    uint8_t CloseSession(const std::vector<Token>& params, Bytes& results);
    uint8_t Invoke(const Uid& invoker, const Uid& method, const std::vector<Token>& params,
                   Bytes& results);
    uint8_t Authenticate(const Uid& method, const std::vector<Token>& params, Bytes& results);
    uint8_t Get(const Uid& row, const std::vector<Token>& params, Bytes& results);
    uint8_t Set(const Uid& row, const std::vector<Token>& params);
    bool MayRead(const Uid& row, uint32_t column) const;
    bool MayWrite(const Uid& row, uint32_t column) const;
    bool Signed(const Uid& authority) const;
    // SUCCESS, NOT_AUTHORIZED for a wrong proof, AUTHORITY_LOCKED_OUT, INVALID_PARAMETER
    // for an authority the SP does not have or that is a class or disabled.
    uint8_t CheckCredential(Sp& sp, const Uid& authority, const std::optional<Bytes>& proof);
    // Enterprise: Erase, GenKey, the reverts; nullopt for the methods shared with the Opal
    // family's code (authentication, Get, Set).
    std::optional<uint8_t> InvokeEnterprise(const Uid& invoker, const Uid& method,
                                            const std::vector<Token>& params, Bytes& results);
    bool EnterpriseMayRead(const Uid& row, uint32_t column) const;
    bool EnterpriseMayWrite(const Uid& row, uint32_t column) const;
    uint8_t CheckEnterpriseSet(const Sp& sp, const Uid& row,
                               const std::vector<std::pair<uint32_t, Bytes>>& changes) const;
    void RevertToFactory(bool keepGlobalKey);
    // Opal family (opal_methods.cpp, opal_access.cpp).
    uint8_t InvokeOpal(const Uid& invoker, const Uid& method, const std::vector<Token>& params);
    uint8_t Activate(const Uid& target, const std::vector<Token>& params);
    uint8_t Revert(const Uid& target, const std::vector<Token>& params);
    uint8_t RevertSp(const std::vector<Token>& params);
    uint8_t GenKey(const Uid& key, const std::vector<Token>& params);
    uint8_t Erase(const Uid& range, const std::vector<Token>& params);
    uint8_t SetMbr(const std::vector<Token>& params);
    void ResetOpalLockingSp(bool keepGlobalKey);
    bool SignedAdmin() const;  // some Admin n of the Locking SP
    // The user number that owns a Locking or K_AES row in Single User Mode.
    std::optional<uint32_t> SingleUserOwner(const Uid& row) const;
    bool OpalMayRead(const Uid& row, uint32_t column) const;
    bool OpalMayWrite(const Uid& row, uint32_t column) const;
    // INVALID_PARAMETER when a Set would place a range over another non-empty range.
    uint8_t CheckOpalRangeSet(const Sp& sp, const Uid& row,
                              const std::vector<std::pair<uint32_t, Bytes>>& changes) const;
    Call NewCall(const Uid& invoker, const Uid& method, const std::vector<Token>& params) const;
    std::string AuthorityText() const;
    Bytes Discovery() const;

    Profile m_profile;
    DriveModel m_model;
    std::vector<std::pair<std::string, uint64_t>> m_tperProperties;
    std::vector<std::pair<std::string, uint64_t>> m_hostProperties;
    bool m_propertiesExchanged = false;
    std::optional<SessionInfo> m_session;
    uint32_t m_nextTsn = 1;
    bool m_endSessionAfterReply = false;  // a revert ends the session it ran in
    bool m_lockingInfoTable = true;
    std::deque<Reply> m_queue;
    std::vector<Fault> m_faults;
    std::vector<Call> m_calls;
    std::vector<std::string> m_frameErrors;
};

}  // namespace emu::tcg
