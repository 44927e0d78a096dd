// What one tick of time does: running tasks move on, the battery's learn cycle advances, the
// scenario's script plays.

#include <algorithm>

#include "ark.h"
#include "ata_security.h"
#include "model.h"

namespace emu::model {
namespace {

constexpr uint32_t kDone = 10000;  // hundredths of a percent

void FinishTask(State& s, Array& a) {
    uint32_t& f = a.flags;
    if (f & ARK_ARRAY_VERIFYING) {
        f &= ~ARK_ARRAY_VERIFYING;
        QueueEvent(s, 12, a.id);
    } else if (f & ARK_ARRAY_UNINITIALIZED) {
        f &= ~(ARK_ARRAY_UNINITIALIZED | ARK_ARRAY_FG_INIT | ARK_ARRAY_REBUILDING);
        QueueEvent(s, 16, a.id);
    } else {
        f &= ~ARK_ARRAY_REBUILDING;
        a.outdatedMask = 0;
        QueueEvent(s, 6, a.id);
    }
    a.rebuiltPercent = 0;
    a.rebuiltSectors = 0;
}

// The target takes the source's place in the list and at its SCSI target.
void FinishTransform(State& s, uint32_t sourceId) {
    Array* src = FindArray(s, sourceId);
    Array* tgt = src ? FindArray(s, src->transformTgt) : nullptr;
    if (!tgt) return;
    const uint32_t targetId = tgt->id;
    const uint8_t scsiTarget = src->targetId;
    if (tgt->name.empty()) tgt->name = src->name;
    tgt->listed = true;
    tgt->transformSrc = kNoId;
    tgt->transformTgt = kNoId;
    RemoveArray(s, sourceId);
    s.arrays[targetId].targetId = scsiTarget;
    QueueEvent(s, 21, targetId);
}

void AdvanceTasks(State& s) {
    std::vector<uint32_t> transformed;
    for (auto& [id, a] : s.arrays) {
        if (!a.listed) continue;
        if (a.flags & (ARK_ARRAY_REBUILDING | ARK_ARRAY_FG_INIT | ARK_ARRAY_VERIFYING)) {
            a.rebuiltPercent = std::min(kDone, a.rebuiltPercent + s.progressPerTick);
            const uint64_t span = a.perDisk ? a.perDisk : a.capacity;
            a.rebuiltSectors = span * a.rebuiltPercent / kDone;
            if (a.rebuiltPercent >= kDone) FinishTask(s, a);
        } else if (a.flags & ARK_ARRAY_TRANSFORMING) {
            a.transformPercent = std::min(kDone, a.transformPercent + s.progressPerTick);
            if (a.transformPercent >= kDone) transformed.push_back(id);
        }
    }
    for (uint32_t id : transformed) FinishTransform(s, id);
}

// Discharge, then charge, each for bbuPhaseTicks ticks.
void AdvanceBattery(State& s) {
    for (Controller& c : s.controllers) {
        Battery& b = c.bbu;
        if (!b.installed || b.learnTicks <= 0) continue;
        if (--b.learnTicks > 0) continue;
        if (b.status & ARK_BBU_DISCHARGING) {
            b.status = (b.status & ~ARK_BBU_DISCHARGING) | ARK_BBU_CHARGING;
            b.learnTicks = s.bbuPhaseTicks;
        } else {
            b.status &= ~ARK_BBU_CHARGING;
        }
    }
}

void PlayScript(State& s) {
    for (const ScriptStep& step : s.script) {
        if (step.tick != s.ticks) continue;
        switch (step.action) {
            case ScriptStep::Action::Event:
                QueueEvent(s, step.code, step.id);
                break;
            case ScriptStep::Action::FailDisk:
                if (Disk* d = PresentDisk(s, step.id)) {
                    d->flags |= ARK_DISK_DISABLED;
                    QueueEvent(s, 3, step.id);
                    DiskLost(s, step.id);
                }
                break;
            case ScriptStep::Action::PowerCycle:
                if (Disk* d = PresentDisk(s, step.id)) PowerCycle(*d);
                break;
            case ScriptStep::Action::RemoveDisk:
                if (Disk* d = PresentDisk(s, step.id)) {
                    d->present = false;
                    QueueEvent(s, 1, step.id);
                    DiskLost(s, step.id);
                }
                break;
        }
    }
}

}  // namespace

void Advance(State& s) {
    ++s.ticks;
    AdvanceTasks(s);
    for (auto& [id, d] : s.disks) AdvanceSanitize(d, s.progressPerTick);
    AdvanceBattery(s);
    PlayScript(s);
    RefreshHealth(s);
}

}  // namespace emu::model
