#pragma once

// Helpers for the emulator's own tests.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "emulator.h"
#include "scenario.h"

namespace emu::testing {

// The first domain of a scenario text, as an emulator; fails the test on a scenario error.
inline std::unique_ptr<Emulator> EmulatorFrom(const std::string& json) {
    Scenario scenario;
    std::string error;
    EXPECT_TRUE(ParseScenario(json, scenario, error)) << error;
    if (scenario.domains.empty()) return std::make_unique<Emulator>();
    auto e = std::make_unique<Emulator>(scenario.domains[0].state);
    for (const Fault& f : scenario.domains[0].faults) e->InjectFault(f);
    return e;
}

// One request with typed input and output records.
template <typename In, typename Out>
int Call(Emulator& e, uint32_t code, const In& in, Out& out, uint32_t* returned = nullptr) {
    return e.Handle(code, &in, sizeof in, &out, sizeof out, returned);
}
template <typename In>
int Send(Emulator& e, uint32_t code, const In& in) {
    return e.Handle(code, &in, sizeof in, nullptr, 0, nullptr);
}
template <typename Out>
int Get(Emulator& e, uint32_t code, Out& out, uint32_t* returned = nullptr) {
    return e.Handle(code, nullptr, 0, &out, sizeof out, returned);
}

}  // namespace emu::testing
