#include "rpc_params.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(RpcParams, ByteSettingsAreRangeCheckedBeforeNarrowing) {
    const struct {
        const char* name;
        value v;
        bool ok;
        uint8_t expected;
    } rows[] = {
        {"zero", 0, true, 0},
        {"largest", 255, true, 255},
        {"256 would wrap to 0", 256, false, 0},
        {"negative", -1, false, 0},
        {"a wide number", int64_t{1} << 40, false, 0},
        {"hex text", "0x10", true, 16},
        {"true", true, true, 1},
        {"double truncated", 3.9, true, 3},
        {"double past the range", 255.5e10, false, 0},
        {"missing reads 0", nullptr, true, 0},
        {"text without a number reads 0", "abc", true, 0},
        {"text above the range", "300", false, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        value params = value::object();
        if (!r.v.is_null()) params["value"] = r.v;
        uint8_t out = 77;
        EXPECT_EQ(rpc::u8Param(params, "value", out), r.ok);
        if (r.ok) {
            EXPECT_EQ(out, r.expected);
        }
    }

    uint16_t word = 0;
    EXPECT_TRUE(rpc::u16Param({{"w", 65535}}, "w", word));
    EXPECT_EQ(word, 65535);
    EXPECT_FALSE(rpc::u16Param({{"w", 65536}}, "w", word));
    EXPECT_FALSE(rpc::u16Param({{"w", -1}}, "w", word));
}

TEST(RpcParams, IdsAndDomains) {
    EXPECT_EQ(rpc::u32Param({{"id", -1}}, "id"), 0xFFFFFFFFu);
    EXPECT_EQ(rpc::u32Param({{"id", "0x100"}}, "id"), 256u);
    EXPECT_EQ(rpc::u32Param(value::array({1}), "id"), 0u) << "params not an object";
    EXPECT_EQ(rpc::domainParam({{"domain", "1"}}), 1);
    EXPECT_EQ(rpc::domainParam({{"domain", -1}}), -1);
    EXPECT_EQ(rpc::domainParam(nullptr), 0);
    EXPECT_EQ(rpc::idResult(ARK_ID_NONE), 0u);
    EXPECT_EQ(rpc::idResult(266), 266u);
}

value memberList(size_t n) {
    value list = value::array();
    for (size_t i = 0; i < n; ++i) list.push_back(1000 + i);
    return list;
}

TEST(RpcParams, ArrayParameters) {
    value params = {
        {"source_id", 266},         {"ss_shift", 1},     {"raidlevel", 3},
        {"bs_shift", "7"},          {"subdisks", 0},     {"init_options", 2},
        {"cache_policy", true},     {"capacity", 12345}, {"aname", "ABCDEFGHIJKLMNOPQRST"},
        {"members", memberList(64)}};
    ARK_ARRAY_PARAMS p;
    std::memset(&p, 0xAB, sizeof p);
    ASSERT_TRUE(rpc::arrayParamsFrom(params, p));
    EXPECT_EQ(std::string(p.aname, sizeof p.aname), "ABCDEFGHIJKLMNOP") << "first 16 bytes";
    EXPECT_EQ(p.capacity, 12345u);
    EXPECT_EQ(p.source_id, 266u);
    EXPECT_EQ(p.raidlevel, 3);
    EXPECT_EQ(p.ndisks, 64);
    EXPECT_EQ(p.subdisks, 0);
    EXPECT_EQ(p.bs_shift, 7);
    EXPECT_EQ(p.ss_shift, 1);
    EXPECT_EQ(p.init_options, 2);
    EXPECT_EQ(p.cache_policy, 1);
    EXPECT_EQ(p.reserved, 0);
    EXPECT_EQ(p.members[0], 1000u);
    EXPECT_EQ(p.members[63], 1063u);
    EXPECT_EQ(std::memcmp(p.padding, "\0\0\0\0", 4), 0);

    ARK_ARRAY_PARAMS bare;
    ASSERT_TRUE(rpc::arrayParamsFrom(value::object(), bare));
    EXPECT_EQ(std::string(bare.aname, sizeof bare.aname), std::string(16, '\0'))
        << "a missing name is empty, not \"null\"";
    EXPECT_EQ(bare.ndisks, 0);

    ARK_ARRAY_PARAMS wide;
    ASSERT_TRUE(rpc::arrayParamsFrom({{"capacity", -1}}, wide));
    EXPECT_EQ(wide.capacity, UINT64_MAX);
}

TEST(RpcParams, ArrayParametersRefused) {
    const struct {
        const char* name;
        const char* key;
        value v;
    } rows[] = {
        {"65 members are never cut to 64", "members", memberList(65)},
        {"300 members would wrap the count", "members", memberList(300)},
        {"members not a list", "members", "256,257"},
        {"name not a text", "aname", 5},
        {"raid level 256", "raidlevel", 256},
        {"negative block size", "bs_shift", -1},
        {"sector size 0x100", "ss_shift", "0x100"},
        {"sub-disks", "subdisks", 1000},
        {"init options", "init_options", -2},
        {"cache policy", "cache_policy", 258},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        value params = {{"raidlevel", 2}, {"members", memberList(2)}};
        params[r.key] = r.v;
        ARK_ARRAY_PARAMS p;
        EXPECT_FALSE(rpc::arrayParamsFrom(params, p));
    }
}

TEST(RpcParams, HexBytes) {
    const uint8_t bytes[] = {0x00, 0x0f, 0xa0, 0xff, 0x5c};
    EXPECT_EQ(rpc::hexBytes(bytes, sizeof bytes), "000fa0ff5c");
    EXPECT_EQ(rpc::hexBytes(bytes, 0), "");
}

}  // namespace
