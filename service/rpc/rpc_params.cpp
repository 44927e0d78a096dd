#include "rpc_params.h"

#include <algorithm>
#include <cstring>

namespace rpc {

namespace {

template <typename T>
bool rangedParam(const value& params, const char* key, int64_t max, T& out) {
    const int64_t v = json::toInt64(json::member(params, key));
    if (v < 0 || v > max) return false;
    out = static_cast<T>(v);
    return true;
}

}  // namespace

int domainParam(const value& params) {
    return json::toInt(json::member(params, "domain"));
}

uint32_t u32Param(const value& params, const char* key) {
    return json::toUInt(json::member(params, key));
}

bool u8Param(const value& params, const char* key, uint8_t& out) {
    return rangedParam(params, key, UINT8_MAX, out);
}

bool u16Param(const value& params, const char* key, uint16_t& out) {
    return rangedParam(params, key, UINT16_MAX, out);
}

bool arrayParamsFrom(const value& params, ARK_ARRAY_PARAMS& out) {
    std::memset(&out, 0, sizeof out);
    out.source_id = u32Param(params, "source_id");
    out.capacity = static_cast<uint64_t>(json::toInt64(json::member(params, "capacity")));
    if (!u8Param(params, "ss_shift", out.ss_shift) ||
        !u8Param(params, "raidlevel", out.raidlevel) ||
        !u8Param(params, "bs_shift", out.bs_shift) || !u8Param(params, "subdisks", out.subdisks) ||
        !u8Param(params, "init_options", out.init_options) ||
        !u8Param(params, "cache_policy", out.cache_policy)) {
        return false;
    }

    const value& name = json::member(params, "aname");
    if (name.is_string()) {
        const std::string& text = name.get_ref<const std::string&>();
        std::memcpy(out.aname, text.data(), std::min(text.size(), sizeof out.aname));
    } else if (!name.is_null()) {
        return false;
    }

    const value& members = json::member(params, "members");
    if (members.is_null()) return true;
    // Cutting a longer list would build a different array than the one asked for.
    if (!members.is_array() || members.size() > ARK_MAX_MEMBERS) return false;
    out.ndisks = static_cast<uint8_t>(members.size());
    for (size_t i = 0; i < members.size(); ++i) out.members[i] = json::toUInt(members[i]);
    return true;
}

std::string hexBytes(const uint8_t* data, size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out(size * 2, '0');
    for (size_t i = 0; i < size; ++i) {
        out[2 * i] = kDigits[data[i] >> 4];
        out[2 * i + 1] = kDigits[data[i] & 0xF];
    }
    return out;
}

int checkAnswer(const value& params, value& result, int (*ask)(int domain, uint32_t id)) {
    const uint32_t id = u32Param(params, "id");
    if (id == 0) return kRpcBadParams;
    const int answer = ask(domainParam(params), id);
    if (answer < 0) return kRpcFailed;
    result = answer;
    return kRpcOk;
}

}  // namespace rpc
