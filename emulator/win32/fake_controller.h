#pragma once

// A small controller for the Windows port tests: answers the two requests discovery sends
// from its settings, and every other request with `reply`. Records what it was asked.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

#include "ark.h"
#include "request_handler.h"

struct FakeRequest {
    uint32_t code;
    std::vector<uint8_t> in;
    uint32_t outLen;
};

class FakeController : public emu::RequestHandler {
public:
    explicit FakeController(uint32_t controllers = 1, uint8_t pciBus = 1) : count(controllers) {
        pci[1] = pciBus;
    }

    int Handle(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
               uint32_t* returned) override {
        std::lock_guard<std::mutex> lock(m_lock);
        const auto* bytes = static_cast<const uint8_t*>(in);
        requests.push_back({code, std::vector<uint8_t>(bytes, bytes + inLen), outLen});
        if (returned != nullptr) *returned = 0;
        if (fail) return -1;
        std::vector<uint8_t> answer = reply;
        if (code == ARK_REQ_GET_CONTROLLER_COUNT) {
            answer = {uint8_t(count), uint8_t(count >> 8), uint8_t(count >> 16),
                      uint8_t(count >> 24)};
        } else if (code == ARK_REQ_GET_CONTROLLER_INFO) {
            ARK_CONTROLLER_INFO info{};
            std::memcpy(&info.pci_tree, pci, sizeof(pci));
            answer.assign(reinterpret_cast<const uint8_t*>(&info),
                          reinterpret_cast<const uint8_t*>(&info) + sizeof(info));
        }
        const uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(answer.size()), outLen);
        if (n != 0) std::memcpy(out, answer.data(), n);
        if (returned != nullptr) *returned = n;
        return 0;
    }

    std::vector<uint32_t> Codes() {
        std::lock_guard<std::mutex> lock(m_lock);
        std::vector<uint32_t> codes;
        for (const auto& r : requests) codes.push_back(r.code);
        return codes;
    }

    uint32_t count;
    uint8_t pci[4] = {0, 1, 0, 0};
    bool fail = false;
    std::vector<uint8_t> reply;
    std::vector<FakeRequest> requests;

private:
    std::mutex m_lock;
};
