#pragma once

// Reading method parameters into controller records and writing record fields into results,
// for every method that addresses a domain or a device.

#include <cstdint>
#include <string>

#include "ark.h"
#include "json_util.h"
#include "rpc_method.h"

namespace rpc {

// The "domain" member as an int (conversions of json::toInt64).
int domainParam(const value& params);

// A 32-bit id or command; "-1" reads as 0xFFFFFFFF.
uint32_t u32Param(const value& params, const char* key);

// Members that become a byte or a 16-bit word: false when the number read lies outside the
// field's range, so 256 is refused instead of being sent as 0.
bool u8Param(const value& params, const char* key, uint8_t& out);
bool u16Param(const value& params, const char* key, uint16_t& out);

// An id as a result number: "none" (0xFFFFFFFF) is written 0.
inline uint32_t idResult(uint32_t id) {
    return id == ARK_ID_NONE ? 0 : id;
}

// Fills a zeroed ARK_ARRAY_PARAMS from "source_id", "ss_shift", "raidlevel", "bs_shift",
// "subdisks", "init_options", "cache_policy", "aname", "capacity" and "members". False for a
// byte setting out of range, an "aname" that is not a text, a "members" that is not a list, a
// member list of more than 64 ids. A missing "aname" is an empty name, missing "members" none.
bool arrayParamsFrom(const value& params, ARK_ARRAY_PARAMS& out);

// Every byte as two lower-case hex digits.
std::string hexBytes(const uint8_t* data, size_t size);

// The rows that ask the controller a yes/no question about device "id" (CheckDelete,
// CheckUnload): id 0 is a bad parameter, a failed request a failure, else the answer byte.
int checkAnswer(const value& params, value& result, int (*ask)(int domain, uint32_t id));

}  // namespace rpc
