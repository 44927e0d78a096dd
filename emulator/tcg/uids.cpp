#include "uids.h"

namespace emu::tcg {
namespace {

std::string Numbered(const char* prefix, uint32_t n) {
    return prefix + std::to_string(n);
}

std::string AuthorityName(uint32_t low) {
    switch (low) {
        case 1:
            return "Anybody";
        case 2:
            return "Admins";
        case 3:
            return "Makers";
        case 6:
            return "SID";
        case 0x0201:
            return "AdminSP_Admin1";
        case 0x8401:
            return "EraseMaster";
        case 0x8402:
            return "MSID";
        case 0x0001FF01:
            return "PSID";
        case 0x00030000:
            return "Users";
        default:
            break;
    }
    if ((low & 0xFFFFFF00) == uid::kAdminBase && (low & 0xFF)) return Numbered("Admin", low & 0xFF);
    if ((low & 0xFFFFFF00) == uid::kUserBase && (low & 0xFF)) return Numbered("User", low & 0xFF);
    if (low >= uid::kBandMasterBase && low <= uid::kBandMasterBase + 1023)
        return Numbered("BandMaster", low - uid::kBandMasterBase);
    return {};
}

std::string RangeName(uint32_t low) {
    if (low == 1) return "GlobalRange";
    if ((low & 0xFFFFFF00) == 0x00030000 && (low & 0xFF)) return Numbered("Range", low & 0xFF);
    if (low >= 2 && low <= 1024) return Numbered("Band", low - 1);
    return {};
}

}  // namespace

std::string UidName(const Uid& u) {
    const uint32_t high = UidHigh(u), low = UidLow(u);
    std::string name;
    switch (high) {
        case 0:
            if (low == 0xFF) name = "SMUID";
            if (low == 1) name = "ThisSP";
            break;
        case 0x205:
            if (low == 1) name = "AdminSP";
            if (low == 2) name = "LockingSP";
            if (low == 0x00010001) name = "EntLockingSP";
            break;
        case 9:
            name = AuthorityName(low);
            break;
        case 0x0B: {
            const std::string a = AuthorityName(low);
            if (low == 1)
                name = "C_PIN_SID";
            else if (!a.empty())
                name = "C_PIN_" + a;
            break;
        }
        case 0x0801:
            if (low == 1) name = "LockingInfo";
            break;
        case 0x0802: {
            const std::string r = RangeName(low);
            if (!r.empty()) name = "Locking_" + r;
            break;
        }
        case 0x0803:
            if (low == 1) name = "MBRControl";
            break;
        case 0x0804:
            if (low == 0) name = "MBR";
            break;
        case 0x0805:
        case 0x0806: {
            const std::string r = RangeName(low);
            if (!r.empty()) name = (high == 0x0805 ? "K_AES_128_" : "K_AES_256_") + r;
            break;
        }
        default:
            break;
    }
    if (high == 0xFFFFFFFF && low == 0xFFFFFFFF) name = "None";
    if (low == 0 && name.empty()) {
        switch (high) {
            case 0x09:
                name = "AuthorityTable";
                break;
            case 0x0B:
                name = "C_PINTable";
                break;
            case 0x0801:
                name = "LockingInfoTable";
                break;
            case 0x0802:
                name = "LockingTable";
                break;
            default:
                break;
        }
    }
    return name.empty() ? Hex(u.data(), u.size()) : name;
}

std::string MethodName(const Uid& u) {
    static const struct {
        Uid uid;
        const char* name;
    } kMethods[] = {
        {method::kProperties, "Properties"},
        {method::kStartSession, "StartSession"},
        {method::kSyncSession, "SyncSession"},
        {method::kCloseSession, "CloseSession"},
        {method::kRevert, "Revert"},
        {method::kActivate, "Activate"},
        {method::kEGet, "EGet"},
        {method::kESet, "ESet"},
        {method::kNext, "Next"},
        {method::kEAuthenticate, "EAuthenticate"},
        {method::kGetAcl, "GetACL"},
        {method::kGenKey, "GenKey"},
        {method::kRevertSp, "RevertSP"},
        {method::kGet, "Get"},
        {method::kSet, "Set"},
        {method::kAuthenticate, "Authenticate"},
        {method::kRandom, "Random"},
        {method::kErase, "Erase"},
    };
    for (const auto& m : kMethods)
        if (m.uid == u) return m.name;
    return Hex(u.data(), u.size());
}

}  // namespace emu::tcg
