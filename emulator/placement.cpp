#include "placement.h"

#include <algorithm>

#include "ark.h"
#include "model.h"

namespace emu::model {

uint64_t Offer(const Disk& d, const Array* source) {
    uint64_t best = LargestFree(d);
    if (!source) return best;
    for (const Extent& e : d.extents) {
        if (e.array != source->id) continue;
        uint64_t end = e.start + e.sectors, limit = d.capacity;
        for (const Extent& other : d.extents) {
            if (other.array != source->id && other.start >= end)
                limit = std::min(limit, other.start);
        }
        best = std::max(best, limit - e.start);
    }
    return best;
}

uint64_t SizeRuns(const RunRequest& want, std::vector<uint64_t>& runs) {
    uint64_t capacity = 0;
    if (want.level == ARK_JBOD) {
        uint64_t left = want.capacity ? want.capacity : UINT64_MAX;
        for (uint64_t& part : runs) {
            part = want.perDisk ? want.perDisk : std::min(part, left);
            left -= std::min(part, left);
            capacity += part;
        }
        return capacity;
    }
    if (runs.empty() || want.groups == 0) return 0;
    uint64_t per = want.perDisk ? want.perDisk : *std::min_element(runs.begin(), runs.end());
    const uint64_t dataDisks = LevelCapacity(want.level, want.slots / want.groups, 1) * want.groups;
    if (want.capacity && dataDisks && want.capacity < per * dataDisks) {
        per = (want.capacity + dataDisks - 1) / dataDisks;
    }
    std::fill(runs.begin(), runs.end(), per);
    return std::min<uint64_t>(per * dataDisks, want.capacity ? want.capacity : UINT64_MAX);
}

size_t TakeRuns(State& s, uint32_t array, const std::vector<uint32_t>& members,
                const std::vector<uint64_t>& runs, const Array* source) {
    size_t failed = members.size();
    for (size_t i = 0; i < members.size() && i < runs.size(); ++i) {
        Disk& d = s.disks[members[i]];
        bool placed = false;
        for (const Extent& e : d.extents) {
            if (source && e.array == source->id) {
                d.extents.push_back({array, e.start, runs[i]});
                placed = true;
                break;
            }
        }
        if (!placed) placed = AllocateExtent(d, array, runs[i]);
        if (!placed && failed == members.size()) failed = i;
    }
    return failed;
}

}  // namespace emu::model
