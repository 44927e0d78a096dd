// Driver, controller, battery, cache, monitor, PCI id, flash, config and event requests.

#include <algorithm>

#include "ark.h"
#include "model.h"

namespace emu::model {
namespace {

template <typename T>
int Reply(Request& r, const T& record) {
    std::memcpy(r.out, &record, sizeof record);
    r.returned = sizeof record;
    return kOk;
}

Controller* ControllerAt(State& s, uint32_t index) {
    return index < s.controllers.size() ? &s.controllers[index] : nullptr;
}

int DriverInfo(State& s, Request& r) {
    ARK_DRIVER_INFO info{};
    CopyText(info.driver_name, sizeof info.driver_name, s.driver.name);
    info.bs_shift_min = s.driver.bsShiftMin;
    info.bs_shift_max = s.driver.bsShiftMax;
    info.hwraid = s.driver.hwraid;
    for (size_t i = 0; i < 16; ++i) {
        if (i < s.driver.raidLevels.size()) info.raid_levels[i] = s.driver.raidLevels[i];
        if (i < s.driver.cachePolicies.size()) info.cache_policies[i] = s.driver.cachePolicies[i];
        if (i < s.driver.maxMpa.size()) info.max_mpa[i] = s.driver.maxMpa[i];
    }
    return Reply(r, info);
}

int ControllerInfo(State& s, Request& r) {
    const Controller* c = ControllerAt(s, ReadU32(r.in));
    if (!c) return kFail;
    ARK_CONTROLLER_INFO info{};
    CopyText(info.ioc_str, sizeof info.ioc_str, c->ioc);
    CopyText(info.vendor_str, sizeof info.vendor_str, c->vendor);
    CopyText(info.fw_rev, sizeof info.fw_rev, c->fwRev);
    CopyText(info.product_str, sizeof info.product_str, c->product);
    CopyText(info.sn_str, sizeof info.sn_str, c->serial);
    info.num_ports = c->numPorts;
    info.vhostno = c->vhostno;
    info.pcie_speed = c->pcieSpeed;
    info.pcie_width = c->pcieWidth;
    info.pci_tree = c->pci[0];
    info.pci_bus = c->pci[1];
    info.pci_device = c->pci[2];
    info.pci_function = c->pci[3];
    info.ramsize = c->ramsize;
    return Reply(r, info);
}

int BatteryInfo(State& s, Request& r) {
    const Controller* c = ControllerAt(s, ReadU32(r.in));
    if (!c) return kFail;
    ARK_BBU_INFO info{};
    info.bbu_installed = c->bbu.installed ? 1 : 0;
    if (c->bbu.installed) {
        info.bbu_type = c->bbu.type;
        info.bbu_status = c->bbu.status;
        info.voltage_mv = c->bbu.voltageMv;
        info.temperature = c->bbu.temperature;
    }
    return Reply(r, info);
}

// The command goes to every installed battery unit of the domain; each must accept it.
bool BatteryAccepts(const Battery& b, uint32_t command) {
    if (command == ARK_BBU_CMD_START_LEARN)
        return (b.status & ARK_BBU_ENABLED) && !(b.status & ARK_BBU_FAULTED);
    if (command == ARK_BBU_CMD_STOP_LEARN) return b.status & ARK_BBU_DISCHARGING;
    return command == ARK_BBU_CMD_DISABLE;
}

int BatteryCommand(State& s, Request& r) {
    const uint32_t command = ReadU32(r.in);
    bool any = false;
    for (const Controller& c : s.controllers) {
        if (!c.bbu.installed) continue;
        if (!BatteryAccepts(c.bbu, command)) return kFail;
        any = true;
    }
    if (!any) return kFail;
    for (Controller& c : s.controllers) {
        Battery& b = c.bbu;
        if (!b.installed) continue;
        if (command == ARK_BBU_CMD_START_LEARN) {
            b.status = (b.status & ~ARK_BBU_CHARGING) | ARK_BBU_DISCHARGING;
            b.learnTicks = s.bbuPhaseTicks;
        } else if (command == ARK_BBU_CMD_STOP_LEARN) {
            b.status = (b.status & ~ARK_BBU_DISCHARGING) | ARK_BBU_CHARGING;
            b.learnTicks = s.bbuPhaseTicks;
        } else {
            b.status &= ~(ARK_BBU_ENABLED | ARK_BBU_CHARGING | ARK_BBU_DISCHARGING);
            b.learnTicks = 0;
        }
    }
    return kOk;
}

int HwMon(State& s, Request& r) {
    const Controller* c = ControllerAt(s, ReadU32(r.in));
    if (!c) return kFail;
    const size_t n = std::min<size_t>(c->hwmon.size(), r.outLen / sizeof(ARK_HWMON_ENTRY));
    for (size_t i = 0; i < n; ++i) {
        ARK_HWMON_ENTRY e{c->hwmon[i].kind, c->hwmon[i].sensor, c->hwmon[i].value};
        std::memcpy(r.out + i * sizeof e, &e, sizeof e);
    }
    r.returned = uint32_t(n * sizeof(ARK_HWMON_ENTRY));
    return kOk;
}

int PciId(State& s, Request& r) {
    const Controller* c = ControllerAt(s, ReadU32(r.in));
    if (!c) return kFail;
    return Reply(r, ARK_PCI_ID{c->pciIdFirst, c->pciIdSecond});
}

int Flash(State& s, Request& r) {
    Controller* c = ControllerAt(s, ReadU32(r.in));
    if (!c) return kFail;
    const uint64_t offset = ReadU32(r.in + 4);
    const uint32_t length = ReadU32(r.in + 12);
    if (offset + length > c->flash.size()) return kFail;
    if (r.inLen == 16) {
        std::memcpy(r.out, c->flash.data() + offset, length);
        r.returned = length;
    } else {
        std::memcpy(c->flash.data() + offset, r.in + 16, length);
    }
    return kOk;
}

std::string KeyOf(const uint8_t* text) {
    return reinterpret_cast<const char*>(text);
}

int GetConfig(State& s, Request& r) {
    auto it = s.config.find(KeyOf(r.in));
    if (it == s.config.end()) return kFail;
    WriteU32(r.out, it->second);
    r.returned = 4;
    return kOk;
}

int SetConfig(State& s, Request& r) {
    auto it = s.config.find(KeyOf(r.in + 4));
    if (it == s.config.end()) return kFail;
    it->second = ReadU32(r.in);
    return kOk;
}

int NextEvent(State& s, Request& r) {
    if (s.events.empty()) return kFail;
    ARK_EVENT e{};
    e.code = s.events.front().code;
    e.devid = s.events.front().devid;
    s.events.pop_front();
    return Reply(r, e);
}

}  // namespace

int ControllerRequest(State& s, uint32_t code, Request& r) {
    switch (code) {
        case ARK_REQ_GET_DRIVER_INFO:
            return DriverInfo(s, r);
        case ARK_REQ_GET_CONTROLLER_COUNT:
            WriteU32(r.out, uint32_t(s.controllers.size()));
            r.returned = 4;
            return kOk;
        case ARK_REQ_GET_CONTROLLER_INFO:
            return ControllerInfo(s, r);
        case ARK_REQ_GET_BBU_INFO:
            return BatteryInfo(s, r);
        case ARK_REQ_SET_BBU_STATUS:
            return BatteryCommand(s, r);
        case ARK_REQ_GET_PCACHE_SIZE:
            WriteU32(r.out, s.pcacheSize);
            r.returned = 4;
            return kOk;
        case ARK_REQ_CLEAR_PCACHE:
            s.pcacheSize = 0;
            return kOk;
        case ARK_REQ_GET_HWMON_DATA:
            return HwMon(s, r);
        case ARK_REQ_GET_PCI_ID:
            return PciId(s, r);
        case ARK_REQ_FLASH:
            return Flash(s, r);
        case ARK_REQ_GET_CONFIG_INT:
            return GetConfig(s, r);
        case ARK_REQ_SET_CONFIG_INT:
            return SetConfig(s, r);
        case ARK_REQ_GET_EVENT:
            return NextEvent(s, r);
        default:
            return kFail;
    }
}

}  // namespace emu::model
