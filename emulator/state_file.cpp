#include "state_file.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "state.h"

namespace emu {

NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(DriverInfo, name, bsShiftMin, bsShiftMax, hwraid,
                                                raidLevels, cachePolicies, maxMpa)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(Battery, installed, type, status, voltageMv,
                                                temperature, learnTicks)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(HwMonEntry, kind, sensor, value)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(SmartAttribute, id, flags, current, worst, raw,
                                                threshold)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(Extent, array, start, sectors)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(DiskSecurity, enabled, locked, frozen, maximum,
                                                erasePrepared, attempts, user, master,
                                                masterRevision)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(DiskSanitize, state, progress, frozen, antifreeze)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(Event, code, devid)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(ScriptStep, tick, action, code, id)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(Array, id, name, raidlevel, subRaidlevel, bsShift,
                                                ssShift, cachePolicy, vcoreId, targetId, parent,
                                                flags, signature, capacity, outdatedMask,
                                                rebuiltSectors, rebuiltPercent, transformPercent,
                                                transformSrc, transformTgt, perDisk, members,
                                                listed)
// The trusted drive is the scenario's object; its state travels beside the disk.
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(Disk, id, model, serial, fwrev, controller, port,
                                                target, pdType, ssShift, spinupMode, vcoreId,
                                                targetId, linkrate, flags, capacity, present,
                                                locate, extents, smart, security, sanitize,
                                                microcode, userData)

namespace {

using nlohmann::json;

constexpr int kFormat = 1;

// Flash as the runs that differ from erased bytes (0xFF), in hex: an image of a few hundred
// KiB in a mostly erased part, not a megabyte of numbers.
json FlashJson(const std::vector<uint8_t>& flash) {
    static const char kHex[] = "0123456789abcdef";
    json runs = json::array();
    size_t i = 0;
    while (i < flash.size()) {
        if (flash[i] == 0xFF) {
            ++i;
            continue;
        }
        const size_t start = i;
        std::string hex;
        // A run ends at 16 erased bytes in a row, so short gaps do not split it.
        size_t erased = 0;
        while (i < flash.size() && erased < 16) {
            erased = flash[i] == 0xFF ? erased + 1 : 0;
            hex += kHex[flash[i] >> 4];
            hex += kHex[flash[i] & 15];
            ++i;
        }
        hex.resize(hex.size() - 2 * erased);
        runs.push_back({{"offset", start}, {"hex", hex}});
    }
    return {{"size", flash.size()}, {"runs", runs}};
}

bool FlashFromJson(const json& j, std::vector<uint8_t>& flash) {
    const size_t size = j.at("size").get<size_t>();
    if (size > (size_t{64} << 20)) return false;
    flash.assign(size, 0xFF);
    for (const json& run : j.at("runs")) {
        const size_t offset = run.at("offset").get<size_t>();
        const std::string& hex = run.at("hex").get_ref<const std::string&>();
        if (hex.size() % 2 || offset > size || hex.size() / 2 > size - offset) return false;
        for (size_t k = 0; k < hex.size(); k += 2) {
            unsigned byte = 0;
            if (std::sscanf(hex.c_str() + k, "%2x", &byte) != 1) return false;
            flash[offset + k / 2] = static_cast<uint8_t>(byte);
        }
    }
    return true;
}

json ControllerJson(const Controller& c) {
    return {{"ioc", c.ioc},
            {"vendor", c.vendor},
            {"fwRev", c.fwRev},
            {"product", c.product},
            {"serial", c.serial},
            {"numPorts", c.numPorts},
            {"vhostno", c.vhostno},
            {"pcieSpeed", c.pcieSpeed},
            {"pcieWidth", c.pcieWidth},
            {"pci", c.pci},
            {"ramsize", c.ramsize},
            {"bbu", c.bbu},
            {"pciIdFirst", c.pciIdFirst},
            {"pciIdSecond", c.pciIdSecond},
            {"flash", FlashJson(c.flash)},
            {"hwmon", c.hwmon}};
}

bool ControllerFromJson(const json& j, Controller& c) {
    j.at("ioc").get_to(c.ioc);
    j.at("vendor").get_to(c.vendor);
    j.at("fwRev").get_to(c.fwRev);
    j.at("product").get_to(c.product);
    j.at("serial").get_to(c.serial);
    j.at("numPorts").get_to(c.numPorts);
    j.at("vhostno").get_to(c.vhostno);
    j.at("pcieSpeed").get_to(c.pcieSpeed);
    j.at("pcieWidth").get_to(c.pcieWidth);
    j.at("pci").get_to(c.pci);
    j.at("ramsize").get_to(c.ramsize);
    j.at("bbu").get_to(c.bbu);
    j.at("pciIdFirst").get_to(c.pciIdFirst);
    j.at("pciIdSecond").get_to(c.pciIdSecond);
    j.at("hwmon").get_to(c.hwmon);
    return FlashFromJson(j.at("flash"), c.flash);
}

json StateJson(const State& s) {
    json controllers = json::array(), disks = json::array(), arrays = json::array();
    for (const Controller& c : s.controllers) controllers.push_back(ControllerJson(c));
    for (const auto& [id, d] : s.disks) {
        json disk = d;
        disk["trusted"] = d.trusted ? d.trusted->SaveState() : json(nullptr);
        disks.push_back(std::move(disk));
    }
    for (const auto& [id, a] : s.arrays) arrays.push_back(a);
    return {{"driver", s.driver},
            {"controllers", controllers},
            {"disks", disks},
            {"arrays", arrays},
            {"events", s.events},
            {"config", s.config},
            {"pcacheSize", s.pcacheSize},
            {"progressPerTick", s.progressPerTick},
            {"bbuPhaseTicks", s.bbuPhaseTicks},
            {"nextId", s.nextId},
            {"ticks", s.ticks},
            {"script", s.script}};
}

// The saved state over `current` (the scenario's), keeping the scenario's trusted drives.
bool StateFromJson(const json& j, const State& current, State& out,
                   std::vector<std::pair<std::shared_ptr<TrustedDevice>, json>>& trusted,
                   std::string& error) {
    j.at("driver").get_to(out.driver);
    for (const json& c : j.at("controllers")) {
        Controller controller;
        if (!ControllerFromJson(c, controller)) {
            error = "controller flash does not fit";
            return false;
        }
        out.controllers.push_back(std::move(controller));
    }
    for (const json& d : j.at("disks")) {
        Disk disk = d.get<Disk>();
        const json& saved = d.at("trusted");
        auto it = current.disks.find(disk.id);
        disk.trusted = it != current.disks.end() ? it->second.trusted : nullptr;
        if (!saved.is_null()) {
            if (!disk.trusted) {
                error = "disk " + std::to_string(disk.id) + " has no trusted drive to restore";
                return false;
            }
            trusted.emplace_back(disk.trusted, saved);
        }
        const uint32_t id = disk.id;
        out.disks[id] = std::move(disk);
    }
    for (const json& a : j.at("arrays")) {
        Array array = a.get<Array>();
        const uint32_t id = array.id;
        out.arrays[id] = std::move(array);
    }
    j.at("events").get_to(out.events);
    j.at("config").get_to(out.config);
    j.at("pcacheSize").get_to(out.pcacheSize);
    j.at("progressPerTick").get_to(out.progressPerTick);
    j.at("bbuPhaseTicks").get_to(out.bbuPhaseTicks);
    j.at("nextId").get_to(out.nextId);
    j.at("ticks").get_to(out.ticks);
    j.at("script").get_to(out.script);
    return true;
}

}  // namespace

json MachineStateJson(const Machine& machine, int64_t savedAt) {
    json domains = json::array();
    for (const auto& e : machine.emulators) domains.push_back(StateJson(e->Snapshot()));
    return {{"format", kFormat}, {"saved_at", savedAt}, {"domains", domains}};
}

bool RestoreMachineState(Machine& machine, const json& saved, int64_t& savedAt,
                         std::string& error) {
    // Typed reads of our own file throw on a wrong shape; that stays inside this function.
    try {
        if (!saved.is_object() || saved.value("format", 0) != kFormat) {
            error = "not a state file of this emulator";
            return false;
        }
        const json& domains = saved.at("domains");
        if (!domains.is_array() || domains.size() != machine.emulators.size()) {
            error = "saved for " + std::to_string(domains.size()) + " domains, the scenario has " +
                    std::to_string(machine.emulators.size());
            return false;
        }
        std::vector<State> states(domains.size());
        std::vector<std::pair<std::shared_ptr<TrustedDevice>, json>> trusted;
        for (size_t i = 0; i < domains.size(); ++i) {
            if (!StateFromJson(domains[i], machine.emulators[i]->Snapshot(), states[i], trusted,
                               error)) {
                error = "domains[" + std::to_string(i) + "]: " + error;
                return false;
            }
        }
        // Drives before the emulators: a refusal stops the load before any emulator changes.
        for (auto& [device, state] : trusted) {
            if (!device->RestoreState(state)) {
                error = "a trusted drive refused its saved state";
                return false;
            }
        }
        savedAt = saved.at("saved_at").get<int64_t>();
        for (size_t i = 0; i < states.size(); ++i)
            machine.emulators[i]->Modify([&](State& s) { s = std::move(states[i]); });
        return true;
    } catch (const json::exception& e) {
        error = e.what();
        return false;
    }
}

StateLoad LoadStateFile(const std::string& path, Machine& machine, int64_t now,
                        std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (access(path.c_str(), F_OK) != 0) return StateLoad::Missing;
        error = path + ": cannot be read";
        return StateLoad::Invalid;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const json saved = json::parse(text, nullptr, false);
    int64_t savedAt = 0;
    if (saved.is_discarded()) {
        error = path + ": not JSON";
        return StateLoad::Invalid;
    }
    if (!RestoreMachineState(machine, saved, savedAt, error)) {
        error = path + ": " + error;
        return StateLoad::Invalid;
    }
    int64_t ticks = now > savedAt ? now - savedAt : 0;
    if (ticks > kMaxCatchUpTicks) ticks = kMaxCatchUpTicks;
    for (int64_t t = 0; t < ticks; ++t)
        for (auto& e : machine.emulators) e->Tick();
    return StateLoad::Loaded;
}

bool SaveStateFile(const std::string& path, const Machine& machine, int64_t now,
                   std::string& error) {
    const std::string text =
        MachineStateJson(machine, now).dump(1, ' ', false, json::error_handler_t::replace);
    const std::string temp = path + ".tmp." + std::to_string(getpid());
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    bool ok = f != nullptr;
    if (ok) ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (f != nullptr) ok = (std::fflush(f) == 0) && ok && fsync(fileno(f)) == 0;
    if (f != nullptr && std::fclose(f) != 0) ok = false;
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) {
        std::remove(temp.c_str());
        error = path + ": cannot be written";
    }
    return ok;
}

}  // namespace emu
