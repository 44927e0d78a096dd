#include "device_name.h"

#include <algorithm>

#include "values.h"

namespace {

constexpr size_t kModelBytes = 40;
constexpr size_t kSerialBytes = 20;

std::string arrayName(int domain, uint32_t id, const ARK_ARRAY_INFO& array, uint32_t parent) {
    std::string name = arkFieldText(array.aname);
    if (arkIsEmptySlot(parent)) return name;
    ARK_VD_INFO up{};
    if (arkGetVDInfo(domain, parent, &up) != 0 || up.type != ARK_VD_TYPE_ARRAY) return name;
    // ndisks comes from the controller; the member list never holds more than its slots.
    const int members = arkArrayMemberCount(up.array);
    for (int i = 0; i < members; ++i) {
        if (up.array.members[i] == id) return name + " [" + std::to_string(i + 1) + "]";
    }
    return name;
}

}  // namespace

std::string deviceDisplayName(const ARK_DISK_INFO& disk) {
    // Appended piece by piece: "[" + temporary trips mingw's -O3 -Wrestrict false positive.
    std::string out = "[";
    out += arkDiskLocationName(disk);
    out += "] ";
    out += arkFieldText(disk.model, std::min(kModelBytes, sizeof disk.model));
    out += '_';
    out += arkFieldText(disk.serial, std::min(kSerialBytes, sizeof disk.serial));
    return out;
}

std::string deviceName(int domain, uint32_t id) {
    ARK_VD_INFO vd{};
    if (arkGetVDInfo(domain, id, &vd) != 0) return kUnknownDevice;
    if (vd.type == ARK_VD_TYPE_ARRAY) return arrayName(domain, id, vd.array, vd.parent);
    return deviceDisplayName(vd.disk);
}
