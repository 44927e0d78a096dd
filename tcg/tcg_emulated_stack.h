#pragma once

// The TCG stack over the controller emulator without the utility's process: the scenario's
// first domain as domain 0 of the process (g_domains, g_currentDomain and g_pdList set, as the
// utility sets them before handing over), and drives opened the way the tool opens them.
// Test-only.

#include <memory>
#include <string>

#include "emulated_domain.h"
#include "tcg_dev.h"
#include "tcg_dev_enterprise.h"
#include "tcg_dev_factory.h"
#include "tcg_dev_generic.h"

namespace tcgtest {

class EmulatedStack : public utiltest::EmulatedDomain {
public:
    using utiltest::EmulatedDomain::EmulatedDomain;

    // Probes the drive at `location` with a generic device; null when it is not a TCG drive.
    // Otherwise the device of its dialect, opened (and its properties exchanged) as the tool
    // does.
    std::unique_ptr<TcgDev> open(const std::string& location) {
        names_.push_back(std::make_unique<std::string>(location));
        const char* name = names_.back()->c_str();
        TcgDevGeneric probe;
        probe.TcgDevOS::openDevice(name);
        if (!probe.isPresent() || !probe.isAnySSC()) return nullptr;
        std::unique_ptr<TcgDev> dev = tcgNewDeviceFor(probe.diskInfo);
        if (!dev) return nullptr;
        openDevice(*dev, name);
        return dev;
    }

    // A device of dialect Dev at `location` that polls without sleeping, opened as the tool
    // opens its dialect.
    template <typename Dev>
    std::unique_ptr<Dev> openAs(const std::string& location) {
        auto dev = std::make_unique<NoSleep<Dev>>();
        names_.push_back(std::make_unique<std::string>(location));
        openDevice(*dev, names_.back()->c_str());
        return dev;
    }

    template <typename Dev>
    class NoSleep : public Dev {
    public:
        void sleepMs(uint32_t) override { ++polls; }
        int polls = 0;
    };

private:
    static void openDevice(TcgDev& dev, const char* name) {
        dev.openDevice(name);
        if (auto* enterprise = dynamic_cast<TcgDevEnterprise*>(&dev)) enterprise->properties();
    }

    // Devices keep the name they were opened with.
    std::vector<std::unique_ptr<std::string>> names_;
};

}  // namespace tcgtest
