#pragma once

// A controller port for the SMART tests: one controller with one disk. It records every ATA
// pass-through request (header bytes and lengths, and where the reply went relative to the
// request) and answers SMART commands from scripted pages and registers.

#include <array>
#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#include "ark.h"
#include "driver_port.h"

struct PassthroughRecord {
    std::vector<uint8_t> in;
    uint32_t outLen;
    std::ptrdiff_t outOffset;  // out - in
};

class FakeDiskPort : public CDriverPort {
public:
    int Ioctl(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
              uint32_t* bytesReturned) override {
        if (bytesReturned != nullptr) *bytesReturned = 0;
        switch (code) {
            case ARK_REQ_GET_CONTROLLER_COUNT: {
                uint32_t one = 1;
                if (outLen != sizeof one) return -1;
                std::memcpy(out, &one, sizeof one);
                return 0;
            }
            case ARK_REQ_GET_VD_INFO:
                if (failVdInfo || inLen != 4 || outLen != sizeof device) return -1;
                std::memcpy(out, &device, sizeof device);
                return 0;
            case ARK_REQ_ATA_PASSTHROUGH:
                return passthrough(static_cast<const uint8_t*>(in), inLen,
                                   static_cast<uint8_t*>(out), outLen);
        }
        return -1;
    }

    const char* GetPath() const override { return "fake-disk"; }

    ARK_VD_INFO device{};
    bool failVdInfo = false;
    std::set<uint16_t> failingFeatures;   // SMART feature codes whose request fails
    std::set<uint16_t> rejectedFeatures;  // ... whose request succeeds but the disk refuses
    uint8_t rejectStatus = 0x51;          // the status register then: ready, error
    uint16_t statusLbaMid = 0x4F;
    uint16_t statusLbaHigh = 0xC2;
    std::array<uint8_t, 512> values{};
    std::array<uint8_t, 512> thresholds{};
    std::vector<PassthroughRecord>* log = nullptr;

private:
    int passthrough(const uint8_t* in, uint32_t inLen, uint8_t* out, uint32_t outLen) {
        if (log != nullptr)
            log->push_back({std::vector<uint8_t>(in, in + inLen), outLen, out - in});
        ARK_ATA_PASSTHROUGH header{};
        if (inLen < sizeof header || outLen < sizeof header) return -1;
        std::memcpy(&header, in, sizeof header);
        if (failingFeatures.count(header.features) != 0) return -1;
        ARK_ATA_PASSTHROUGH reply = header;
        reply.command = rejectedFeatures.count(header.features) != 0 ? rejectStatus : 0x50;
        if (header.features == 0xDA) {
            reply.lba_mid = statusLbaMid;
            reply.lba_high = statusLbaHigh;
        }
        std::memcpy(out, &reply, sizeof reply);
        const auto* page = header.features == 0xD0   ? values.data()
                           : header.features == 0xD1 ? thresholds.data()
                                                     : nullptr;
        if (page != nullptr) {
            if (outLen != sizeof reply + 512) return -1;
            std::memcpy(out + sizeof reply, page, 512);
        }
        return 0;
    }
};
