#include "inquiry_win.h"

#include <algorithm>
#include <cstring>

#include "frames_win.h"

namespace {

// A unit record never starts so late that a 16-byte record could not follow in the buffer
// the probe passes; offsets past it end the chain.
constexpr uint64_t kLastUnitOffset = arkwin::kInquiryBufferSize - 16;
constexpr size_t kInquiryBytesNeeded = arkwin::kInquiryVendor + sizeof(kArkVendorTag);

bool IsControllerUnit(const uint8_t* inquiry, uint32_t length) {
    return length >= kInquiryBytesNeeded && inquiry[0] == arkwin::kProcessorDeviceType &&
           std::memcmp(inquiry + arkwin::kInquiryVendor, kArkVendorTag, sizeof(kArkVendorTag)) == 0;
}

}  // namespace

bool FindProcessorDevice(const uint8_t* data, size_t bufferSize, size_t returned,
                         uint32_t* address) {
    using namespace arkwin;
    const uint64_t limit = std::min(bufferSize, returned);
    if (data == nullptr || limit == 0) return false;
    const unsigned buses = data[0];
    for (unsigned bus = 0; bus < buses; ++bus) {
        const uint64_t entry = kBusInfoBusData + uint64_t{bus} * kBusDataSize;
        if (entry + kBusDataSize > limit) break;
        const unsigned units = data[entry + kBusDataUnitCount];
        uint64_t offset = GetLe32(data + entry + kBusDataFirstUnit);
        for (unsigned unit = 0; unit < units; ++unit) {
            if (offset < kUnitInquiry || offset > kLastUnitOffset) break;
            if (offset + kUnitInquiry > limit) break;
            const uint8_t* record = data + offset;
            const uint32_t length = GetLe32(record + kUnitInquiryLength);
            if (offset + kUnitInquiry + length > limit) break;
            if (IsControllerUnit(record + kUnitInquiry, length)) {
                if (address != nullptr) {
                    *address = uint32_t{record[kUnitPathId]} << 16 |
                               uint32_t{record[kUnitTargetId]} << 8 | record[kUnitLun];
                }
                return true;
            }
            offset = GetLe32(record + kUnitNext);
        }
    }
    return false;
}
