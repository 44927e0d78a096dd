#pragma once

#include <cstdint>

// What IDENTIFY and Level 0 Discovery found out about a drive. Zeroed when the device opens;
// discovery only sets flags and overwrites fields. Multi-byte values are host integers.
struct TcgDiskInfo {
    uint8_t unknownFeatureCount;  // descriptors up to 0xBFFF that are not decoded
    uint8_t vendorFeatureCount;   // descriptors from 0xC000 up

    // Features present.
    bool TPer, Locking, Geometry, SecureMessaging, Enterprise, SingleUser, DataStore, Opal2;
    bool Opal1, PropertiesExchanged, AnySSC, BlockSID, Namespace, Opalite, Pyrite1, Pyrite2;
    bool Ruby1, DataRemoval, NamespaceGeometry;

    // TPer.
    bool TPer_ACKNAK, TPer_ASYNC, TPer_BufferMgt, TPer_comIDMgt, TPer_Streaming, TPer_SYNC;
    // Locking.
    bool Locking_locked, Locking_lockingEnabled, Locking_lockingSupported, Locking_MBRDone,
        Locking_MBREnabled, Locking_MBRAbsent, Locking_mediaEncrypt;
    // Geometry.
    bool Geometry_align;
    uint64_t Geometry_alignmentGranularity;
    uint32_t Geometry_logicalBlockSize;
    uint64_t Geometry_lowestAlignedLBA;
    // Secure Messaging.
    bool SecureMessaging_activated;
    uint16_t SecureMessaging_numberOfSPs;
    // Enterprise.
    bool Enterprise_rangeCrossing;
    uint16_t Enterprise_basecomID;
    uint16_t Enterprise_numcomID;
    // Single User Mode.
    bool SingleUser_any, SingleUser_all, SingleUser_policy;
    uint32_t SingleUser_lockingObjects;
    // DataStore.
    uint16_t DataStore_maxTables;
    uint32_t DataStore_maxTableSize;
    uint32_t DataStore_alignment;
    // Opal 1.0.
    uint16_t OPAL10_basecomID;
    uint16_t OPAL10_numcomIDs;
    uint8_t OPAL10_rangeCrossing;
    // Opal 2.0.
    uint16_t OPAL20_basecomID;
    uint16_t OPAL20_numcomIDs;
    uint8_t OPAL20_initialPIN;
    uint8_t OPAL20_revertedPIN;
    uint16_t OPAL20_numAdmins;
    uint16_t OPAL20_numUsers;
    uint8_t OPAL20_rangeCrossing;
    // Block SID.
    uint8_t BlockSID_BlockSIDState;
    uint8_t BlockSID_SIDvalueState;
    uint8_t BlockSID_HardReset;
    // Namespace.
    uint32_t Namespace_maxKeyCount;
    uint32_t Namespace_unusedKeyCount;
    uint32_t Namespace_maxRangesPerNS;
    // Opalite, Pyrite 1.0, Pyrite 2.0.
    uint16_t OPALITE_basecomID;
    uint16_t OPALITE_numcomIDs;
    uint8_t OPALITE_initialPIN;
    uint8_t OPALITE_revertedPIN;
    uint16_t PYRITE_basecomID;
    uint16_t PYRITE_numcomIDs;
    uint8_t PYRITE_initialPIN;
    uint8_t PYRITE_revertedPIN;
    uint16_t PYRITE2_basecomID;
    uint16_t PYRITE2_numcomIDs;
    uint8_t PYRITE2_initialPIN;
    uint8_t PYRITE2_revertedPIN;
    // Ruby 1.0.
    uint16_t RUBY10_basecomID;
    uint16_t RUBY10_numcomIDs;
    uint16_t RUBY10_numAdmins;
    uint16_t RUBY10_numUsers;
    uint8_t RUBY10_initialPIN;
    uint8_t RUBY10_revertedPIN;
    uint8_t RUBY10_pinOnTPerRevert;
    uint8_t RUBY10_rangeCrossing;
    // Supported data removal mechanisms.
    uint8_t DataRemoval_processing;
    uint8_t DataRemoval_supportedMechanisms;  // bits 0-5
    uint8_t DataRemoval_timeFormats;          // bits 0-5: time in minutes, else seconds
    uint16_t DataRemoval_times[6];
    // Namespace geometry.
    bool NamespaceGeometry_align;
    uint64_t NamespaceGeometry_alignmentGranularity;
    uint32_t NamespaceGeometry_logicalBlockSize;
    uint64_t NamespaceGeometry_lowestAlignedLBA;

    uint32_t interfaceType;  // interface: 0 ATA, 1 SAS, 2 NVMe, 3 USB, else other
    char serialNumber[21];
    char firmwareRevision[9];
    char modelNumber[41];
};
