#include "discovery.h"

#include "frame.h"

namespace emu::tcg {
namespace {

// Appends a descriptor header and `length` zero bytes of data; returns the data's offset.
size_t Descriptor(Bytes& out, uint16_t code, uint8_t version, uint8_t length) {
    const size_t at = out.size();
    out.resize(at + 4 + length, 0);
    PutBig16(&out[at], code);
    out[at + 2] = uint8_t(version << 4);
    out[at + 3] = length;
    return at;
}

void PutBig64(uint8_t* p, uint64_t v) {
    PutBig32(p, uint32_t(v >> 32));
    PutBig32(p + 4, uint32_t(v));
}

// The SSC descriptors that share the Opal 2.0 layout (Opal 2.0, Ruby).
void OpalLike(Bytes& out, uint16_t code, const Profile& p) {
    const size_t d = Descriptor(out, code, 1, 16);
    PutBig16(&out[d + 4], p.baseComId);
    PutBig16(&out[d + 6], p.numComIds);
    out[d + 8] = 0;  // ranges may not cross
    PutBig16(&out[d + 9], p.lockingAdmins);
    PutBig16(&out[d + 11], p.lockingUsers);
    out[d + 13] = p.initialPin;
    out[d + 14] = p.revertedPin;
}

// Opalite and Pyrite: ComIDs and the PIN indicators only.
void PinOnly(Bytes& out, uint16_t code, const Profile& p) {
    const size_t d = Descriptor(out, code, 1, 16);
    PutBig16(&out[d + 4], p.baseComId);
    PutBig16(&out[d + 6], p.numComIds);
    out[d + 13] = p.initialPin;
    out[d + 14] = p.revertedPin;
}

}  // namespace

Bytes Level0Discovery(const Profile& p, const DiscoveryState& s) {
    Bytes out(48, 0);
    PutBig32(&out[4], 1);  // data structure revision

    size_t d = Descriptor(out, 0x0001, 1, 12);  // TPer
    out[d + 4] = 0x01 | 0x10;                   // synchronous protocol, streaming

    d = Descriptor(out, 0x0002, 1, 12);  // Locking
    out[d + 4] = uint8_t(0x01 | (s.lockingEnabled ? 0x02 : 0) | (s.locked ? 0x04 : 0) |
                         (p.mediaEncrypt ? 0x08 : 0) | (s.mbrEnabled ? 0x10 : 0) |
                         (s.mbrDone ? 0x20 : 0) | (p.mbrShadow ? 0 : 0x40));

    if (p.geometry) {
        d = Descriptor(out, 0x0003, 1, 28);
        out[d + 4] = 0x01;  // alignment required
        PutBig32(&out[d + 12], p.logicalBlockSize);
        PutBig64(&out[d + 16], p.alignmentGranularity);
        PutBig64(&out[d + 24], 0);
    }
    if (p.enterprise) {
        d = Descriptor(out, 0x0100, 1, 16);
        PutBig16(&out[d + 4], p.baseComId);
        PutBig16(&out[d + 6], p.numComIds);
        out[d + 8] = 0x01;  // a range crossing is allowed
    }
    if (p.opal1) {
        d = Descriptor(out, 0x0200, 1, 16);
        PutBig16(&out[d + 4], p.baseComId);
        PutBig16(&out[d + 6], p.numComIds);
    }
    if (p.singleUser) {
        d = Descriptor(out, 0x0201, 1, 12);
        PutBig32(&out[d + 4], uint32_t(p.maxRanges) + 1);
        // Policy: the owner of a range is its user; Any and All as the ranges stand.
        out[d + 8] = uint8_t(0x04 | (s.singleUserAll ? 0x02 : 0) | (s.singleUserAny ? 0x01 : 0));
    }
    if (p.dataStore) {
        d = Descriptor(out, 0x0202, 1, 12);
        PutBig16(&out[d + 6], 9);
        PutBig32(&out[d + 8], 10 * 1024 * 1024);
        PutBig32(&out[d + 12], 1);
    }
    if (p.opal2) OpalLike(out, 0x0203, p);
    if (p.opalite) PinOnly(out, 0x0301, p);
    if (p.pyrite1) PinOnly(out, 0x0302, p);
    if (p.pyrite2) PinOnly(out, 0x0303, p);
    if (p.ruby1) OpalLike(out, 0x0304, p);
    if (p.blockSid) {
        d = Descriptor(out, 0x0402, 1, 12);
        out[d + 4] = uint8_t((s.sidChanged ? 0x01 : 0) | (s.sidBlocked ? 0x02 : 0));
        out[d + 5] = 0x01;  // a hardware reset clears the block
    }
    if (p.dataRemoval) {
        d = Descriptor(out, 0x0404, 1, 32);
        out[d + 6] = p.dataRemovalMechanisms;
        for (int bit = 0; bit < 6; ++bit)
            if (p.dataRemovalMechanisms & (1 << bit)) PutBig16(&out[d + 8 + 2 * bit], 1);
    }
    PutBig32(&out[0], uint32_t(out.size() - 4));
    return out;
}

}  // namespace emu::tcg
