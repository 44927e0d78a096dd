#pragma once

// Where an array's runs go on its member disks: what each disk offers, how big each run is,
// and taking the space. Array creation and the scenario loader both place arrays this way.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "state.h"

namespace emu::model {

// Sectors a disk can give an array: its largest gap, and for a member of the transform source
// the source's run on it together with the gap right after.
uint64_t Offer(const Disk& d, const Array* source = nullptr);

// What an array asks of its members.
struct RunRequest {
    uint8_t level = 0;      // the level of the data: a stripe's sub-array level
    size_t slots = 0;       // member slots, empty ones included
    size_t groups = 1;      // sub-arrays of a stripe; 1 otherwise
    uint64_t perDisk = 0;   // the same fixed run on every member; 0: sized from the offers
    uint64_t capacity = 0;  // the most the array holds; 0: all the members offer
};

// Turns what each present member offers (`runs` in) into the run it gives (`runs` out) and
// returns the array's capacity. A JBOD takes each disk's offer in turn up to the capacity;
// striped levels take the same run on every member, the smallest offer or less.
uint64_t SizeRuns(const RunRequest& want, std::vector<uint64_t>& runs);

// Takes each member's run of `array`: on a member of the transform source where the source's
// run starts, elsewhere in the first gap that holds it. Every member is tried; returns the
// index of the first that had no room, or `members.size()` when all had.
size_t TakeRuns(State& s, uint32_t array, const std::vector<uint32_t>& members,
                const std::vector<uint64_t>& runs, const Array* source = nullptr);

}  // namespace emu::model
