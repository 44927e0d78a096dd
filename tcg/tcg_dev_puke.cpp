// The printout of what IDENTIFY and Level 0 Discovery found.
#include <cstdio>

#include "tcg_dev.h"
#include "tcg_log.h"

namespace {

// A flag followed by a label that does not begin with a comma.
const char* yn(bool flag) {
    return flag ? "Y, " : "N, ";
}
// A flag followed by a label that begins with a comma, or ending the line.
const char* ynEnd(bool flag) {
    return flag ? "Y" : "N";
}

const char* interfaceLabel(uint32_t type) {
    switch (type) {
        case 0:
            return " ATA ";
        case 1:
            return " SAS ";
        case 2:
            return " NVMe ";
        case 3:
            return " USB ";
        default:
            return " OTHER ";
    }
}

void printGeometry(bool align, unsigned long long granularity, uint32_t blockSize,
                   unsigned long long lowest) {
    std::printf("    Align = %s", yn(align));
    std::printf("Alignment Granularity = %llu (%llu)", granularity, granularity * blockSize);
    std::printf(", Logical Block size = %u", blockSize);
    std::printf(", Lowest Aligned LBA = %llu\n", lowest);
}

void printSsc(const char* heading, uint16_t base, uint16_t count, uint8_t initialPin,
              uint8_t revertedPin) {
    std::printf("%s\n", heading);
    std::printf("    Base comID = %d, comIDs = %d, Initial PIN = %d, Reverted PIN = %d\n", base,
                count, initialPin, revertedPin);
}

}  // namespace

void TcgDev::puke() {
    TCGLOG(TCG_DBG1) << "Entering TcgDev::puke()";
    const TcgDiskInfo& d = diskInfo;
    std::printf("\n%s%s%.40s %.8s %.20s\n", deviceName != nullptr ? deviceName : "",
                interfaceLabel(d.interfaceType), d.modelNumber, d.firmwareRevision, d.serialNumber);
    if (d.TPer) {
        std::printf("TPer function (0x0001)\n");
        std::printf("    ACKNAK = %s", yn(d.TPer_ACKNAK));
        std::printf("ASYNC = %s", d.TPer_ASYNC ? "Y, " : "N. ");
        std::printf("BufferManagement = %s", yn(d.TPer_BufferMgt));
        std::printf("comIDManagement  = %s", yn(d.TPer_comIDMgt));
        std::printf("Streaming = %s", yn(d.TPer_Streaming));
        std::printf("SYNC = %s\n", ynEnd(d.TPer_SYNC));
    }
    if (d.Locking) {
        std::printf("Locking function (0x0002)\n");
        std::printf("    Locked = %s", yn(d.Locking_locked));
        std::printf("LockingEnabled = %s", yn(d.Locking_lockingEnabled));
        std::printf("LockingSupported = %s", yn(d.Locking_lockingSupported));
        std::printf("MBRDone = %s", yn(d.Locking_MBRDone));
        std::printf("MBREnabled = %s", yn(d.Locking_MBREnabled));
        std::printf("MBRAbsent = %s", yn(d.Locking_MBRAbsent));
        std::printf("MediaEncrypt = %s\n", ynEnd(d.Locking_mediaEncrypt));
    }
    if (d.Geometry) {
        std::printf("Geometry function (0x0003)\n");
        printGeometry(d.Geometry_align, d.Geometry_alignmentGranularity,
                      d.Geometry_logicalBlockSize, d.Geometry_lowestAlignedLBA);
    }
    if (d.SecureMessaging) {
        std::printf("Secure Messaging function (0x0004)\n");
        std::printf("    Activated = %sNumber of SPs = %d\n", yn(d.SecureMessaging_activated),
                    d.SecureMessaging_numberOfSPs);
    }
    if (d.Enterprise) {
        std::printf("Enterprise function (0x0100)\n");
        std::printf("    Range crossing = %sBase comID = %d, comIDs = %d\n",
                    yn(d.Enterprise_rangeCrossing), d.Enterprise_basecomID, d.Enterprise_numcomID);
    }
    if (d.Opal1) {
        std::printf("Opal V1.0 function (0x0200)\n");
        std::printf("    Base comID = %d, comIDs = %d, Range Crossing = %s\n", d.OPAL10_basecomID,
                    d.OPAL10_numcomIDs, ynEnd(d.OPAL10_rangeCrossing));
    }
    if (d.SingleUser) {
        std::printf("SingleUser function (0x0201)\n");
        std::printf("    ALL = %sANY = %sPolicy = %sLocking Objects = %u\n", yn(d.SingleUser_all),
                    yn(d.SingleUser_any), yn(d.SingleUser_policy), d.SingleUser_lockingObjects);
    }
    if (d.DataStore) {
        std::printf("DataStore function (0x0202)\n");
        std::printf("    Max Tables = %d, Max Size Tables = %u, Table size alignment = %u\n",
                    d.DataStore_maxTables, d.DataStore_maxTableSize, d.DataStore_alignment);
    }
    if (d.Opal2) {
        std::printf("OPAL 2.0 function (0x0203)\n");
        std::printf("    Base comID = %d, Initial PIN = %u, Reverted PIN = %u, comIDs = %d\n",
                    d.OPAL20_basecomID, d.OPAL20_initialPIN, d.OPAL20_revertedPIN,
                    d.OPAL20_numcomIDs);
        std::printf("    Locking Admins = %d, Locking Users = %d, Range Crossing = %s\n",
                    d.OPAL20_numAdmins, d.OPAL20_numUsers, ynEnd(d.OPAL20_rangeCrossing));
    }
    if (d.BlockSID) {
        std::printf("Block SID Authentication function (0x0402)\n");
        std::printf("    SID Blocked State = %s, SID Value State = %s, Hardware Reset = %s\n",
                    ynEnd(d.BlockSID_BlockSIDState), ynEnd(d.BlockSID_SIDvalueState),
                    ynEnd(d.BlockSID_HardReset));
    }
    if (d.Namespace) {
        std::printf("Namespace function (0x0403)\n");
        std::printf(
            "    Maximum Key Count = %u, Unused Key Count = %u, Maximum Ranges Per Namespace = "
            "%u\n",
            d.Namespace_maxKeyCount, d.Namespace_unusedKeyCount, d.Namespace_maxRangesPerNS);
    }
    if (d.Opalite)
        printSsc("Opalite function (0x0301)", d.OPALITE_basecomID, d.OPALITE_numcomIDs,
                 d.OPALITE_initialPIN, d.OPALITE_revertedPIN);
    if (d.Pyrite1)
        printSsc("Pyrite 1.0 function (0x0302)", d.PYRITE_basecomID, d.PYRITE_numcomIDs,
                 d.PYRITE_initialPIN, d.PYRITE_revertedPIN);
    if (d.Pyrite2)
        printSsc("Pyrite 2.0 function (0x0303)", d.PYRITE2_basecomID, d.PYRITE2_numcomIDs,
                 d.PYRITE2_initialPIN, d.PYRITE2_revertedPIN);
    if (d.Ruby1) {
        std::printf("Ruby 1.0 function (0x0304)\n");
        std::printf(
            "    Base comID = %d, comIDs = %d, Initial PIN = %d, Reverted PIN = %d, "
            "PINonTPerRevert = %d\n",
            d.RUBY10_basecomID, d.RUBY10_numcomIDs, d.RUBY10_initialPIN, d.RUBY10_revertedPIN,
            d.RUBY10_pinOnTPerRevert);
        std::printf("    Locking Admins = %d, Locking Users = %d, Range Crossing = %s\n",
                    d.RUBY10_numAdmins, d.RUBY10_numUsers, ynEnd(d.RUBY10_rangeCrossing));
    }
    if (d.DataRemoval) {
        static const char* const kMechanisms[6] = {
            "Overwrite", "Block", "Crypto", "Unmap", "Reset Write Pointers", "Vendor Specific"};
        std::printf("Supported Data Removal Mechanism function (0x0404)\n");
        std::printf("    Processing = %s", ynEnd(d.DataRemoval_processing != 0));
        for (int bit = 0; bit < 6; ++bit) {
            if (!(d.DataRemoval_supportedMechanisms >> bit & 1)) continue;
            std::printf(", %s = %d%s", kMechanisms[bit], 2 * d.DataRemoval_times[bit],
                        (d.DataRemoval_timeFormats >> bit & 1) ? "m " : "s ");
        }
        std::printf("\n");
    }
    if (d.NamespaceGeometry) {
        std::printf("Namespace Geometry function (0x0405)\n");
        printGeometry(d.NamespaceGeometry_align, d.NamespaceGeometry_alignmentGranularity,
                      d.NamespaceGeometry_logicalBlockSize, d.NamespaceGeometry_lowestAlignedLBA);
    }
    if (d.unknownFeatureCount != 0)
        std::printf("**** %d **** Unknown function codes IGNORED \n", d.unknownFeatureCount);
}
