#include "tcg_dev.h"

#include <cstring>

#include "tcg_disk_type.h"
#include "tcg_dump.h"
#include "tcg_log.h"
#include "tcg_session.h"

TcgDev::TcgDev() = default;

TcgDev::~TcgDev() {
    // A session still attached here can no longer reach the drive: the subclass that could
    // send its End of Session is already gone.
    if (activeSession) activeSession->expectAbort();
}

bool TcgDev::isPresent() {
    TCGLOG(TCG_DBG1) << "Entering TcgDev::isPresent() " << int(opened);
    return opened != 0;
}

bool TcgDev::isAnySSC() {
    TCGLOG(TCG_DBG1) << "Entering TcgDev::isAnySSC " << int(diskInfo.AnySSC);
    return diskInfo.AnySSC;
}

bool TcgDev::isOpal1() {
    TCGLOG(TCG_DBG1) << "Entering TcgDev::isOpal1() " << int(diskInfo.Opal1);
    return diskInfo.Opal1;
}

bool TcgDev::isOpal2() {
    TCGLOG(TCG_DBG1) << "Entering TcgDev::isOpal2 " << int(diskInfo.Opal2);
    return diskInfo.Opal2;
}

bool TcgDev::isOpalite() {
    TCGLOG(TCG_DBG1) << "Entering TcgDev::isOpalite " << int(diskInfo.Opalite);
    return diskInfo.Opalite;
}

bool TcgDev::isPyrite1() {
    TCGLOG(TCG_DBG1) << "Entering TcgDev::isPyrite1 " << int(diskInfo.Pyrite1);
    return diskInfo.Pyrite1;
}

bool TcgDev::isPyrite2() {
    TCGLOG(TCG_DBG1) << "Entering TcgDev::isPyrite2 " << int(diskInfo.Pyrite2);
    return diskInfo.Pyrite2;
}

bool TcgDev::isRuby1() {
    TCGLOG(TCG_DBG1) << "Entering TcgDev::isRuby1 " << int(diskInfo.Ruby1);
    return diskInfo.Ruby1;
}

bool TcgDev::isEprise() {
    TCGLOG(TCG_DBG1) << "Entering TcgDev::isEprise " << int(diskInfo.Enterprise);
    return diskInfo.Enterprise;
}

bool TcgDev::MBRAbsent() {
    TCGLOG(TCG_DBG1) << "Entering TcgDev::MBRAbsent" << int(diskInfo.Locking_MBRAbsent);
    return diskInfo.Locking_MBRAbsent;
}

namespace {

constexpr uint32_t kDiscoveryHeader = 48;

// One feature descriptor: fields are read only inside its own length and inside the data.
class Descriptor {
public:
    Descriptor(const uint8_t* at, uint32_t available) : p_(at) {
        const uint32_t own = 4u + at[3];
        size_ = own < available ? own : available;
    }
    uint16_t code() const { return uint16_t(p_[0] << 8 | p_[1]); }
    uint32_t step() const { return 4u + p_[3]; }

    template <typename T>
    void take(uint32_t offset, T& out) const {
        if (offset + sizeof(T) > size_) return;
        uint64_t v = 0;
        for (size_t i = 0; i < sizeof(T); ++i) v = v << 8 | p_[offset + i];
        out = T(v);
    }
    void bit(uint32_t offset, int bit, bool& out) const {
        if (offset < size_ && (p_[offset] >> bit & 1)) out = true;
    }
    void bit(uint32_t offset, int bit, uint8_t& out) const {
        if (offset < size_) out = p_[offset] >> bit & 1;
    }

private:
    const uint8_t* p_;
    uint32_t size_;
};

void decodeGeometry(const Descriptor& d, bool& align, uint64_t& granularity, uint32_t& blockSize,
                    uint64_t& lowest) {
    d.bit(4, 0, align);
    d.take(12, blockSize);
    d.take(16, granularity);
    d.take(24, lowest);
}

void decodeSsc(const Descriptor& d, uint16_t& base, uint16_t& count, uint8_t& initialPin,
               uint8_t& revertedPin) {
    d.take(4, base);
    d.take(6, count);
    d.take(13, initialPin);
    d.take(14, revertedPin);
}

void decode(const Descriptor& d, TcgDiskInfo& di) {
    switch (d.code()) {
        case 0x0001:
            di.TPer = true;
            d.bit(4, 0, di.TPer_SYNC);
            d.bit(4, 1, di.TPer_ASYNC);
            d.bit(4, 2, di.TPer_ACKNAK);
            d.bit(4, 3, di.TPer_BufferMgt);
            d.bit(4, 4, di.TPer_Streaming);
            d.bit(4, 6, di.TPer_comIDMgt);
            break;
        case 0x0002:
            di.Locking = true;
            d.bit(4, 0, di.Locking_lockingSupported);
            d.bit(4, 1, di.Locking_lockingEnabled);
            d.bit(4, 2, di.Locking_locked);
            d.bit(4, 3, di.Locking_mediaEncrypt);
            d.bit(4, 4, di.Locking_MBREnabled);
            d.bit(4, 5, di.Locking_MBRDone);
            d.bit(4, 6, di.Locking_MBRAbsent);
            break;
        case 0x0003:
            di.Geometry = true;
            decodeGeometry(d, di.Geometry_align, di.Geometry_alignmentGranularity,
                           di.Geometry_logicalBlockSize, di.Geometry_lowestAlignedLBA);
            break;
        case 0x0004:
            di.SecureMessaging = true;
            d.bit(4, 7, di.SecureMessaging_activated);
            d.take(8, di.SecureMessaging_numberOfSPs);
            break;
        case 0x0100:
            di.Enterprise = true;
            di.AnySSC = true;
            d.take(4, di.Enterprise_basecomID);
            d.take(6, di.Enterprise_numcomID);
            d.bit(8, 0, di.Enterprise_rangeCrossing);
            break;
        case 0x0200:
            di.Opal1 = true;
            di.AnySSC = true;
            d.take(4, di.OPAL10_basecomID);
            d.take(6, di.OPAL10_numcomIDs);
            d.bit(8, 0, di.OPAL10_rangeCrossing);
            break;
        case 0x0201:
            di.SingleUser = true;
            d.take(4, di.SingleUser_lockingObjects);
            d.bit(8, 0, di.SingleUser_any);
            d.bit(8, 1, di.SingleUser_all);
            d.bit(8, 2, di.SingleUser_policy);
            break;
        case 0x0202:
            di.DataStore = true;
            d.take(6, di.DataStore_maxTables);
            d.take(8, di.DataStore_maxTableSize);
            d.take(12, di.DataStore_alignment);
            break;
        case 0x0203:
            di.Opal2 = true;
            di.AnySSC = true;
            d.take(4, di.OPAL20_basecomID);
            d.take(6, di.OPAL20_numcomIDs);
            d.bit(8, 0, di.OPAL20_rangeCrossing);
            d.take(9, di.OPAL20_numAdmins);
            d.take(11, di.OPAL20_numUsers);
            d.take(13, di.OPAL20_initialPIN);
            d.take(14, di.OPAL20_revertedPIN);
            break;
        case 0x0301:
            di.Opalite = true;
            di.AnySSC = true;
            decodeSsc(d, di.OPALITE_basecomID, di.OPALITE_numcomIDs, di.OPALITE_initialPIN,
                      di.OPALITE_revertedPIN);
            break;
        case 0x0302:
            di.Pyrite1 = true;
            di.AnySSC = true;
            decodeSsc(d, di.PYRITE_basecomID, di.PYRITE_numcomIDs, di.PYRITE_initialPIN,
                      di.PYRITE_revertedPIN);
            break;
        case 0x0303:
            di.Pyrite2 = true;
            di.AnySSC = true;
            decodeSsc(d, di.PYRITE2_basecomID, di.PYRITE2_numcomIDs, di.PYRITE2_initialPIN,
                      di.PYRITE2_revertedPIN);
            break;
        case 0x0304:
            di.Ruby1 = true;
            di.AnySSC = true;
            d.take(4, di.RUBY10_basecomID);
            d.take(6, di.RUBY10_numcomIDs);
            d.bit(8, 0, di.RUBY10_rangeCrossing);
            d.take(9, di.RUBY10_numAdmins);
            d.take(11, di.RUBY10_numUsers);
            d.take(13, di.RUBY10_initialPIN);
            d.take(14, di.RUBY10_revertedPIN);
            d.take(15, di.RUBY10_pinOnTPerRevert);
            break;
        case 0x0402:
            di.BlockSID = true;
            d.bit(4, 1, di.BlockSID_BlockSIDState);
            d.bit(4, 0, di.BlockSID_SIDvalueState);
            d.bit(5, 0, di.BlockSID_HardReset);
            break;
        case 0x0403:
            di.Namespace = true;
            d.take(8, di.Namespace_maxKeyCount);
            d.take(12, di.Namespace_unusedKeyCount);
            d.take(16, di.Namespace_maxRangesPerNS);
            break;
        case 0x0404:
            di.DataRemoval = true;
            d.take(5, di.DataRemoval_processing);
            d.take(6, di.DataRemoval_supportedMechanisms);
            d.take(7, di.DataRemoval_timeFormats);
            di.DataRemoval_supportedMechanisms &= 0x3F;
            di.DataRemoval_timeFormats &= 0x3F;
            for (int i = 0; i < 6; ++i) d.take(8 + 2 * i, di.DataRemoval_times[i]);
            break;
        case 0x0405:
            di.NamespaceGeometry = true;
            decodeGeometry(d, di.NamespaceGeometry_align, di.NamespaceGeometry_alignmentGranularity,
                           di.NamespaceGeometry_logicalBlockSize,
                           di.NamespaceGeometry_lowestAlignedLBA);
            break;
        default:
            if (d.code() >= 0xC000) {
                ++di.vendorFeatureCount;
            } else {
                ++di.unknownFeatureCount;
                TCGLOG(TCG_DBG) << "Unknown Feature in Discovery 0 response " << int(d.code());
            }
            break;
    }
}

}  // namespace

void TcgDev::discovery0() {
    TCGLOG(TCG_DBG1) << "Entering TcgDev::discovery0()";
    constexpr uint32_t kSize = sizeof discoveryBuffer;
    std::memset(discoveryBuffer, 0, kSize);
    const uint8_t rc = sendCmd(0x5C, 0x01, 0x0001, discoveryBuffer, kSize);
    if (rc != 0) {
        TCGLOG(TCG_DBG) << "Send D0 request to device failed " << int(rc);
        return;
    }
    // The length counts the bytes after itself.
    const uint32_t length = uint32_t(discoveryBuffer[0]) << 24 |
                            uint32_t(discoveryBuffer[1]) << 16 | uint32_t(discoveryBuffer[2]) << 8 |
                            discoveryBuffer[3];
    uint32_t end = length;
    if (length > kSize - 4) {
        TCGLOG(TCG_DBG) << "Too long Discovery0 response: " << length;
        end = kSize;
    } else {
        end = length + 4;
    }
    if (tcgLogLevel() >= TCG_DBG3) {
        TCGLOG(TCG_DBG3) << "Dumping D0Response";
        tcgHexDump(discoveryBuffer, end < kDiscoveryHeader ? kDiscoveryHeader : end);
    }
    // The slot right after the header is always looked at, even in a response that ends there
    // (it is read as zeros then).
    uint32_t at = kDiscoveryHeader;
    do {
        const Descriptor d(discoveryBuffer + at, (end > at ? end : kSize) - at);
        decode(d, diskInfo);
        at += d.step();
    } while (at < end && at + 4 <= kSize);
}
