// Device lists and records, disk settings, spares, unload and rescan, the SMART sweep.

#include <algorithm>

#include "ark.h"
#include "disk_pages.h"
#include "model.h"

namespace emu::model {
namespace {

constexpr uint8_t kDiskType = 2;  // any type but 1 reads as a disk

int IdList(Request& r, const std::vector<uint32_t>& ids) {
    const size_t n = std::min<size_t>(ids.size(), r.outLen / 4);
    for (size_t i = 0; i < n; ++i) WriteU32(r.out + 4 * i, ids[i]);
    r.returned = uint32_t(4 * n);
    return kOk;
}

// Top-level arrays, then the disks the host sees on their own.
std::vector<uint32_t> LogicalDevices(const State& s) {
    std::vector<uint32_t> ids;
    for (const auto& [id, a] : s.arrays) {
        if (a.listed && IsEmptySlot(a.parent)) ids.push_back(id);
    }
    for (const auto& [id, d] : s.disks) {
        if (d.present && (d.flags & ARK_DISK_LEGACY)) ids.push_back(id);
    }
    return ids;
}

std::vector<uint32_t> PhysicalDisks(const State& s) {
    std::vector<uint32_t> ids;
    for (const auto& [id, d] : s.disks) {
        if (d.present) ids.push_back(id);
    }
    return ids;
}

void FillArray(ARK_VD_INFO& vd, const Array& a) {
    vd.type = ARK_VD_TYPE_ARRAY;
    vd.cache_policy = a.cachePolicy;
    vd.vcore_id = a.vcoreId;
    vd.target_id = a.targetId;
    vd.parent = IsEmptySlot(a.parent) ? 0 : a.parent;
    vd.capacity = a.capacity;
    ARK_ARRAY_INFO& info = vd.array;
    CopyText(info.aname, sizeof info.aname, a.name);
    info.raidlevel = a.raidlevel;
    info.sub_raidlevel = a.subRaidlevel;
    info.bs_shift = a.bsShift;
    info.ss_shift = a.ssShift;
    info.ndisks = uint8_t(a.members.size());
    info.flags = a.flags;
    info.signature = a.signature;
    info.outdated_mmask = a.outdatedMask;
    info.rebuilt_sectors = a.rebuiltSectors;
    info.rebuilt_percent = a.rebuiltPercent;
    info.transform_percent = a.transformPercent;
    info.transform_src = a.transformSrc;
    info.transform_tgt = a.transformTgt;
    for (size_t i = 0; i < ARK_MAX_MEMBERS; ++i) {
        info.members[i] = i < a.members.size() ? a.members[i] : kNoId;
    }
}

void FillDisk(ARK_VD_INFO& vd, const Disk& d) {
    const std::vector<uint32_t> parents = Parents(d);
    vd.type = kDiskType;
    vd.vcore_id = d.vcoreId;
    vd.target_id = d.targetId;
    vd.parent = parents.empty() ? 0 : parents.front();
    vd.capacity = d.capacity;
    ARK_DISK_INFO& info = vd.disk;
    CopyText(info.model, sizeof info.model, d.model);
    CopyText(info.serial, sizeof info.serial, d.serial);
    CopyText(info.fwrev, sizeof info.fwrev, d.fwrev);
    info.controller = d.controller;
    info.port = d.port;
    info.target = d.target;
    info.pd_type = d.pdType;
    info.ss_shift = d.ssShift;
    info.spinup_mode = d.spinupMode;
    info.linkrate_max = d.linkrate[0];
    info.linkrate_avail = d.linkrate[1];
    info.linkrate_actual = d.linkrate[2];
    info.linkrate_set = d.linkrate[3];
    info.flags = d.flags;
    info.total_free = FreeSectors(d);
    info.max_free = LargestFree(d);
    for (size_t i = 0; i < ARK_MAX_PARENTS; ++i) {
        info.parents[i] = i < parents.size() ? parents[i] : kNoId;
    }
}

int DeviceInfo(State& s, Request& r) {
    const uint32_t id = ReadU32(r.in);
    ARK_VD_INFO vd{};
    if (const Array* a = FindArray(s, id)) {
        FillArray(vd, *a);
    } else if (const Disk* d = PresentDisk(s, id)) {
        FillDisk(vd, *d);
    } else {
        return kFail;
    }
    std::memcpy(r.out, &vd, sizeof vd);
    r.returned = sizeof vd;
    return kOk;
}

// A read-ahead, write-cache or queueing switch: only where the disk supports it (SMART needs
// no supported bit).
int DiskSwitch(State& s, Request& r, uint32_t supported, uint32_t on) {
    Disk* d = PresentDisk(s, ReadU32(r.in));
    if (!d || (supported && !(d->flags & supported))) return kFail;
    if (r.in[4])
        d->flags |= on;
    else
        d->flags &= ~on;
    return kOk;
}

int DiskSetting(State& s, uint32_t code, Request& r) {
    switch (code) {
        case ARK_REQ_SET_DISK_RA:
            return DiskSwitch(s, r, ARK_DISK_RA_SUPPORTED, ARK_DISK_RA_ON);
        case ARK_REQ_SET_DISK_WC:
            return DiskSwitch(s, r, ARK_DISK_WC_SUPPORTED, ARK_DISK_WC_ON);
        case ARK_REQ_SET_DISK_QD:
            return DiskSwitch(s, r, ARK_DISK_QD_SUPPORTED, ARK_DISK_QD_ON);
        case ARK_REQ_SET_DISK_SMART:
            return DiskSwitch(s, r, 0, ARK_DISK_SMART_ON);
        default: {  // ARK_REQ_IDENTIFY_DISK
            Disk* d = PresentDisk(s, ReadU32(r.in));
            if (!d) return kFail;
            d->locate = r.in[4] != 0;
            return kOk;
        }
    }
}

bool Initialised(const Disk& d) {
    return !(d.flags & (ARK_DISK_UNINITIALIZED | ARK_DISK_LEGACY | ARK_DISK_DISABLED));
}

int InitDisk(State& s, Request& r) {
    Disk* d = PresentDisk(s, ReadU32(r.in));
    if (!d || !DiskIsFree(*d) || (d->flags & ARK_DISK_DISABLED)) return kFail;
    d->flags &= ~(ARK_DISK_UNINITIALIZED | ARK_DISK_LEGACY);
    d->targetId = 255;
    return kOk;
}

int Spare(State& s, Request& r, bool assign) {
    Disk* d = PresentDisk(s, ReadU32(r.in));
    if (!d) return kFail;
    if (assign) {
        if (!DiskIsFree(*d) || !Initialised(*d)) return kFail;
        d->flags |= ARK_DISK_SPARE;
    } else {
        if (!(d->flags & ARK_DISK_SPARE)) return kFail;
        d->flags &= ~ARK_DISK_SPARE;
    }
    return kOk;
}

uint8_t LowestFreeTarget(const State& s) {
    for (unsigned t = 0; t < 255; ++t) {
        bool used = false;
        for (const auto& [id, a] : s.arrays) used = used || a.targetId == t;
        for (const auto& [id, d] : s.disks) used = used || d.targetId == t;
        if (!used) return uint8_t(t);
    }
    return 255;
}

// 0: the device may be unloaded; 1: it is busy or in use.
int CheckUnload(State& s, Request& r) {
    const uint32_t id = ReadU32(r.in);
    uint8_t answer;
    if (const Array* a = FindArray(s, id)) {
        answer = (!IsEmptySlot(a->parent) || (a->flags & ARK_ARRAY_BUSY_MASK)) ? 1 : 0;
    } else if (const Disk* d = PresentDisk(s, id)) {
        answer = DiskIsFree(*d) ? 0 : 1;
    } else {
        return kFail;
    }
    r.out[0] = answer;
    r.returned = 1;
    return kOk;
}

// An array leaves the host's view; a free disk is taken off line until the next rescan.
int Unload(State& s, Request& r) {
    const uint32_t id = ReadU32(r.in);
    if (Array* a = FindArray(s, id)) {
        if (!IsEmptySlot(a->parent) || (a->flags & ARK_ARRAY_BUSY_MASK)) return kFail;
        a->targetId = 255;
        return kOk;
    }
    Disk* d = PresentDisk(s, id);
    if (!d || !DiskIsFree(*d)) return kFail;
    d->present = false;
    d->targetId = 255;
    QueueEvent(s, 1, id);
    return kOk;
}

int Rescan(State& s) {
    for (auto& [id, d] : s.disks) {
        if (d.present) continue;
        d.present = true;
        QueueEvent(s, 2, id);
        // A member that was away missed writes.
        for (auto& [arrayId, a] : s.arrays) {
            for (size_t slot = 0; slot < a.members.size() && !a.subRaidlevel; ++slot) {
                if (a.members[slot] == id) a.outdatedMask |= 1ull << slot;
            }
        }
    }
    for (auto& [id, a] : s.arrays) {
        if (a.listed && IsEmptySlot(a.parent) && a.targetId == 255)
            a.targetId = LowestFreeTarget(s);
    }
    RefreshHealth(s);
    return kOk;
}

int SmartSweep(State& s) {
    for (const auto& [id, d] : s.disks) {
        if (!d.present || !(d.flags & ARK_DISK_SMART_ON)) continue;
        QueueEvent(s, SmartThresholdExceeded(d) ? 22 : 23, id);
    }
    return kOk;
}

}  // namespace

uint8_t NextTargetId(const State& s) {
    return LowestFreeTarget(s);
}

int DeviceRequest(State& s, uint32_t code, Request& r) {
    switch (code) {
        case ARK_REQ_GET_LD_LIST:
            return IdList(r, LogicalDevices(s));
        case ARK_REQ_GET_PD_LIST:
            return IdList(r, PhysicalDisks(s));
        case ARK_REQ_GET_VD_INFO:
            return DeviceInfo(s, r);
        case ARK_REQ_INIT_DISK:
            return InitDisk(s, r);
        case ARK_REQ_SET_DISK_RA:
        case ARK_REQ_SET_DISK_WC:
        case ARK_REQ_SET_DISK_QD:
        case ARK_REQ_SET_DISK_SMART:
        case ARK_REQ_IDENTIFY_DISK:
            return DiskSetting(s, code, r);
        case ARK_REQ_ASSIGN_SPARE_DISK:
            return Spare(s, r, true);
        case ARK_REQ_UNASSIGN_SPARE_DISK:
            return Spare(s, r, false);
        case ARK_REQ_CHECK_UNLOAD:
            return CheckUnload(s, r);
        case ARK_REQ_UNLOAD_DEVICE:
            return Unload(s, r);
        case ARK_REQ_RESCAN_DEVICES:
            return Rescan(s);
        case ARK_REQ_SMART_CHECK_ALL:
            return SmartSweep(s);
        default:
            return kFail;
    }
}

}  // namespace emu::model
