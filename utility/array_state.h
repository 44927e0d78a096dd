#pragma once

// What the utility reads from an array's state: the status text and the predicates the
// maintenance commands check before they send a task request.

#include <cstdint>

// "Disabled", "Transforming", ... "Normal": the first flag rule that holds.
const char* arrayStatusText(uint32_t flags);

// Each reads the array's record; a record that cannot be read answers false.
bool arrayIsCritical(uint32_t id);
bool arrayCanRebuild(uint32_t id);
bool arrayIsRebuilding(uint32_t id);
bool arrayIsVerifying(uint32_t id);
bool arrayTransformPending(uint32_t id);
bool arrayIsTransforming(uint32_t id);
bool arrayIsUninitialised(uint32_t id);
