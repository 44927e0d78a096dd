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
        dev->openDevice(name);
        if (auto* enterprise = dynamic_cast<TcgDevEnterprise*>(dev.get())) enterprise->properties();
        return dev;
    }

private:
    // Devices keep the name they were opened with.
    std::vector<std::unique_ptr<std::string>> names_;
};

}  // namespace tcgtest
