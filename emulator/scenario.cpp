#include "scenario.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "ark.h"
#include "disk_pages.h"
#include "json_fields.h"
#include "model.h"
#include "placement.h"

namespace emu {
namespace {

using nlohmann::json;

// Every controller holds its flash image in memory, and every Snapshot copies it.
constexpr uint32_t kMaxFlashSize = 64u << 20;

std::string Item(const std::string& where, const char* list, size_t i) {
    return where + "." + list + "[" + std::to_string(i) + "]";
}

// Walks a list field whose entries are objects.
template <typename Fn>
void EachObject(JsonFields& f, const char* key, Fn fn) {
    const json* list = f.Raw(key);
    if (!list) return;
    if (!list->is_array()) return f.Fail(key, "expected a list");
    for (size_t i = 0; i < list->size() && f.Ok(); ++i) fn((*list)[i], Item(f.Where(), key, i));
}

void ReadDriver(const json& j, const std::string& where, DriverInfo& d, std::string& error) {
    if (!ExpectObject(j, where, error)) return;
    JsonFields f(j, where, error);
    f.Raw("comment");
    f.Text("name", d.name, 12);
    f.Int("bs_shift_min", d.bsShiftMin);
    f.Int("bs_shift_max", d.bsShiftMax);
    f.Int("hwraid", d.hwraid);
    f.Bytes("raid_levels", d.raidLevels, 16);
    f.Bytes("cache_policies", d.cachePolicies, 16);
    f.Bytes("max_mpa", d.maxMpa, 16);
    if (f.Ok() && d.bsShiftMin > d.bsShiftMax) f.Fail("bs_shift_min", "above bs_shift_max");
    f.Finish();
}

void ReadBattery(const json& j, const std::string& where, Battery& b, std::string& error) {
    if (!ExpectObject(j, where, error)) return;
    JsonFields f(j, where, error);
    b.installed = true;
    f.Raw("comment");
    f.Bool("installed", b.installed);
    f.Int("type", b.type);
    f.Int("status", b.status);
    f.Int("voltage_mv", b.voltageMv);
    f.Int("temperature", b.temperature);
    f.Finish();
}

void ReadController(const json& j, const std::string& where, Controller& c, std::string& error) {
    if (!ExpectObject(j, where, error)) return;
    JsonFields f(j, where, error);
    f.Raw("comment");
    f.Text("ioc", c.ioc, 16);
    f.Text("vendor", c.vendor, 16);
    f.Text("fw_rev", c.fwRev, 24);
    f.Text("product", c.product, 40);
    f.Text("serial", c.serial, 24);
    f.Int("num_ports", c.numPorts);
    f.Int("vhostno", c.vhostno);
    f.Int("pcie_speed", c.pcieSpeed);
    f.Int("pcie_width", c.pcieWidth);
    f.Int("ramsize", c.ramsize);
    std::vector<uint8_t> pci(c.pci.begin(), c.pci.end());
    f.Bytes("pci", pci, 4);
    if (f.Ok() && pci.size() != 4) f.Fail("pci", "expected 4 bytes: tree, bus, device, function");
    if (f.Ok()) std::copy(pci.begin(), pci.end(), c.pci.begin());
    if (const json* ids = f.Raw("pci_id")) {
        int64_t first = 0, second = 0;
        if (!ids->is_array() || ids->size() != 2) {
            f.Fail("pci_id", "expected two 32-bit words");
        } else if (f.ReadInt((*ids)[0], "pci_id[0]", 0, UINT32_MAX, first) &&
                   f.ReadInt((*ids)[1], "pci_id[1]", 0, UINT32_MAX, second)) {
            c.pciIdFirst = uint32_t(first);
            c.pciIdSecond = uint32_t(second);
        }
    }
    uint32_t flashSize = uint32_t(c.flash.size());
    f.Int("flash_size", flashSize);
    if (f.Ok() && flashSize > kMaxFlashSize) {
        f.Fail("flash_size", "above " + std::to_string(kMaxFlashSize) + " bytes");
    }
    if (f.Ok()) c.flash.assign(flashSize, 0xFF);
    EachObject(f, "hwmon", [&](const json& e, const std::string& at) {
        if (!ExpectObject(e, at, error)) return;
        JsonFields h(e, at, error);
        HwMonEntry entry;
        int32_t value = 0;
        h.Int("kind", entry.kind);
        h.Int("sensor", entry.sensor);
        h.Int("value", value);
        if (h.Ok() && (value < -32768 || value > 65535)) h.Fail("value", "outside 16 bits");
        entry.value = uint16_t(value);
        if (h.Finish()) c.hwmon.push_back(entry);
    });
    if (const json* b = f.Raw("battery")) ReadBattery(*b, f.Path("battery"), c.bbu, error);
    f.Finish();
}

// "on", "off" or "unsupported" for a disk feature with a supported bit and an on bit.
void ReadFeature(JsonFields& f, const char* key, uint32_t supported, uint32_t on, uint32_t& flags) {
    std::string mode = "on";
    f.String(key, mode);
    if (!f.Ok()) return;
    if (mode == "on")
        flags |= supported | on;
    else if (mode == "off")
        flags |= supported;
    else if (mode != "unsupported")
        f.Fail(key, "expected \"on\", \"off\" or \"unsupported\"");
}

void FlagField(JsonFields& f, const char* key, uint32_t bit, uint32_t& flags) {
    bool set = false;
    f.Bool(key, set);
    if (set) flags |= bit;
}

void ReadAttributes(JsonFields& f, std::vector<SmartAttribute>& attrs, std::string& error) {
    if (!f.Has("smart_attributes")) return;
    attrs.clear();
    EachObject(f, "smart_attributes", [&](const json& e, const std::string& at) {
        if (!ExpectObject(e, at, error)) return;
        JsonFields a(e, at, error);
        SmartAttribute attr;
        uint64_t raw = 0;
        a.Int("id", attr.id);
        a.Int("flags", attr.flags);
        a.Int("current", attr.current);
        a.Int("worst", attr.worst);
        a.Int("threshold", attr.threshold);
        a.Int("raw", raw);
        if (a.Ok() && raw >> 48) a.Fail("raw", "wider than 48 bits");
        for (size_t i = 0; i < 6; ++i) attr.raw[i] = uint8_t(raw >> (8 * i));
        if (a.Ok() && attr.id == 0) a.Fail("id", "attribute id 0 marks an empty slot");
        if (a.Finish()) attrs.push_back(attr);
    });
    if (f.Ok() && attrs.size() > 30) f.Fail("smart_attributes", "more than 30 attributes");
}

// The first pre-failure attribute with a threshold drops to it.
void MakeFailing(std::vector<SmartAttribute>& attrs) {
    for (SmartAttribute& a : attrs) {
        if ((a.flags & 1) && a.threshold) {
            a.current = a.threshold;
            a.worst = std::min(a.worst, a.threshold);
            return;
        }
    }
    SmartAttribute a;
    a.id = 5;
    a.flags = 0x33;
    a.current = a.worst = a.threshold = 10;
    attrs.push_back(a);
}

void ReadDisk(const json& j, const std::string& where, Disk& d, std::string& error) {
    if (!ExpectObject(j, where, error)) return;
    JsonFields f(j, where, error);
    f.Raw("comment");
    f.Int("id", d.id);
    f.Text("model", d.model, 44);
    f.Text("serial", d.serial, 24);
    f.Text("fwrev", d.fwrev, 12);
    f.Int("controller", d.controller);
    f.Int("port", d.port);
    f.Int("target", d.target);
    f.Int("pd_type", d.pdType);
    f.Int("ss_shift", d.ssShift);
    f.Int("spinup_mode", d.spinupMode);
    f.Int("vcore_id", d.vcoreId);
    f.Int("capacity", d.capacity);
    std::vector<uint8_t> rates(d.linkrate.begin(), d.linkrate.end());
    f.Bytes("linkrate", rates, 4);
    if (f.Ok() && rates.size() != 4)
        f.Fail("linkrate", "expected 4 bytes: max, avail, actual, set");
    if (f.Ok()) std::copy(rates.begin(), rates.end(), d.linkrate.begin());
    d.flags = 0;
    FlagField(f, "enclosure", ARK_DISK_ENCLOSURE, d.flags);
    FlagField(f, "target_level", ARK_DISK_TARGET_LEVEL, d.flags);
    FlagField(f, "ssd", ARK_DISK_SSD, d.flags);
    FlagField(f, "spare", ARK_DISK_SPARE, d.flags);
    FlagField(f, "disabled", ARK_DISK_DISABLED, d.flags);
    FlagField(f, "locked", ARK_DISK_LOCKED, d.flags);
    FlagField(f, "uninitialized", ARK_DISK_UNINITIALIZED, d.flags);
    FlagField(f, "legacy", ARK_DISK_LEGACY, d.flags);
    FlagField(f, "erasing", ARK_DISK_ERASING, d.flags);
    ReadFeature(f, "read_ahead", ARK_DISK_RA_SUPPORTED, ARK_DISK_RA_ON, d.flags);
    ReadFeature(f, "write_cache", ARK_DISK_WC_SUPPORTED, ARK_DISK_WC_ON, d.flags);
    ReadFeature(f, "ncq", ARK_DISK_QD_SUPPORTED, ARK_DISK_QD_ON, d.flags);
    bool smart = true, failing = false;
    f.Bool("smart", smart);
    if (smart) d.flags |= ARK_DISK_SMART_ON;
    uint32_t extra = 0;
    f.Int("extra_flags", extra);
    d.flags |= extra;
    f.Bool("present", d.present);
    f.Bool("locate", d.locate);
    std::string family = (d.flags & ARK_DISK_SSD) ? "ssd" : "hdd";
    f.String("smart_family", family);
    if (f.Ok() && !IsSmartFamily(family))
        f.Fail("smart_family", "unknown family \"" + family + "\"");
    d.smart = SmartFamily(family);
    ReadAttributes(f, d.smart, error);
    f.Bool("smart_failing", failing);
    if (failing) MakeFailing(d.smart);
    std::string tcg;
    f.String("tcg", tcg);
    const json* settings = f.Raw("tcg_settings");
    if (f.Ok() && !tcg.empty()) {
        d.trusted = MakeTrustedDevice(tcg);
        std::string why;
        if (!d.trusted) {
            f.Fail("tcg", "no drive model registered as \"" + tcg + "\"");
        } else if (!d.trusted->Configure(settings ? *settings : json(), why)) {
            f.Fail("tcg_settings", why);
        }
    } else if (f.Ok() && settings) {
        f.Fail("tcg_settings", "settings without a \"tcg\" drive model");
    }
    if (f.Ok() && d.capacity == 0) f.Fail("capacity", "a disk needs a capacity in sectors");
    f.Finish();
}

bool LevelByName(const std::string& name, uint8_t& level, uint8_t& sub) {
    static const struct {
        const char* name;
        uint8_t level, sub;
    } kLevels[] = {{"RAID0", ARK_RAID0, 0},
                   {"RAID1", ARK_RAID1, 0},
                   {"RAID5", ARK_RAID5, 0},
                   {"RAID6", ARK_RAID6, 0},
                   {"JBOD", ARK_JBOD, 0},
                   {"RAID10", ARK_RAID0, ARK_RAID1},
                   {"RAID50", ARK_RAID0, ARK_RAID5},
                   {"RAID60", ARK_RAID0, ARK_RAID6}};
    for (const auto& l : kLevels) {
        if (name == l.name) {
            level = l.level;
            sub = l.sub;
            return true;
        }
    }
    return false;
}

// Space on the member disks, placed as array creation places it: each gives `perDisk` sectors
// (0: what it offers, the smallest member deciding for striped levels).
bool PlaceArray(State& s, Array& a, uint64_t perDisk, JsonFields& f) {
    std::vector<uint32_t> present;
    std::vector<uint64_t> runs;
    for (uint32_t id : a.members) {
        if (model::IsEmptySlot(id)) continue;
        auto it = s.disks.find(id);
        if (it == s.disks.end())
            return f.Fail("members", "no disk with id " + std::to_string(id)), false;
        present.push_back(id);
        runs.push_back(model::Offer(it->second));
    }
    if (present.empty()) return f.Fail("members", "an array needs at least one member disk"), false;
    model::RunRequest want;
    want.level = a.raidlevel;
    want.slots = a.members.size();
    want.perDisk = perDisk;
    a.capacity = model::SizeRuns(want, runs);
    a.perDisk = a.raidlevel == ARK_JBOD ? perDisk : runs.front();
    const size_t full = model::TakeRuns(s, a.id, present, runs);
    if (full < present.size()) {
        return f.Fail("members", "disk " + std::to_string(present[full]) + " has no room"), false;
    }
    if (a.capacity == 0) return f.Fail("members", "too few members for the level"), false;
    return true;
}

void ReadArray(const json& j, const std::string& where, State& s, std::string& error) {
    if (!ExpectObject(j, where, error)) return;
    JsonFields f(j, where, error);
    f.Raw("comment");
    Array a;
    a.id = 0;
    f.Int("id", a.id);
    f.Text("name", a.name, 16);
    std::string level = "RAID5";
    f.String("level", level);
    uint8_t sub = 0;
    if (f.Ok() && !LevelByName(level, a.raidlevel, sub)) {
        f.Fail("level", "expected RAID0, RAID1, RAID5, RAID6, JBOD, RAID10, RAID50 or RAID60");
    }
    f.Int("bs_shift", a.bsShift);
    f.Int("ss_shift", a.ssShift);
    f.Int("cache_policy", a.cachePolicy);
    f.Int("vcore_id", a.vcoreId);
    int32_t target = -1;
    f.Int("target_id", target);
    uint32_t extraFlags = 0, percent = 0;
    f.Int("flags", extraFlags);
    f.Int("rebuilt_percent", percent);
    uint64_t outdated = 0, perDisk = 0;
    f.Int("outdated_mask", outdated);
    f.Int("per_disk", perDisk);
    uint32_t signature = 0;
    f.Int("signature", signature);
    std::vector<uint32_t> members;
    if (const json* list = f.Raw("members")) {
        if (!list->is_array() || list->size() > ARK_MAX_MEMBERS * 8) {
            f.Fail("members", "expected a list of disk ids");
        }
        for (size_t i = 0; f.Ok() && i < list->size(); ++i) {
            int64_t id = 0;
            if (f.ReadInt((*list)[i], "members[" + std::to_string(i) + "]", 0, UINT32_MAX, id))
                members.push_back(uint32_t(id));
        }
    }
    uint32_t subdisks = 0;
    f.Int("subdisks", subdisks);
    uint32_t transformOf = 0;
    f.Int("transform_of", transformOf);
    f.Int("transform_percent", a.transformPercent);
    if (!f.Finish()) return;
    Array* source = nullptr;
    if (transformOf) {
        auto it = s.arrays.find(transformOf);
        if (it == s.arrays.end() || !it->second.listed || it->second.subRaidlevel ||
            !model::IsEmptySlot(it->second.parent) || !model::IsEmptySlot(it->second.transformTgt))
            return f.Fail("transform_of", "no plain array " + std::to_string(transformOf) +
                                              " listed before it and free to transform");
        if (sub) return f.Fail("transform_of", "a transform target is a plain array");
        source = &it->second;
    }
    if (a.id == 0) a.id = model::NewId(s);
    if (a.id == kNoId || s.arrays.count(a.id) || s.disks.count(a.id)) {
        return f.Fail("id", "0xFFFFFFFF or already in use");
    }
    a.signature = signature ? signature : model::Signature(a.id);
    // A transform target is not shown to the host until the transform ends.
    a.targetId = target >= 0 && target < 256 ? uint8_t(target)
                 : source                    ? uint8_t(255)
                                             : model::NextTargetId(s);
    a.flags = extraFlags;
    a.rebuiltPercent = percent;
    a.outdatedMask = outdated;
    if (!sub) {
        if (members.size() > ARK_MAX_MEMBERS) return f.Fail("members", "more than 64 members");
        a.members = members;
        if (!PlaceArray(s, a, perDisk, f)) return;
        if (source) {
            // As a create with a source array leaves them: the target waits, unlisted.
            a.listed = false;
            a.transformSrc = source->id;
            a.transformTgt = a.id;
            source->transformSrc = source->id;
            source->transformTgt = a.id;
            if (!(source->flags & ARK_ARRAY_TRANSFORMING))
                source->flags |= ARK_ARRAY_NEED_TRANSFORM;
        }
        s.arrays[a.id] = a;
        return;
    }
    // A stripe over sub-arrays of `subdisks` disks each.
    if (subdisks < 2 || members.size() % subdisks || members.size() / subdisks < 2 ||
        members.size() / subdisks > ARK_MAX_MEMBERS) {
        return f.Fail("subdisks", "must split the members into two or more equal groups");
    }
    a.subRaidlevel = sub;
    s.arrays[a.id] = a;  // holds the id while the sub-arrays take theirs
    a.capacity = 0;
    for (size_t g = 0; g < members.size() / subdisks; ++g) {
        Array part;
        part.id = model::NewId(s);
        part.name = a.name;
        part.raidlevel = sub;
        part.bsShift = a.bsShift;
        part.ssShift = a.ssShift;
        part.cachePolicy = a.cachePolicy;
        part.parent = a.id;
        part.signature = model::Signature(part.id);
        part.members.assign(members.begin() + g * subdisks, members.begin() + (g + 1) * subdisks);
        if (!PlaceArray(s, part, perDisk, f)) return;
        a.capacity += part.capacity;
        a.perDisk = part.perDisk;
        a.members.push_back(part.id);
        s.arrays[part.id] = part;
    }
    s.arrays[a.id] = a;
}

void ReadEvents(JsonFields& f, State& s, std::string& error) {
    EachObject(f, "events", [&](const json& e, const std::string& at) {
        if (!ExpectObject(e, at, error)) return;
        JsonFields ev(e, at, error);
        Event event;
        ev.Int("code", event.code);
        ev.Int("devid", event.devid);
        if (ev.Finish()) s.events.push_back(event);
    });
    EachObject(f, "script", [&](const json& e, const std::string& at) {
        if (!ExpectObject(e, at, error)) return;
        JsonFields st(e, at, error);
        ScriptStep step;
        std::string action = "event";
        st.Int("tick", step.tick);
        st.String("action", action);
        st.Int("code", step.code);
        st.Int("id", step.id);
        if (action == "fail_disk")
            step.action = ScriptStep::Action::FailDisk;
        else if (action == "remove_disk")
            step.action = ScriptStep::Action::RemoveDisk;
        else if (action == "power_cycle")
            step.action = ScriptStep::Action::PowerCycle;
        else if (action != "event")
            st.Fail("action", "expected event, fail_disk, remove_disk or power_cycle");
        if (st.Ok() && step.tick == 0) st.Fail("tick", "ticks count from 1");
        if (st.Ok() && step.action != ScriptStep::Action::Event && !s.disks.count(step.id))
            st.Fail("id", "no disk with id " + std::to_string(step.id));
        if (st.Finish()) s.script.push_back(step);
    });
}

void ReadFaults(JsonFields& f, std::vector<Fault>& faults, std::string& error) {
    EachObject(f, "faults", [&](const json& e, const std::string& at) {
        if (!ExpectObject(e, at, error)) return;
        JsonFields ft(e, at, error);
        Fault fault;
        std::string kind = "fail";
        ft.Int("code", fault.code);
        ft.String("kind", kind);
        ft.Int("on_call", fault.onCall);
        ft.Int("times", fault.times);
        ft.Int("reply_bytes", fault.replyBytes);
        if (kind == "short")
            fault.kind = Fault::Kind::ShortReply;
        else if (kind == "unterminated")
            fault.kind = Fault::Kind::Unterminated;
        else if (kind != "fail")
            ft.Fail("kind", "expected fail, short or unterminated");
        if (ft.Ok() && !ft.Has("code")) ft.Fail("code", "a fault needs a request code");
        if (ft.Finish()) faults.push_back(fault);
    });
}

void ReadConfig(JsonFields& f, State& s, std::string& error) {
    const json* config = f.Raw("config");
    if (!config) return;
    const std::string at = f.Path("config");
    if (!ExpectObject(*config, at, error)) return;
    JsonFields c(*config, at, error);
    for (auto& [key, value] : s.config) c.Int(key.c_str(), value);
    c.Finish();
}

void ReadPorts(JsonFields& f, DomainConfig& d, std::string& error) {
    EachObject(f, "ports", [&](const json& e, const std::string& at) {
        if (!ExpectObject(e, at, error)) return;
        JsonFields p(e, at, error);
        PortConfig port;
        p.String("path", port.path);
        p.Bool("miniport", port.miniport);
        p.Bool("processor", port.processor);
        p.Int("path_id", port.pathId);
        p.Int("target_id", port.targetId);
        p.Int("lun", port.lun);
        if (p.Ok() && !port.miniport && !port.processor) {
            p.Fail("processor",
                   "a port answers the miniport request, its processor device, or both");
        }
        if (p.Finish()) d.ports.push_back(port);
    });
    if (f.Ok() && !f.Has("ports")) d.ports.push_back({});
}

void ReadDomain(const json& j, const std::string& where, DomainConfig& d, std::string& error) {
    if (!ExpectObject(j, where, error)) return;
    JsonFields f(j, where, error);
    State& s = d.state;
    s.config = DefaultConfig();
    f.Raw("comment");
    if (const json* driver = f.Raw("driver"))
        ReadDriver(*driver, f.Path("driver"), s.driver, error);
    EachObject(f, "controllers", [&](const json& e, const std::string& at) {
        Controller c;
        ReadController(e, at, c, error);
        s.controllers.push_back(std::move(c));
    });
    if (f.Ok() && !f.Has("controllers")) s.controllers.emplace_back();
    f.Int("first_id", s.nextId);
    if (f.Ok() && (s.nextId == 0 || s.nextId == kNoId))
        f.Fail("first_id", "ids are never 0 or 0xFFFFFFFF");
    const uint32_t firstDisk = s.nextId;
    size_t index = 0;
    EachObject(f, "disks", [&](const json& e, const std::string& at) {
        Disk disk;
        disk.id = firstDisk + uint32_t(index++);
        ReadDisk(e, at, disk, error);
        if (!error.empty()) return;
        if (disk.id == 0 || disk.id == kNoId || s.disks.count(disk.id)) {
            error = at + ".id: 0, 0xFFFFFFFF or already in use";
        } else if (disk.controller >= s.controllers.size()) {
            error = at + ".controller: no controller " + std::to_string(disk.controller);
        }
        s.disks[disk.id] = std::move(disk);
    });
    for (auto& [id, disk] : s.disks) {
        s.nextId = std::max(s.nextId, id + 1);
        // The host sees a legacy disk on its own SCSI target.
        if (disk.flags & ARK_DISK_LEGACY) disk.targetId = model::NextTargetId(s);
    }
    EachObject(f, "arrays",
               [&](const json& e, const std::string& at) { ReadArray(e, at, s, error); });
    ReadEvents(f, s, error);
    ReadConfig(f, s, error);
    ReadFaults(f, d.faults, error);
    f.Int("pcache_size", s.pcacheSize);
    f.Int("progress_per_tick", s.progressPerTick);
    f.Int("bbu_phase_ticks", s.bbuPhaseTicks);
    if (f.Ok() && s.progressPerTick == 0) f.Fail("progress_per_tick", "must be above 0");
    if (f.Ok() && s.bbuPhaseTicks < 1) f.Fail("bbu_phase_ticks", "must be above 0");
    ReadPorts(f, d, error);
    f.Finish();
    if (error.empty()) model::RefreshHealth(s);
}

}  // namespace

bool ParseScenario(const std::string& text, Scenario& out, std::string& error) {
    error.clear();
    json root;
    if (!ParseJson(text, root, error)) return false;
    if (!ExpectObject(root, "scenario", error)) return false;
    Scenario scenario;
    JsonFields f(root, "scenario", error);
    f.Raw("comment");
    EachObject(f, "domains", [&](const json& e, const std::string& at) {
        DomainConfig d;
        ReadDomain(e, at.substr(sizeof "scenario"), d, error);
        scenario.domains.push_back(std::move(d));
    });
    f.Finish();
    if (f.Ok() && scenario.domains.empty())
        f.Fail("domains", "a scenario needs at least one domain");
    if (!f.Ok()) return false;
    out = std::move(scenario);
    return true;
}

bool LoadScenarioFile(const std::string& path, Scenario& out, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": cannot be opened";
        return false;
    }
    std::stringstream text;
    text << file.rdbuf();
    if (!ParseScenario(text.str(), out, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

std::unique_ptr<Machine> BuildMachine(const Scenario& scenario) {
    auto machine = std::make_unique<Machine>();
    size_t portNumber = 0;
    for (size_t i = 0; i < scenario.domains.size(); ++i) {
        const DomainConfig& d = scenario.domains[i];
        auto emulator = std::make_unique<Emulator>(d.state);
        for (const Fault& fault : d.faults) emulator->InjectFault(fault);
        for (PortConfig port : d.ports) {
            if (port.path.empty()) port.path = "/dev/sg" + std::to_string(portNumber);
            ++portNumber;
            machine->ports.push_back({port, emulator.get(), i});
        }
        machine->emulators.push_back(std::move(emulator));
    }
    return machine;
}

}  // namespace emu
