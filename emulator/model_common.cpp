#include <algorithm>

#include "ark.h"
#include "model.h"

namespace emu {

const std::map<std::string, uint32_t>& DefaultConfig() {
    static const std::map<std::string, uint32_t> keys = {
        {"HBAMode", 0},       {"RebuildPriority", 50},
        {"AutoRebuild", 1},   {"IgnoreRebuildErrors", 0},
        {"DiskIdleTimer", 0}, {"SpinupCount", 2},
        {"SpinupDelay", 3},   {"BBUTempThreshold", 60},
    };
    return keys;
}

namespace model {

uint32_t ReadU32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void WriteU32(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

void CopyText(char* field, size_t size, const std::string& text) {
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(size, text.size()));
}

uint32_t Signature(uint32_t id) {
    const uint32_t sig = (id * 0x9E3779B1u) ^ 0x5A17C0DEu;
    return sig ? sig : 1;
}

void QueueEvent(State& s, uint8_t code, uint32_t devid) {
    s.events.push_back({code, devid});
}

uint32_t NewId(State& s) {
    for (;;) {
        const uint32_t id = s.nextId++;
        if (id == 0 || id == kNoId) continue;
        if (s.disks.count(id) || s.arrays.count(id)) continue;
        return id;
    }
}

Disk* PresentDisk(State& s, uint32_t id) {
    auto it = s.disks.find(id);
    return it != s.disks.end() && it->second.present ? &it->second : nullptr;
}

Array* FindArray(State& s, uint32_t id) {
    auto it = s.arrays.find(id);
    return it != s.arrays.end() ? &it->second : nullptr;
}

bool IsEmptySlot(uint32_t id) {
    return id == 0 || id == kNoId;
}

bool DiskIsFree(const Disk& d) {
    return d.extents.empty() && !(d.flags & ARK_DISK_SPARE);
}

std::vector<uint32_t> Parents(const Disk& d) {
    std::vector<uint32_t> out;
    for (const Extent& e : d.extents) {
        if (std::find(out.begin(), out.end(), e.array) == out.end()) out.push_back(e.array);
    }
    return out;
}

namespace {

// The used runs of a disk, merged, in order of start.
std::vector<std::pair<uint64_t, uint64_t>> UsedRuns(const Disk& d) {
    std::vector<std::pair<uint64_t, uint64_t>> runs;
    for (const Extent& e : d.extents) runs.emplace_back(e.start, e.start + e.sectors);
    std::sort(runs.begin(), runs.end());
    std::vector<std::pair<uint64_t, uint64_t>> merged;
    for (const auto& r : runs) {
        if (!merged.empty() && r.first <= merged.back().second) {
            merged.back().second = std::max(merged.back().second, r.second);
        } else {
            merged.push_back(r);
        }
    }
    return merged;
}

// Gaps between the used runs as (start, length).
std::vector<std::pair<uint64_t, uint64_t>> Gaps(const Disk& d) {
    std::vector<std::pair<uint64_t, uint64_t>> gaps;
    uint64_t at = 0;
    for (const auto& [begin, end] : UsedRuns(d)) {
        if (begin > at) gaps.emplace_back(at, begin - at);
        at = std::max(at, end);
    }
    if (d.capacity > at) gaps.emplace_back(at, d.capacity - at);
    return gaps;
}

}  // namespace

uint64_t FreeSectors(const Disk& d) {
    uint64_t total = 0;
    for (const auto& g : Gaps(d)) total += g.second;
    return total;
}

uint64_t LargestFree(const Disk& d) {
    uint64_t best = 0;
    for (const auto& g : Gaps(d)) best = std::max(best, g.second);
    return best;
}

bool AllocateExtent(Disk& d, uint32_t array, uint64_t sectors) {
    if (sectors == 0 || Parents(d).size() >= ARK_MAX_PARENTS) return false;
    for (const auto& [start, length] : Gaps(d)) {
        if (length >= sectors) {
            d.extents.push_back({array, start, sectors});
            return true;
        }
    }
    return false;
}

void ReleaseExtents(Disk& d, uint32_t array) {
    std::erase_if(d.extents, [array](const Extent& e) { return e.array == array; });
}

int Redundancy(uint8_t raidlevel) {
    switch (raidlevel) {
        case ARK_RAID1:
        case ARK_RAID5:
            return 1;
        case ARK_RAID6:
            return 2;
        default:
            return 0;
    }
}

uint64_t LevelCapacity(uint8_t raidlevel, size_t members, uint64_t perDisk) {
    switch (raidlevel) {
        case ARK_RAID0:
        case ARK_JBOD:
            return members * perDisk;
        case ARK_RAID1:
            return members >= 1 ? perDisk : 0;
        case ARK_RAID5:
            return members >= 2 ? (members - 1) * perDisk : 0;
        case ARK_RAID6:
            return members >= 3 ? (members - 2) * perDisk : 0;
        default:
            return 0;
    }
}

namespace {

void UpdateHealth(State& s, Array& a) {
    size_t failed = 0, outdated = 0, degradedSubs = 0;
    for (size_t slot = 0; slot < a.members.size(); ++slot) {
        const uint32_t id = a.members[slot];
        if (a.subRaidlevel) {
            const Array* sub = FindArray(s, id);
            if (!sub || (sub->flags & ARK_ARRAY_DISABLED))
                ++failed;
            else if (sub->flags & (ARK_ARRAY_CRITICAL | ARK_ARRAY_NEED_REBUILD))
                ++degradedSubs;
            continue;
        }
        const Disk* d = IsEmptySlot(id) ? nullptr : PresentDisk(s, id);
        if (!d || (d->flags & ARK_DISK_DISABLED))
            ++failed;
        else if (a.outdatedMask & (1ull << slot))
            ++outdated;
    }
    size_t tolerance = 0;
    if (a.raidlevel == ARK_RAID1 && !a.members.empty()) tolerance = a.members.size() - 1;
    if (!a.subRaidlevel && a.raidlevel != ARK_RAID1) tolerance = size_t(Redundancy(a.raidlevel));
    a.flags &= ~(ARK_ARRAY_DISABLED | ARK_ARRAY_CRITICAL | ARK_ARRAY_NEED_REBUILD);
    if (failed > tolerance) {
        a.flags |= ARK_ARRAY_DISABLED;
    } else if (failed > 0 || degradedSubs > 0) {
        a.flags |= ARK_ARRAY_CRITICAL;
    }
    if (outdated > 0 && !(a.flags & ARK_ARRAY_REBUILDING)) a.flags |= ARK_ARRAY_NEED_REBUILD;
}

}  // namespace

void RefreshHealth(State& s) {
    for (auto& [id, a] : s.arrays) {
        if (!a.subRaidlevel) UpdateHealth(s, a);
    }
    for (auto& [id, a] : s.arrays) {
        if (a.subRaidlevel) UpdateHealth(s, a);
    }
}

void StartRebuild(State& s, Array& a, size_t slot, uint32_t diskId) {
    const uint32_t old = a.members[slot];
    if (auto gone = s.disks.find(old); gone != s.disks.end()) ReleaseExtents(gone->second, a.id);
    a.members[slot] = diskId;
    a.outdatedMask |= 1ull << slot;
    a.flags |= ARK_ARRAY_REBUILDING;
    a.rebuiltSectors = 0;
    a.rebuiltPercent = 0;
    QueueEvent(s, 4, a.id);
    RefreshHealth(s);
}

void DiskLost(State& s, uint32_t diskId) {
    RefreshHealth(s);
    const auto autoRebuild = s.config.find("AutoRebuild");
    if (autoRebuild == s.config.end() || autoRebuild->second == 0) return;
    for (auto& [id, a] : s.arrays) {
        if (a.subRaidlevel || !(a.flags & ARK_ARRAY_CRITICAL) || (a.flags & ARK_ARRAY_REBUILDING))
            continue;
        const auto slot = std::find(a.members.begin(), a.members.end(), diskId);
        if (slot == a.members.end()) continue;
        for (auto& [spareId, spare] : s.disks) {
            if (!spare.present || !(spare.flags & ARK_DISK_SPARE) ||
                (spare.flags & ARK_DISK_DISABLED))
                continue;
            if (!AllocateExtent(spare, a.id, a.perDisk)) continue;
            spare.flags &= ~ARK_DISK_SPARE;
            QueueEvent(s, 7, spareId);
            StartRebuild(s, a, size_t(slot - a.members.begin()), spareId);
            break;
        }
    }
}

void RemoveArray(State& s, uint32_t id) {
    auto it = s.arrays.find(id);
    if (it == s.arrays.end()) return;
    const Array a = it->second;
    s.arrays.erase(it);
    if (a.subRaidlevel) {
        for (uint32_t member : a.members) RemoveArray(s, member);
    }
    for (auto& [diskId, d] : s.disks) ReleaseExtents(d, id);
    for (auto& [otherId, other] : s.arrays) {
        if (other.transformTgt == id) {
            other.transformTgt = kNoId;
            other.flags &= ~(ARK_ARRAY_TRANSFORMING | ARK_ARRAY_NEED_TRANSFORM);
        }
        if (other.transformSrc == id) other.transformSrc = kNoId;
    }
}

}  // namespace model
}  // namespace emu
