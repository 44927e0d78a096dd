#pragma once

// The emulated machine's state kept in a file between runs of a program that runs one command
// per process (arkutil-emu). The scenario still decides the machine's shape (domains, ports,
// faults); the file carries what requests and time changed.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "scenario.h"

namespace emu {

// The environment variable naming the state file; unset or empty keeps no state.
constexpr const char* kStateVariable = "ARK_EMULATOR_STATE";
// Time passes between runs: on load each emulator ticks once per second elapsed since the save,
// at most this many times.
constexpr int64_t kMaxCatchUpTicks = 3600;

// Every emulator's state and its disks' trusted-drive states, with the time of saving.
nlohmann::json MachineStateJson(const Machine& machine, int64_t savedAt);

// Puts a saved state back into a machine built from the same scenario. False with a message
// when the text does not fit the machine; the machine is unchanged then.
bool RestoreMachineState(Machine& machine, const nlohmann::json& saved, int64_t& savedAt,
                         std::string& error);

enum class StateLoad { Missing, Loaded, Invalid };

// Reads `path` into the machine and ticks each emulator for the seconds elapsed until `now`
// (capped). Missing when there is no file yet.
StateLoad LoadStateFile(const std::string& path, Machine& machine, int64_t now, std::string& error);

// Writes the machine's state to `path` through a temporary file renamed over it, so a reader
// sees the old file or the new one, never a part.
bool SaveStateFile(const std::string& path, const Machine& machine, int64_t now,
                   std::string& error);

}  // namespace emu
