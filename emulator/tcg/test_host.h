#pragma once

// A minimal host for the drive model's tests: builds calls with the model's own encoder and
// moves them through TrustedSend / TrustedReceive.

#include <gtest/gtest.h>

#include <vector>

#include "atoms.h"
#include "frame.h"
#include "sed_drive.h"
#include "uids.h"

namespace emu::tcg::test {

// Call invoker.method(params) with End_of_Data and the status list.
inline Bytes CallPayload(const Uid& invoker, const Uid& m, const Bytes& params) {
    Bytes p{kCall};
    PutUid(p, invoker);
    PutUid(p, m);
    p.push_back(kStartList);
    p.insert(p.end(), params.begin(), params.end());
    p.insert(p.end(), {kEndList, kEndOfData, kStartList, 0, 0, 0, kEndList});
    return p;
}

// A frame padded to whole 512-byte sectors.
inline Bytes Sectors(Bytes frame) {
    frame.resize((frame.size() + 511) / 512 * 512, 0);
    return frame;
}

struct Received {
    bool ok = false;
    Bytes data;
    uint32_t outstanding() const { return GetBig32(&data[8]); }
    uint32_t minTransfer() const { return GetBig32(&data[12]); }
    uint32_t comPacketLength() const { return GetBig32(&data[16]); }
    uint32_t tsn() const { return GetBig32(&data[20]); }
    uint32_t hsn() const { return GetBig32(&data[24]); }
    // The SubPacket's tokens; empty when the reply carries none.
    std::vector<Token> tokens() const {
        std::vector<Token> t;
        std::string error;
        const uint32_t n = GetBig32(&data[52]);
        if (n && n <= data.size() - kFrameHeader) DecodeTokens(&data[kFrameHeader], n, t, error);
        return t;
    }
    // The status of a method reply: the first number of the list after End_of_Data.
    int status() const {
        const auto t = tokens();
        for (size_t i = 0; i + 2 < t.size(); ++i)
            if (t[i].IsControl(kEndOfData) && t[i + 2].IsUint()) return int(t[i + 2].uint);
        return -1;
    }
};

class Host {
public:
    explicit Host(SedDrive& d) : drive(d) {}

    bool Send(const Bytes& payload, uint32_t toTsn = 0, uint32_t toHsn = 0) {
        const Bytes f = Sectors(BuildFrame(drive.BaseComId(), toTsn, toHsn, payload));
        return drive.TrustedSend(1, drive.BaseComId(), f.data(), f.size());
    }
    Received Receive(size_t length = 1024, uint16_t comId = 0) {
        Received r;
        r.data.assign(length, 0xEE);
        r.ok = drive.TrustedReceive(1, comId ? comId : drive.BaseComId(), r.data.data(), length);
        return r;
    }
    Received Exchange(const Uid& invoker, const Uid& m, const Bytes& params) {
        EXPECT_TRUE(Send(CallPayload(invoker, m, params), tsn, hsn));
        return Receive();
    }
    // Opens a session; the status of the reply.
    int Start(const Uid& sp, const Uid* authority = nullptr, const Bytes* pin = nullptr) {
        Bytes params;
        PutUint(params, 105);
        PutUid(params, sp);
        PutUint(params, 1);
        const bool enterprise = drive.profile().dialect() == Dialect::Enterprise;
        if (pin) {
            params.push_back(kStartName);
            if (enterprise)
                PutText(params, "HostChallenge");
            else
                PutUint(params, 0);
            PutBytes(params, *pin);
            params.push_back(kEndName);
        }
        if (authority) {
            params.push_back(kStartName);
            if (enterprise)
                PutText(params, "HostSigningAuthority");
            else
                PutUint(params, 3);
            PutUid(params, *authority);
            params.push_back(kEndName);
        }
        EXPECT_TRUE(Send(CallPayload(uid::kSessionManager, method::kStartSession, params)));
        const Received r = Receive();
        const auto t = r.tokens();
        if (r.status() == 0 && t.size() > 5) {
            hsn = uint32_t(t[4].uint);
            tsn = uint32_t(t[5].uint);
        }
        return r.status();
    }
    bool End() {
        if (!Send(Bytes{kEndOfSession}, tsn, hsn)) return false;
        const Received r = Receive();
        tsn = hsn = 0;
        const auto t = r.tokens();
        return t.size() == 1 && t[0].IsControl(kEndOfSession);
    }

    SedDrive& drive;
    uint32_t tsn = 0, hsn = 0;
};

}  // namespace emu::tcg::test
