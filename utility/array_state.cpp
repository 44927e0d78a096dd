#include "array_state.h"

#include "ark.h"
#include "selection.h"
#include "values.h"

namespace {

// The array's flags through `out`; false when the record cannot be read.
bool arrayFlags(uint32_t id, uint32_t& out, ARK_VD_INFO* record = nullptr) {
    ARK_VD_INFO info;
    if (!readDeviceInfo(id, info)) return false;
    out = info.array.flags;
    if (record != nullptr) *record = info;
    return true;
}

}  // namespace

const char* arrayStatusText(uint32_t flags) {
    return arkArrayStateText(flags);
}

bool arrayIsCritical(uint32_t id) {
    uint32_t f = 0;
    return arrayFlags(id, f) && (f & ARK_ARRAY_CRITICAL);
}

bool arrayCanRebuild(uint32_t id) {
    uint32_t f = 0;
    return arrayFlags(id, f) && (f & ARK_ARRAY_NEED_REBUILD) &&
           !(f & (ARK_ARRAY_DISABLED | ARK_ARRAY_TRANSFORMING | ARK_ARRAY_FG_INIT |
                  ARK_ARRAY_CRITICAL));
}

bool arrayIsRebuilding(uint32_t id) {
    uint32_t f = 0;
    return arrayFlags(id, f) && (f & ARK_ARRAY_REBUILDING) &&
           !(f & (ARK_ARRAY_FG_INIT | ARK_ARRAY_UNINITIALIZED));
}

bool arrayIsVerifying(uint32_t id) {
    uint32_t f = 0;
    return arrayFlags(id, f) && (f & ARK_ARRAY_VERIFYING);
}

bool arrayTransformPending(uint32_t id) {
    uint32_t f = 0;
    ARK_VD_INFO info;
    if (!arrayFlags(id, f, &info)) return false;
    const uint32_t target = info.array.transform_tgt;
    return target != 0 && target != ARK_ID_NONE && target != id && (f & ARK_ARRAY_NEED_TRANSFORM);
}

bool arrayIsTransforming(uint32_t id) {
    uint32_t f = 0;
    return arrayFlags(id, f) && (f & ARK_ARRAY_TRANSFORMING);
}

bool arrayIsUninitialised(uint32_t id) {
    uint32_t f = 0;
    return arrayFlags(id, f) && (f & ARK_ARRAY_UNINITIALIZED);
}
