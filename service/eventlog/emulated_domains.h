#pragma once

// Test helper: controller domains answered by emulators, attached for one test.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ark.h"
#include "domain.h"
#include "emu_port.h"
#include "emulator.h"

class EmulatedDomains {
public:
    EmulatedDomains() { arkResetDomainsForTest(); }
    ~EmulatedDomains() { arkResetDomainsForTest(); }  // the ports go before their emulators
    EmulatedDomains(const EmulatedDomains&) = delete;
    EmulatedDomains& operator=(const EmulatedDomains&) = delete;

    // Attaches one domain of one controller; its index is the number added before.
    emu::Emulator& Add(emu::State state) {
        if (state.controllers.empty()) state.controllers.emplace_back();
        m_emulators.push_back(std::make_unique<emu::Emulator>(std::move(state)));
        auto* port =
            new emu::EmuPort(*m_emulators.back(), "/dev/emu" + std::to_string(m_emulators.size()));
        if (!AttachPort(port)) {
            delete port;
            ADD_FAILURE() << "the emulated port was not attached";
        }
        return *m_emulators.back();
    }

private:
    std::vector<std::unique_ptr<emu::Emulator>> m_emulators;
};

// Where a disk sits; named at each call, as the three numbers are easily given in another order.
struct DiskPlace {
    uint8_t controller = 0;
    uint8_t port = 0;
    uint8_t target = 0;
};

inline emu::Disk emuDisk(uint32_t id, std::string model, std::string serial, DiskPlace at,
                         uint32_t flags = 0) {
    emu::Disk d;
    d.id = id;
    d.model = std::move(model);
    d.serial = std::move(serial);
    d.controller = at.controller;
    d.port = at.port;
    d.target = at.target;
    d.flags = flags;
    d.capacity = 1000000;
    return d;
}

inline emu::Array emuArray(uint32_t id, std::string name, std::vector<uint32_t> members,
                           uint32_t signature = 0, uint8_t raidlevel = ARK_RAID1) {
    emu::Array a;
    a.id = id;
    a.name = std::move(name);
    a.members = std::move(members);
    a.signature = signature;
    a.raidlevel = raidlevel;
    return a;
}
