#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "methods_test_fixture.h"

namespace rpctest {
namespace {

using DiskMethods = Methods;

const char kSsdName[] = "[1/E1/3] SSD 480GB KB8_SSDN81230123480BG";

ARK_ID_SETTING lastSetting(const std::vector<emu::LoggedRequest>& sent) {
    ARK_ID_SETTING s{};
    if (!sent.empty() && sent.back().input.size() == sizeof s) {
        std::memcpy(&s, sent.back().input.data(), sizeof s);
    }
    return s;
}

TEST_F(DiskMethods, SwitchesRefuseBadIdsAndValuesOutsideAByte) {
    const struct {
        const char* name;
        RpcHandler handler;
        uint32_t code;
    } switches[] = {
        {"read-ahead", fnSetDiskRA, ARK_REQ_SET_DISK_RA},
        {"write cache", fnSetDiskWC, ARK_REQ_SET_DISK_WC},
        {"queueing", fnSetDiskQD, ARK_REQ_SET_DISK_QD},
        {"SMART", fnSetDiskSmart, ARK_REQ_SET_DISK_SMART},
        {"locate", fnIdentifyDisk, ARK_REQ_IDENTIFY_DISK},
    };
    const struct {
        const char* name;
        value params;
    } refused[] = {
        {"id 0", {{"domain", 0}, {"id", 0}, {"value", 1}}},
        {"id missing", {{"domain", 0}, {"value", 1}}},
        {"value 256 is not 0", {{"domain", 0}, {"id", 264}, {"value", 256}}},
        {"value -1", {{"domain", 0}, {"id", 264}, {"value", -1}}},
        {"value text 0x101", {{"domain", 0}, {"id", 264}, {"value", "0x101"}}},
    };
    for (const auto& s : switches) {
        for (const auto& r : refused) {
            SCOPED_TRACE(std::string(s.name) + ": " + r.name);
            EXPECT_EQ(call(s.handler, r.params).code, kRpcBadParams);
        }
        SCOPED_TRACE(s.name);
        EXPECT_TRUE(requests(0, s.code).empty());
    }
    EXPECT_EQ(call(fnSetDiskQD, {{"domain", 0}, {"id", 264}, {"value", 0}}).code, kRpcBadParams)
        << "queue depth 0 is refused";
    EXPECT_TRUE(requests(0, ARK_REQ_SET_DISK_QD).empty());
}

TEST_F(DiskMethods, SwitchesReachTheDisk) {
    auto flags = [&](uint32_t id) {
        return call(fnGetVDInfo, {{"domain", 0}, {"id", id}})
            .result["disk"]["flags"]
            .get<uint32_t>();
    };
    EXPECT_EQ(flags(264) & ARK_DISK_RA_ON, 0u);
    EXPECT_EQ(call(fnSetDiskRA, {{"domain", 0}, {"id", 264}, {"value", true}}).code, kRpcOk);
    EXPECT_EQ(flags(264) & ARK_DISK_RA_ON, ARK_DISK_RA_ON);
    ARK_ID_SETTING sent = lastSetting(requests(0, ARK_REQ_SET_DISK_RA));
    EXPECT_EQ(sent.id, 264u);
    EXPECT_EQ(sent.value, 1);

    EXPECT_EQ(call(fnSetDiskWC, {{"domain", 0}, {"id", 263}, {"value", 1}}).code, kRpcOk);
    EXPECT_EQ(flags(263) & ARK_DISK_WC_ON, ARK_DISK_WC_ON);
    EXPECT_EQ(call(fnSetDiskSmart, {{"domain", 0}, {"id", 256}, {"value", 0}}).code, kRpcOk);
    EXPECT_EQ(flags(256) & ARK_DISK_SMART_ON, 0u);
    EXPECT_EQ(call(fnSetDiskQD, {{"domain", 0}, {"id", 264}, {"value", 255}}).code, kRpcOk);
    EXPECT_EQ(lastSetting(requests(0, ARK_REQ_SET_DISK_QD)).value, 255);
    EXPECT_EQ(call(fnIdentifyDisk, {{"domain", 0}, {"id", 256}, {"value", 1}}).code, kRpcOk);
    EXPECT_TRUE(emulator(0).Snapshot().disks.at(256).locate);

    EXPECT_EQ(call(fnSetDiskQD, {{"domain", 0}, {"id", 259}, {"value", 1}}).code, kRpcFailed)
        << "the disk does not queue commands";
    EXPECT_EQ(call(fnIdentifyDisk, {{"domain", 0}, {"id", 999}, {"value", 1}}).code, kRpcFailed);
}

TEST_F(DiskMethods, InitialisationAndSparesAreRecordedWhenTheyHappen) {
    EXPECT_EQ(call(fnInitDisk, {{"domain", 0}, {"id", 0}}).code, kRpcBadParams);
    EXPECT_EQ(call(fnInitDisk, {{"domain", 0}, {"id", 256}}).code, kRpcFailed) << "in an array";
    EXPECT_EQ(call(fnAssignSpareDisk, {{"domain", 0}, {"disk", 256}}).code, kRpcFailed);
    EXPECT_EQ(call(fnUnassignSpareDisk, {{"domain", 0}, {"disk", 263}}).code, kRpcFailed);
    EXPECT_EQ(call(fnAssignSpareDisk, {{"domain", 4}, {"disk", 263}}).code, kRpcFailed);
    EXPECT_TRUE(events().empty());

    EXPECT_EQ(call(fnInitDisk, {{"domain", 0}, {"id", 265}}).code, kRpcOk);
    EXPECT_EQ(call(fnAssignSpareDisk, {{"domain", 0}, {"disk", 263}}).code, kRpcOk);
    EXPECT_EQ(call(fnUnassignSpareDisk, {{"domain", 0}, {"disk", "262"}}).code, kRpcOk);
    auto log = events();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].code, 103);
    EXPECT_EQ(log[0].devname, "[1/7/1] HD7200 1T0ACA1_X3UJ1ABCDE");
    EXPECT_EQ(log[1].code, 107);
    EXPECT_EQ(log[1].devname, kSsdName);
    EXPECT_EQ(log[2].code, 108);
    EXPECT_EQ(log[2].devname, "[1/5] HD7200 4T0NM35_ZC11A2B3");
    for (const auto& e : log) {
        EXPECT_EQ(e.type, 1);
        EXPECT_EQ(e.data, "");
    }
}

TEST_F(DiskMethods, PassThroughRefusesCountsAndRegistersOutsideTheirFields) {
    const struct {
        const char* name;
        const char* key;
        value v;
    } rows[] = {
        {"two sectors", "sectors", 2},
        {"-1 sectors", "sectors", -1},
        {"65535 sectors", "sectors", 65535},
        {"65536 sectors would be 0", "sectors", 65536},
        {"0x10001 sectors would be 1", "sectors", "0x10001"},
        {"features", "features", 65536},
        {"lba_high", "lba_high", -1},
        {"command 0x1EC", "command", 0x1EC},
        {"device", "device", 256},
        {"protocol 257 would read as data in", "protocol", 257},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        value params = {
            {"domain", 0}, {"disk", 263}, {"command", 0xEC}, {"sectors", 1}, {"protocol", 1}};
        params[r.key] = r.v;
        EXPECT_EQ(call(fnAtaPassthrough, params).code, kRpcBadParams);
    }
    EXPECT_TRUE(requests(0, ARK_REQ_ATA_PASSTHROUGH).empty());
}

// The model text of IDENTIFY data: words 27-46, two characters per word, high byte first.
std::string identifyModel(const std::string& hex) {
    std::string model;
    for (size_t word = 27; word <= 46; ++word) {
        for (size_t b : {2 * word + 1, 2 * word}) {
            model += static_cast<char>(std::stoi(hex.substr(2 * b, 2), nullptr, 16));
        }
    }
    return model.substr(0, model.find_last_not_of(' ') + 1);
}

TEST_F(DiskMethods, PassThroughIdentifyReadsOneSector) {
    Reply r =
        call(fnAtaPassthrough,
             {{"domain", 0}, {"disk", 263}, {"command", 0xEC}, {"sectors", 1}, {"protocol", 1}});
    ASSERT_EQ(r.code, kRpcOk) << r.errmsg;
    EXPECT_EQ(r.result["status"], 0x50);
    const std::string hex = r.result["data"].get<std::string>();
    ASSERT_EQ(hex.size(), 1024u);
    EXPECT_EQ(hex.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(identifyModel(hex), "SSD 480GB KB8");

    auto sent = requests(0, ARK_REQ_ATA_PASSTHROUGH);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].input.size(), 20u);
    EXPECT_EQ(sent[0].outLen, 20u + 512);
    ARK_ATA_PASSTHROUGH h;
    std::memcpy(&h, sent[0].input.data(), sizeof h);
    EXPECT_EQ(h.disk, 263u);
    EXPECT_EQ(h.command, 0xEC);
    EXPECT_EQ(h.sectors, 1);
    EXPECT_EQ(h.protocol, 1);
    EXPECT_EQ(h.features | h.sector_count | h.lba_low | h.lba_mid | h.lba_high | h.device, 0);
}

TEST_F(DiskMethods, PassThroughWithoutDataAndWithDataOut) {
    // SMART RETURN STATUS of the disk past its threshold: the answer is in the LBA registers.
    Reply status = call(fnAtaPassthrough, {{"domain", 0},
                                           {"disk", 264},
                                           {"command", 0xB0},
                                           {"features", 0xDA},
                                           {"lba_mid", 0x4F},
                                           {"lba_high", 0xC2},
                                           {"sectors", 0},
                                           {"protocol", 0}});
    ASSERT_EQ(status.code, kRpcOk);
    EXPECT_EQ(status.result.dump(),
              R"({"features":218,"sector_count":0,"lba_low":0,"lba_mid":244,"lba_high":44,)"
              R"("device":0,"status":80})");

    // One sector to the disk: the request carries zeros, never leftovers.
    Reply out = call(fnAtaPassthrough, {{"domain", 0},
                                        {"disk", 263},
                                        {"command", 0x5E},
                                        {"features", 1},
                                        {"sectors", 1},
                                        {"protocol", 2}});
    ASSERT_EQ(out.code, kRpcOk);
    EXPECT_EQ(out.result.dump(),
              R"({"features":4,"sector_count":0,"lba_low":0,"lba_mid":0,"lba_high":0,)"
              R"("device":0,"status":81})")
        << "not a self-encrypting drive: aborted";
    auto sent = requests(0, ARK_REQ_ATA_PASSTHROUGH);
    ASSERT_EQ(sent.size(), 2u);
    ASSERT_EQ(sent[1].input.size(), 20u + 512);
    EXPECT_EQ(sent[1].outLen, 20u);
    EXPECT_TRUE(std::all_of(sent[1].input.begin() + 20, sent[1].input.end(),
                            [](uint8_t b) { return b == 0; }));

    EXPECT_EQ(call(fnAtaPassthrough, {{"domain", 0}, {"disk", 999}, {"command", 0xEC}}).code,
              kRpcFailed);
}

}  // namespace
}  // namespace rpctest
