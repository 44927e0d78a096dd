#pragma once

// Helpers for the TCG stack's own tests: reply frames, discovery responses, and a drive that
// answers from a script instead of a controller. Test-only.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

#include "tcg_dev.h"
#include "tcg_disk_type.h"
#include "tcg_session.h"

namespace tcgtest {

using Bytes = std::vector<uint8_t>;

inline void put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (24 - 8 * i));
}

inline uint32_t be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// A 1024-byte IF-RECV buffer holding `payload` with consistent lengths.
inline Bytes replyFrame(const Bytes& payload, uint32_t outstanding = 0, uint32_t minTransfer = 0) {
    Bytes b(1024, 0);
    if (!payload.empty()) std::memcpy(b.data() + 56, payload.data(), payload.size());
    const uint32_t padded = uint32_t(56 + (payload.size() + 3) / 4 * 4);
    put32(b, 8, outstanding);
    put32(b, 12, minTransfer);
    put32(b, 16, padded - 20);
    put32(b, 40, padded - 44);
    put32(b, 52, uint32_t(payload.size()));
    return b;
}

// A method reply: the results, End_of_Data and the status list.
inline Bytes methodReply(const Bytes& results, uint8_t status = 0) {
    Bytes p = results;
    p.insert(p.end(), {0xF9, 0xF0, status, 0x00, 0x00, 0xF1});
    return replyFrame(p);
}

// The SyncSession reply to a StartSession.
inline Bytes syncSessionReply(uint32_t hsn, uint32_t tsn) {
    Bytes p = {0xF8, 0xA8, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xA8, 0, 0, 0, 0, 0, 0, 0xFF, 0x03, 0xF0};
    p.insert(p.end(),
             {0x84, uint8_t(hsn >> 24), uint8_t(hsn >> 16), uint8_t(hsn >> 8), uint8_t(hsn)});
    p.insert(p.end(),
             {0x84, uint8_t(tsn >> 24), uint8_t(tsn >> 16), uint8_t(tsn >> 8), uint8_t(tsn)});
    p.push_back(0xF1);
    return methodReply(p);
}

// One feature descriptor: code, version 1, the body's length, the body.
inline Bytes descriptor(uint16_t code, const Bytes& body) {
    Bytes d = {uint8_t(code >> 8), uint8_t(code), 0x10, uint8_t(body.size())};
    d.insert(d.end(), body.begin(), body.end());
    return d;
}

// A Level 0 Discovery response in a 1024-byte buffer; the length counts the bytes after itself.
inline Bytes discoveryResponse(const std::vector<Bytes>& descriptors) {
    Bytes b(48, 0);
    b[4 + 2] = 0x00;  // version
    b[4 + 3] = 0x01;
    for (const Bytes& d : descriptors) b.insert(b.end(), d.begin(), d.end());
    put32(b, 0, uint32_t(b.size() - 4));
    b.resize(1024, 0);
    return b;
}

// A drive answering from a script: IF-RECV takes the next queued reply (or fails when none is
// left); every transfer is recorded.
class ScriptedDrive : public TcgDiskType {
public:
    struct Transfer {
        uint8_t cmd;
        uint8_t protocol;
        uint16_t comID;
        Bytes data;  // sent bytes (IF-SEND) or the buffer length's worth of zeros (IF-RECV)
    };
    struct Reply {
        uint8_t rc;
        Bytes data;
    };

    uint8_t init(const char*) override { return 1; }
    uint8_t sendCmd(uint8_t cmd, uint8_t protocol, uint16_t comID, void* buffer,
                    uint32_t bufferlen) override {
        const uint8_t* p = static_cast<const uint8_t*>(buffer);
        if (cmd == 0x5E) {
            transfers->push_back({cmd, protocol, comID, Bytes(p, p + bufferlen)});
            return sendResult;
        }
        transfers->push_back({cmd, protocol, comID, Bytes(bufferlen)});
        if (replies->empty()) return 1;
        Reply r = replies->front();
        if (replies->size() > 1 || !repeatLast) replies->pop_front();
        if (r.rc == 0 && !r.data.empty())
            std::memcpy(buffer, r.data.data(), std::min<size_t>(r.data.size(), bufferlen));
        return r.rc;
    }
    void identify(TcgDiskInfo& info) override {
        std::memcpy(info.serialNumber, serial, 20);
        std::memcpy(info.modelNumber, "EMU SED", 7);
        std::memcpy(info.firmwareRevision, "1.0", 3);
    }

    // Shared with the test, which keeps them after the device takes the drive.
    std::vector<Transfer>* transfers = nullptr;
    std::deque<Reply>* replies = nullptr;
    uint8_t sendResult = 0;
    bool repeatLast = false;  // the last reply answers every further receive
    char serial[21] = "        EMU000000001";
};

// A device of dialect `Base` over a ScriptedDrive, that counts its polls instead of sleeping.
template <typename Base>
class ScriptedDevice : public Base {
public:
    ScriptedDevice() {
        auto owned = std::make_unique<ScriptedDrive>();
        owned->transfers = &transfers;
        owned->replies = &replies;
        drive = owned.get();
        this->transport = std::move(owned);
        this->opened = 1;
    }
    // A session still open ends while the script it talks to is alive.
    ~ScriptedDevice() override { this->activeSession.reset(); }
    void sleepMs(uint32_t ms) override {
        ++sleeps;
        slept += ms;
    }
    // The IF-SENDs so far.
    std::vector<Bytes> sends() const {
        std::vector<Bytes> out;
        for (const auto& t : transfers)
            if (t.cmd == 0x5E) out.push_back(t.data);
        return out;
    }

    std::vector<ScriptedDrive::Transfer> transfers;
    std::deque<ScriptedDrive::Reply> replies;
    ScriptedDrive* drive = nullptr;
    int sleeps = 0;
    uint32_t slept = 0;
};

}  // namespace tcgtest
