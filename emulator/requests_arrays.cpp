// Array creation (also as the target of a transform), capacity, deletion, tasks and settings.

#include <algorithm>

#include "ark.h"
#include "model.h"
#include "placement.h"

namespace emu::model {
namespace {

// Controller events of their own for creation and deletion; the service shows them with the
// generic text.
constexpr uint8_t kEventArrayCreated = 26;
constexpr uint8_t kEventArrayDeleted = 27;

// The init_options values this firmware knows.
constexpr uint8_t kInitNone = 0;
constexpr uint8_t kInitForeground = 1;
constexpr uint8_t kInitBackground = 2;

int MinMembers(uint8_t level) {
    switch (level) {
        case ARK_RAID1:
            return 2;
        case ARK_RAID5:
            return 3;
        case ARK_RAID6:
            return 4;
        case ARK_RAID0:
        case ARK_JBOD:
            return 1;
        default:
            return 0;  // unknown
    }
}

bool DriverHasLevel(const State& s, uint8_t level) {
    for (uint8_t l : s.driver.raidLevels) {
        if (l == 0) break;
        if (l == level) return true;
    }
    return false;
}

bool PolicyAllowed(const State& s, uint8_t level, uint8_t policy) {
    if (policy > ARK_CACHE_FORCE_WRITE_BACK) return false;
    for (size_t i = 0; i < s.driver.raidLevels.size() && s.driver.raidLevels[i]; ++i) {
        if (s.driver.raidLevels[i] != level) continue;
        const uint8_t mask = i < s.driver.cachePolicies.size() ? s.driver.cachePolicies[i] : 0;
        return (mask & (1u << policy)) != 0;
    }
    return true;
}

// A creation request, checked and sized.
struct Plan {
    uint8_t level = 0;     // the array's own level
    uint8_t subLevel = 0;  // non-zero for a stripe over sub-arrays of that level
    size_t groups = 1;
    std::vector<uint32_t> members;
    std::vector<uint64_t> perMember;  // sectors each member disk gives
    uint64_t capacity = 0;
    const Array* source = nullptr;
};

// Disks may hold runs of several arrays, up to the eight parents a record lists.
bool Usable(const Disk& d, const Array* source) {
    if (d.flags & (ARK_DISK_DISABLED | ARK_DISK_LOCKED | ARK_DISK_UNINITIALIZED | ARK_DISK_LEGACY |
                   ARK_DISK_SPARE | ARK_DISK_ERASING))
        return false;
    const std::vector<uint32_t> parents = Parents(d);
    const bool holdsSource =
        source && std::find(parents.begin(), parents.end(), source->id) != parents.end();
    return holdsSource || parents.size() < ARK_MAX_PARENTS;
}

int MakePlan(State& s, const ARK_ARRAY_PARAMS& p, Plan& plan) {
    const size_t n = std::min<size_t>(p.ndisks, ARK_MAX_MEMBERS);
    if (n == 0 || !DriverHasLevel(s, p.raidlevel) || MinMembers(p.raidlevel) == 0) return kFail;
    if (p.bs_shift && (p.bs_shift < s.driver.bsShiftMin || p.bs_shift > s.driver.bsShiftMax))
        return kFail;
    if (p.ss_shift > 3 || !PolicyAllowed(s, p.raidlevel, p.cache_policy)) return kFail;
    if (p.source_id) {
        const Array* src = FindArray(s, p.source_id);
        if (!src || !src->listed || !IsEmptySlot(src->parent) || src->subRaidlevel ||
            (src->flags & (ARK_ARRAY_BUSY_MASK | ARK_ARRAY_NEED_TRANSFORM | ARK_ARRAY_DISABLED |
                           ARK_ARRAY_CRITICAL)))
            return kFail;
        plan.source = src;
    }
    plan.level = p.raidlevel;
    if (p.subdisks && p.subdisks < n) {
        if (plan.source || n % p.subdisks || p.raidlevel == ARK_JBOD || p.raidlevel == ARK_RAID0 ||
            p.subdisks < MinMembers(p.raidlevel))
            return kFail;
        plan.subLevel = p.raidlevel;
        plan.level = ARK_RAID0;
        plan.groups = n / p.subdisks;
    } else if (int(n) < MinMembers(p.raidlevel)) {
        return kFail;
    }
    for (size_t i = 0; i < n; ++i) {
        const uint32_t id = p.members[i];
        const Disk* d = PresentDisk(s, id);
        if (!d || !Usable(*d, plan.source)) return kFail;
        if (std::count(plan.members.begin(), plan.members.end(), id)) return kFail;
        plan.members.push_back(id);
        plan.perMember.push_back(Offer(*d, plan.source));
    }
    RunRequest want;
    want.level = plan.subLevel ? plan.subLevel : plan.level;
    want.slots = n;
    want.groups = plan.groups;
    want.capacity = p.capacity;
    plan.capacity = SizeRuns(want, plan.perMember);
    if (plan.capacity == 0) return kFail;
    if (plan.source && plan.capacity < plan.source->capacity) return kFail;
    return kOk;
}

ARK_ARRAY_PARAMS Params(const Request& r) {
    ARK_ARRAY_PARAMS p;
    std::memcpy(&p, r.in, sizeof p);
    return p;
}

Array NewArray(State& s, const ARK_ARRAY_PARAMS& p, uint8_t level) {
    Array a;
    a.id = NewId(s);
    a.name.assign(p.aname, strnlen(p.aname, sizeof p.aname));
    a.raidlevel = level;
    a.bsShift = p.bs_shift ? p.bs_shift : 7;
    a.ssShift = p.ss_shift;
    a.cachePolicy = p.cache_policy;
    a.signature = Signature(a.id);
    return a;
}

// Takes each member's run; on a source member the new run starts where the source's does.
void TakeSpace(State& s, Array& a, const std::vector<uint32_t>& members,
               const std::vector<uint64_t>& per, const Array* source) {
    TakeRuns(s, a.id, members, per, source);
    a.perDisk = per.empty() ? 0 : per.front();
}

int Create(State& s, Request& r) {
    const ARK_ARRAY_PARAMS p = Params(r);
    Plan plan;
    if (MakePlan(s, p, plan) != kOk) return kFail;
    Array top = NewArray(s, p, plan.level);
    top.capacity = plan.capacity;
    if (plan.subLevel) {
        top.subRaidlevel = plan.subLevel;
        const size_t perGroup = plan.members.size() / plan.groups;
        for (size_t g = 0; g < plan.groups; ++g) {
            Array sub = NewArray(s, p, plan.subLevel);
            sub.parent = top.id;
            sub.capacity = plan.capacity / plan.groups;
            std::vector<uint32_t> part(plan.members.begin() + g * perGroup,
                                       plan.members.begin() + (g + 1) * perGroup);
            std::vector<uint64_t> sizes(perGroup, plan.perMember.front());
            TakeSpace(s, sub, part, sizes, nullptr);
            sub.members = part;
            top.members.push_back(sub.id);
            s.arrays[sub.id] = sub;
        }
    } else {
        TakeSpace(s, top, plan.members, plan.perMember, plan.source);
        top.members = plan.members;
    }
    if (plan.source) {
        Array& src = s.arrays[plan.source->id];
        src.flags |= ARK_ARRAY_NEED_TRANSFORM;
        src.transformSrc = src.id;
        src.transformTgt = top.id;
        top.listed = false;
        top.transformSrc = src.id;
        top.transformTgt = top.id;
    } else {
        top.targetId = NextTargetId(s);
        if (p.init_options == kInitForeground) {
            top.flags |= ARK_ARRAY_UNINITIALIZED | ARK_ARRAY_FG_INIT;
        } else if (p.init_options == kInitBackground) {
            top.flags |= ARK_ARRAY_UNINITIALIZED | ARK_ARRAY_REBUILDING;
        } else if (p.init_options != kInitNone) {
            top.flags |= ARK_ARRAY_UNINITIALIZED;
        }
    }
    const uint32_t id = top.id;
    s.arrays[id] = std::move(top);
    QueueEvent(s, kEventArrayCreated, id);
    if (s.arrays[id].flags & (ARK_ARRAY_FG_INIT | ARK_ARRAY_REBUILDING)) QueueEvent(s, 13, id);
    WriteU32(r.out, id);
    r.returned = 4;
    return kOk;
}

int Capacity(State& s, Request& r) {
    Plan plan;
    if (MakePlan(s, Params(r), plan) != kOk) return kFail;
    std::memcpy(r.out, &plan.capacity, 8);
    r.returned = 8;
    return kOk;
}

Array* TopLevel(State& s, uint32_t id) {
    Array* a = FindArray(s, id);
    return a && a->listed && IsEmptySlot(a->parent) ? a : nullptr;
}

// 0: may be deleted; 1: a task is running; 2: part of another array or of a transform.
int CheckDelete(State& s, Request& r) {
    const Array* a = FindArray(s, ReadU32(r.in));
    if (!a) return kFail;
    uint8_t answer = 0;
    if (!a->listed || !IsEmptySlot(a->parent))
        answer = 2;
    else if ((a->flags & (ARK_ARRAY_BUSY_MASK & ~ARK_ARRAY_REBUILDING)) ||
             ((a->flags & ARK_ARRAY_REBUILDING) && !(a->flags & ARK_ARRAY_UNINITIALIZED)))
        answer = 1;
    r.out[0] = answer;
    r.returned = 1;
    return kOk;
}

int Delete(State& s, Request& r) {
    const uint32_t id = ReadU32(r.in);
    Array* a = TopLevel(s, id);
    if (!a || (a->flags & (ARK_ARRAY_TRANSFORMING | ARK_ARRAY_VERIFYING))) return kFail;
    if ((a->flags & ARK_ARRAY_REBUILDING) && !(a->flags & ARK_ARRAY_UNINITIALIZED)) return kFail;
    const uint32_t target = a->transformTgt;
    if (!IsEmptySlot(target) && target != id) RemoveArray(s, target);
    RemoveArray(s, id);
    QueueEvent(s, kEventArrayDeleted, id);
    RefreshHealth(s);
    return kOk;
}

bool Redundant(const Array& a) {
    const uint8_t level = a.subRaidlevel ? a.subRaidlevel : a.raidlevel;
    return level == ARK_RAID1 || level == ARK_RAID5 || level == ARK_RAID6;
}

int TaskControl(State& s, Request& r) {
    Array* a = FindArray(s, ReadU32(r.in));
    const uint32_t task = ReadU32(r.in + 4);
    if (!a || !a->listed) return kFail;
    uint32_t& f = a->flags;
    const bool uninit = f & ARK_ARRAY_UNINITIALIZED;
    switch (task) {
        case ARK_TASK_START_REBUILD:
            if (f & (ARK_ARRAY_BUSY_MASK | ARK_ARRAY_DISABLED)) return kFail;
            if (!uninit && !(f & ARK_ARRAY_NEED_REBUILD)) return kFail;
            f |= ARK_ARRAY_REBUILDING;
            f &= ~ARK_ARRAY_NEED_REBUILD;
            a->rebuiltPercent = 0;
            a->rebuiltSectors = 0;
            QueueEvent(s, uninit ? 13 : 4, a->id);
            return kOk;
        case ARK_TASK_STOP_REBUILD:
            if (!(f & ARK_ARRAY_REBUILDING)) return kFail;
            f &= ~ARK_ARRAY_REBUILDING;
            QueueEvent(s, uninit ? 14 : 5, a->id);
            RefreshHealth(s);
            return kOk;
        case ARK_TASK_START_VERIFY:
            if (!Redundant(*a) || uninit ||
                (f & (ARK_ARRAY_BUSY_MASK | ARK_ARRAY_DISABLED | ARK_ARRAY_CRITICAL |
                      ARK_ARRAY_NEED_REBUILD)))
                return kFail;
            f |= ARK_ARRAY_VERIFYING;
            a->rebuiltPercent = 0;
            a->rebuiltSectors = 0;
            QueueEvent(s, 9, a->id);
            return kOk;
        case ARK_TASK_STOP_VERIFY:
            if (!(f & ARK_ARRAY_VERIFYING)) return kFail;
            f &= ~ARK_ARRAY_VERIFYING;
            QueueEvent(s, 10, a->id);
            return kOk;
        case ARK_TASK_STOP_FG_INIT:
            if (!(f & ARK_ARRAY_FG_INIT)) return kFail;
            f &= ~ARK_ARRAY_FG_INIT;
            QueueEvent(s, 14, a->id);
            return kOk;
        case ARK_TASK_START_TRANSFORM:
            if (!(f & ARK_ARRAY_NEED_TRANSFORM) || !FindArray(s, a->transformTgt) ||
                (f & ARK_ARRAY_BUSY_MASK))
                return kFail;
            f = (f & ~ARK_ARRAY_NEED_TRANSFORM) | ARK_ARRAY_TRANSFORMING;
            a->transformPercent = 0;
            QueueEvent(s, 18, a->id);
            return kOk;
        case ARK_TASK_STOP_TRANSFORM:
            if (!(f & ARK_ARRAY_TRANSFORMING)) return kFail;
            f = (f & ~ARK_ARRAY_TRANSFORMING) | ARK_ARRAY_NEED_TRANSFORM;
            QueueEvent(s, 19, a->id);
            return kOk;
        default:
            return kFail;
    }
}

int Rename(State& s, Request& r) {
    Array* a = FindArray(s, ReadU32(r.in));
    if (!a) return kFail;
    const char* name = reinterpret_cast<const char*>(r.in + 4);
    a->name.assign(name, strnlen(name, 15));
    return kOk;
}

int CachePolicy(State& s, Request& r) {
    Array* a = FindArray(s, ReadU32(r.in));
    const uint8_t policy = r.in[4];
    if (!a || !PolicyAllowed(s, a->subRaidlevel ? a->subRaidlevel : a->raidlevel, policy))
        return kFail;
    a->cachePolicy = policy;
    return kOk;
}

// The first slot of a critical array whose disk is gone, descending into sub-arrays.
Array* CriticalWithSlot(State& s, Array* a, size_t& slot) {
    if (!a || !(a->flags & ARK_ARRAY_CRITICAL) || (a->flags & ARK_ARRAY_REBUILDING)) return nullptr;
    for (size_t i = 0; i < a->members.size(); ++i) {
        const uint32_t id = a->members[i];
        if (a->subRaidlevel) {
            if (Array* found = CriticalWithSlot(s, FindArray(s, id), slot)) return found;
            continue;
        }
        const Disk* d = IsEmptySlot(id) ? nullptr : PresentDisk(s, id);
        if (!d || (d->flags & ARK_DISK_DISABLED)) {
            slot = i;
            return a;
        }
    }
    return nullptr;
}

int AddDisk(State& s, Request& r) {
    size_t slot = 0;
    Array* a = CriticalWithSlot(s, TopLevel(s, ReadU32(r.in)), slot);
    if (!a) a = CriticalWithSlot(s, FindArray(s, ReadU32(r.in)), slot);
    Disk* d = PresentDisk(s, ReadU32(r.in + 4));
    if (!a || !d) return kFail;
    const bool spare = d->flags & ARK_DISK_SPARE;
    if (!DiskIsFree(*d) && !(spare && d->extents.empty())) return kFail;
    d->flags &= ~ARK_DISK_SPARE;
    if (!Usable(*d, nullptr) || !AllocateExtent(*d, a->id, a->perDisk)) {
        if (spare) d->flags |= ARK_DISK_SPARE;
        return kFail;
    }
    StartRebuild(s, *a, slot, d->id);
    return kOk;
}

}  // namespace

int ArrayRequest(State& s, uint32_t code, Request& r) {
    switch (code) {
        case ARK_REQ_GET_RAID_CAPACITY:
            return Capacity(s, r);
        case ARK_REQ_CREATE_ARRAY:
            return Create(s, r);
        case ARK_REQ_CHECK_DELETE:
            return CheckDelete(s, r);
        case ARK_REQ_DELETE_ARRAY:
            return Delete(s, r);
        case ARK_REQ_ARRAY_TASK_CTL:
            return TaskControl(s, r);
        case ARK_REQ_SET_ARRAY_NAME:
            return Rename(s, r);
        case ARK_REQ_SET_CACHE_POLICY:
            return CachePolicy(s, r);
        case ARK_REQ_ADD_DISK_TO_ARRAY:
            return AddDisk(s, r);
        default:
            return kFail;
    }
}

}  // namespace emu::model
