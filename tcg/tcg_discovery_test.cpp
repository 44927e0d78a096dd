#include <gtest/gtest.h>

#include <string>
#include <typeinfo>

#include "tcg_dev_enterprise.h"
#include "tcg_dev_factory.h"
#include "tcg_dev_generic.h"
#include "tcg_dev_opal.h"
#include "tcg_log.h"
#include "tcg_test_support.h"

namespace {

using namespace tcgtest;

void put16(Bytes& b, size_t at, uint16_t v) {
    b[at] = uint8_t(v >> 8);
    b[at + 1] = uint8_t(v);
}

// A descriptor body of `length` bytes; `at` counts from the descriptor's start, as the
// standards do.
struct Body {
    explicit Body(size_t length) : bytes(length, 0) {}
    Body& u8(size_t at, uint8_t v) {
        bytes[at - 4] = v;
        return *this;
    }
    Body& u16(size_t at, uint16_t v) {
        put16(bytes, at - 4, v);
        return *this;
    }
    Body& u32(size_t at, uint32_t v) {
        put32(bytes, at - 4, v);
        return *this;
    }
    Body& u64(size_t at, uint64_t v) {
        put32(bytes, at - 4, uint32_t(v >> 32));
        put32(bytes, at, uint32_t(v));
        return *this;
    }
    Bytes bytes;
};

Bytes ssc(uint16_t code, uint16_t baseComID) {
    return descriptor(code, Body(16).u16(4, baseComID).u16(6, 1).bytes);
}

// Discovery through a scripted drive; the device is not opened further.
template <typename Dev = TcgDevGeneric>
std::unique_ptr<ScriptedDevice<Dev>> discovered(const Bytes& response, uint8_t rc = 0) {
    auto dev = std::make_unique<ScriptedDevice<Dev>>();
    dev->replies.push_back({rc, response});
    dev->discovery0();
    return dev;
}

TEST(Discovery, EachProfileChoosesItsDialectAndComID) {
    struct Case {
        const char* profile;
        std::vector<Bytes> features;
        const std::type_info& dialect;
        uint16_t comID;
    };
    const Bytes tper = descriptor(0x0001, Body(12).u8(4, 0x11).bytes);
    const Bytes locking = descriptor(0x0002, Body(12).u8(4, 0x09).bytes);
    const Bytes enterprise = descriptor(0x0100, Body(28).u16(4, 0x07FE).u16(6, 1).bytes);
    const Case cases[] = {
        {"opal2", {tper, locking, ssc(0x0203, 0x1001)}, typeid(TcgDevOpal2), 0x1001},
        {"opal1",
         {tper, locking, descriptor(0x0200, Body(12).u16(4, 0x1002).bytes)},
         typeid(TcgDevOpal1),
         0x1002},
        {"opalite", {tper, locking, ssc(0x0301, 0x1003)}, typeid(TcgDevOpalite), 0x1003},
        {"pyrite1", {tper, locking, ssc(0x0302, 0x1004)}, typeid(TcgDevPyrite1), 0x1004},
        {"pyrite2", {tper, locking, ssc(0x0303, 0x1005)}, typeid(TcgDevPyrite2), 0x1005},
        {"ruby1", {tper, locking, ssc(0x0304, 0x1006)}, typeid(TcgDevRuby1), 0x1006},
        {"enterprise", {tper, locking, enterprise}, typeid(TcgDevEnterprise), 0x07FE},
        {"opal2 and ruby1",
         {tper, ssc(0x0203, 0x1001), ssc(0x0304, 0x1006)},
         typeid(TcgDevRuby1),
         0x1006},
        {"opal2 and enterprise",
         {tper, enterprise, ssc(0x0203, 0x1001)},
         typeid(TcgDevOpal2),
         0x1001},
        {"pyrite2 before opal1",
         {ssc(0x0303, 0x1005), ssc(0x0200, 0x1002)},
         typeid(TcgDevPyrite2),
         0x1005},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.profile);
        auto probe = discovered(discoveryResponse(c.features));
        EXPECT_TRUE(probe->isAnySSC());
        auto dev = tcgNewDeviceFor(probe->diskInfo);
        ASSERT_NE(dev, nullptr);
        const auto& made = *dev;  // clang warns when typeid's operand calls a function
        EXPECT_EQ(typeid(made), c.dialect);
        dev->diskInfo = probe->diskInfo;
        EXPECT_EQ(dev->comID(), c.comID);
    }
}

TEST(Discovery, FieldsOfEveryDescriptor) {
    const Bytes response = discoveryResponse({
        descriptor(0x0001, Body(12).u8(4, 0x5F).bytes),
        descriptor(0x0002, Body(12).u8(4, 0x7F).bytes),
        descriptor(0x0003, Body(28).u8(4, 1).u32(12, 512).u64(16, 8).u64(24, 7).bytes),
        descriptor(0x0004, Body(12).u8(4, 0x80).u16(8, 3).bytes),
        descriptor(0x0100, Body(28).u16(4, 0x07FE).u16(6, 2).u8(8, 1).bytes),
        descriptor(0x0200, Body(12).u16(4, 0x0FF0).u16(6, 3).u8(8, 1).bytes),
        descriptor(0x0201, Body(12).u32(4, 9).u8(8, 0x07).bytes),
        descriptor(0x0202, Body(12).u16(6, 10).u32(8, 0x100000).u32(12, 4096).bytes),
        descriptor(0x0203, Body(16)
                               .u16(4, 0x1000)
                               .u16(6, 4)
                               .u8(8, 1)
                               .u16(9, 4)
                               .u16(11, 9)
                               .u8(13, 0xFF)
                               .u8(14, 0xFF)
                               .bytes),
        descriptor(0x0301, Body(16).u16(4, 0x1100).u16(6, 1).u8(13, 1).u8(14, 2).bytes),
        descriptor(0x0302, Body(16).u16(4, 0x1200).u16(6, 1).u8(13, 3).u8(14, 4).bytes),
        descriptor(0x0303, Body(16).u16(4, 0x1300).u16(6, 1).u8(13, 5).u8(14, 6).bytes),
        descriptor(0x0304, Body(16)
                               .u16(4, 0x1400)
                               .u16(6, 2)
                               .u8(8, 1)
                               .u16(9, 1)
                               .u16(11, 8)
                               .u8(13, 0)
                               .u8(14, 1)
                               .u8(15, 1)
                               .bytes),
        descriptor(0x0402, Body(12).u8(4, 0x02).u8(5, 0x01).bytes),
        descriptor(0x0403, Body(28).u32(8, 16).u32(12, 15).u32(16, 8).bytes),
        descriptor(
            0x0404,
            Body(32).u8(5, 1).u8(6, 0x05).u8(7, 0x04).u16(8, 30).u16(12, 45).u16(18, 9).bytes),
        descriptor(0x0405, Body(28).u8(4, 1).u32(12, 4096).u64(16, 1).u64(24, 0).bytes),
        descriptor(0xC001, Body(8).bytes),
        descriptor(0x0500, Body(8).bytes),
    });
    auto dev = discovered(response);
    const TcgDiskInfo& d = dev->diskInfo;
    EXPECT_TRUE(d.TPer && d.TPer_SYNC && d.TPer_ASYNC && d.TPer_ACKNAK && d.TPer_BufferMgt &&
                d.TPer_Streaming && d.TPer_comIDMgt);
    EXPECT_TRUE(d.Locking && d.Locking_lockingSupported && d.Locking_lockingEnabled &&
                d.Locking_locked && d.Locking_mediaEncrypt && d.Locking_MBREnabled &&
                d.Locking_MBRDone && d.Locking_MBRAbsent);
    EXPECT_TRUE(d.Geometry && d.Geometry_align);
    EXPECT_EQ(d.Geometry_logicalBlockSize, 512u);
    EXPECT_EQ(d.Geometry_alignmentGranularity, 8u);
    EXPECT_EQ(d.Geometry_lowestAlignedLBA, 7u);
    EXPECT_TRUE(d.SecureMessaging && d.SecureMessaging_activated);
    EXPECT_EQ(d.SecureMessaging_numberOfSPs, 3);
    EXPECT_TRUE(d.Enterprise && d.Enterprise_rangeCrossing);
    EXPECT_EQ(d.Enterprise_basecomID, 0x07FE);
    EXPECT_EQ(d.Enterprise_numcomID, 2);
    EXPECT_TRUE(d.Opal1);
    EXPECT_EQ(d.OPAL10_basecomID, 0x0FF0);
    EXPECT_EQ(d.OPAL10_numcomIDs, 3);
    EXPECT_EQ(d.OPAL10_rangeCrossing, 1);
    EXPECT_TRUE(d.SingleUser && d.SingleUser_any && d.SingleUser_all && d.SingleUser_policy);
    EXPECT_EQ(d.SingleUser_lockingObjects, 9u);
    EXPECT_TRUE(d.DataStore);
    EXPECT_EQ(d.DataStore_maxTables, 10);
    EXPECT_EQ(d.DataStore_maxTableSize, 0x100000u);
    EXPECT_EQ(d.DataStore_alignment, 4096u);
    EXPECT_TRUE(d.Opal2);
    EXPECT_EQ(d.OPAL20_basecomID, 0x1000);
    EXPECT_EQ(d.OPAL20_numcomIDs, 4);
    EXPECT_EQ(d.OPAL20_rangeCrossing, 1);
    EXPECT_EQ(d.OPAL20_numAdmins, 4);
    EXPECT_EQ(d.OPAL20_numUsers, 9);
    EXPECT_EQ(d.OPAL20_initialPIN, 0xFF);
    EXPECT_EQ(d.OPAL20_revertedPIN, 0xFF);
    EXPECT_TRUE(d.Opalite && d.Pyrite1 && d.Pyrite2);
    EXPECT_EQ(d.OPALITE_basecomID, 0x1100);
    EXPECT_EQ(d.OPALITE_revertedPIN, 2);
    EXPECT_EQ(d.PYRITE_basecomID, 0x1200);
    EXPECT_EQ(d.PYRITE_initialPIN, 3);
    EXPECT_EQ(d.PYRITE2_basecomID, 0x1300);
    EXPECT_EQ(d.PYRITE2_revertedPIN, 6);
    EXPECT_TRUE(d.Ruby1);
    EXPECT_EQ(d.RUBY10_basecomID, 0x1400);
    EXPECT_EQ(d.RUBY10_numcomIDs, 2);
    EXPECT_EQ(d.RUBY10_numAdmins, 1);
    EXPECT_EQ(d.RUBY10_numUsers, 8);
    EXPECT_EQ(d.RUBY10_revertedPIN, 1);
    EXPECT_EQ(d.RUBY10_pinOnTPerRevert, 1);
    EXPECT_EQ(d.RUBY10_rangeCrossing, 1);
    EXPECT_TRUE(d.BlockSID);
    EXPECT_EQ(d.BlockSID_BlockSIDState, 1);
    EXPECT_EQ(d.BlockSID_SIDvalueState, 0);
    EXPECT_EQ(d.BlockSID_HardReset, 1);
    EXPECT_TRUE(d.Namespace);
    EXPECT_EQ(d.Namespace_maxKeyCount, 16u);
    EXPECT_EQ(d.Namespace_unusedKeyCount, 15u);
    EXPECT_EQ(d.Namespace_maxRangesPerNS, 8u);
    EXPECT_TRUE(d.DataRemoval);
    EXPECT_EQ(d.DataRemoval_processing, 1);
    EXPECT_EQ(d.DataRemoval_supportedMechanisms, 0x05);
    EXPECT_EQ(d.DataRemoval_timeFormats, 0x04);
    EXPECT_EQ(d.DataRemoval_times[0], 30);
    EXPECT_EQ(d.DataRemoval_times[2], 45);
    EXPECT_EQ(d.DataRemoval_times[5], 9);
    EXPECT_TRUE(d.NamespaceGeometry && d.NamespaceGeometry_align);
    EXPECT_EQ(d.NamespaceGeometry_logicalBlockSize, 4096u);
    EXPECT_EQ(d.NamespaceGeometry_alignmentGranularity, 1u);
    EXPECT_TRUE(d.AnySSC);
    EXPECT_EQ(d.vendorFeatureCount, 1);
    EXPECT_EQ(d.unknownFeatureCount, 1);
}

TEST(Discovery, DescriptorsAreReadOnlyInsideTheirLengthAndTheBuffer) {
    struct Case {
        const char* what;
        Bytes response;
        uint8_t rc;
        bool anySsc;
        uint16_t opal2ComID;
        uint8_t initialPin;
        uint8_t unknown;
    };
    // An Opal 2.0 descriptor that says it holds 4 bytes: what follows belongs to the next one.
    Bytes shortOpal2 = discoveryResponse({descriptor(0x0203, Body(4).u16(4, 0x1000).bytes),
                                          descriptor(0x0500, Body(12).u8(5, 0x55).bytes)});
    // A descriptor starting 4 bytes before the buffer end, saying it runs on.
    Bytes atTheEnd(1024, 0);
    put32(atTheEnd, 0, 0xFFFFFFFFu);
    const Bytes pad = descriptor(0xC000, Bytes(12, 0));
    for (size_t at = 48; at < 1008; at += pad.size())
        std::copy(pad.begin(), pad.end(), atTheEnd.begin() + long(at));
    std::copy_n(descriptor(0xC000, Bytes(8, 0)).begin(), 12, atTheEnd.begin() + 1008);
    const Bytes tail = {0x02, 0x03, 0x10, 0x10};
    std::copy(tail.begin(), tail.end(), atTheEnd.begin() + 1020);
    // The length says the data ends before a descriptor that is still in the buffer.
    Bytes lengthCuts = discoveryResponse({ssc(0x0203, 0x1000), ssc(0x0304, 0x2000)});
    put32(lengthCuts, 0, 44 + 20);

    const Case cases[] = {
        {"short descriptor", shortOpal2, 0, true, 0x1000, 0, 1},
        {"descriptor past the buffer end", atTheEnd, 0, true, 0, 0, 0},
        {"length ends the walk", lengthCuts, 0, true, 0x1000, 0, 0},
        {"zero-filled response", Bytes(1024, 0), 0, false, 0, 0, 1},
        {"failed receive", discoveryResponse({ssc(0x0203, 0x1000)}), 1, false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto dev = discovered(c.response, c.rc);
        EXPECT_EQ(dev->diskInfo.AnySSC, c.anySsc);
        EXPECT_EQ(dev->diskInfo.OPAL20_basecomID, c.opal2ComID);
        EXPECT_EQ(dev->diskInfo.OPAL20_initialPIN, c.initialPin);
        EXPECT_EQ(dev->diskInfo.unknownFeatureCount, c.unknown);
        EXPECT_FALSE(dev->diskInfo.Ruby1);
    }
}

TEST(Discovery, RequestsLevel0OnComID1) {
    auto dev = discovered(discoveryResponse({}));
    ASSERT_EQ(dev->transfers.size(), 1u);
    EXPECT_EQ(dev->transfers[0].cmd, 0x5C);
    EXPECT_EQ(dev->transfers[0].protocol, 1);
    EXPECT_EQ(dev->transfers[0].comID, 1);
    EXPECT_EQ(dev->transfers[0].data.size(), 1024u);
}

TEST(Discovery, PukePrintsEveryFeature) {
    const Bytes response = discoveryResponse({
        descriptor(0x0001, Body(12).u8(4, 0x01).bytes),
        descriptor(0x0002, Body(12).u8(4, 0x49).bytes),
        descriptor(0x0003, Body(28).u8(4, 1).u32(12, 512).u64(16, 8).u64(24, 0).bytes),
        descriptor(0x0100, Body(28).u16(4, 0x07FE).u16(6, 1).bytes),
        descriptor(0x0203,
                   Body(16).u16(4, 0x1000).u16(6, 1).u16(9, 4).u16(11, 8).u8(14, 0xFF).bytes),
        descriptor(0x0302, Body(16).u16(4, 0x1200).u16(6, 1).u8(13, 1).bytes),
        descriptor(0x0402, Body(12).u8(4, 0x01).bytes),
        descriptor(0x0404, Body(32).u8(6, 0x05).u8(7, 0x04).u16(8, 30).u16(12, 30).bytes),
        descriptor(0x0500, Body(4).bytes),
    });
    auto dev = discovered(response);
    dev->deviceName = "1/2";
    std::memcpy(dev->diskInfo.modelNumber, "EMU SED", 8);
    std::memcpy(dev->diskInfo.firmwareRevision, "1.0", 4);
    std::memcpy(dev->diskInfo.serialNumber, "EMU000000001", 13);
    testing::internal::CaptureStdout();
    dev->puke();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\n"
              "1/2 ATA EMU SED 1.0 EMU000000001\n"
              "TPer function (0x0001)\n"
              "    ACKNAK = N, ASYNC = N. BufferManagement = N, comIDManagement  = N, "
              "Streaming = N, SYNC = Y\n"
              "Locking function (0x0002)\n"
              "    Locked = N, LockingEnabled = N, LockingSupported = Y, MBRDone = N, "
              "MBREnabled = N, MBRAbsent = Y, MediaEncrypt = Y\n"
              "Geometry function (0x0003)\n"
              "    Align = Y, Alignment Granularity = 8 (4096), Logical Block size = 512, "
              "Lowest Aligned LBA = 0\n"
              "Enterprise function (0x0100)\n"
              "    Range crossing = N, Base comID = 2046, comIDs = 1\n"
              "OPAL 2.0 function (0x0203)\n"
              "    Base comID = 4096, Initial PIN = 0, Reverted PIN = 255, comIDs = 1\n"
              "    Locking Admins = 4, Locking Users = 8, Range Crossing = N\n"
              "Block SID Authentication function (0x0402)\n"
              "    SID Blocked State = N, SID Value State = Y, Hardware Reset = N\n"
              "Pyrite 1.0 function (0x0302)\n"
              "    Base comID = 4608, comIDs = 1, Initial PIN = 1, Reverted PIN = 0\n"
              "Supported Data Removal Mechanism function (0x0404)\n"
              "    Processing = N, Overwrite = 60s , Crypto = 60m \n"
              "**** 1 **** Unknown function codes IGNORED \n");
}

}  // namespace
