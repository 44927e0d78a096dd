// Inquiry data of the pretend storage ports, laid out as the driver returns it.

#include <algorithm>
#include <cstring>

#include "standin_util.h"
#include "win32_standin.h"

namespace emu::win32 {
namespace {

InquiryUnit MakeUnit(uint8_t pathId, uint8_t targetId, uint8_t lun, uint8_t type,
                     const std::string& vendor, const std::string& product) {
    InquiryUnit unit{pathId, targetId, lun, false, std::vector<uint8_t>(36, ' ')};
    unit.inquiry[0] = type;
    unit.inquiry[1] = 0;
    unit.inquiry[2] = 5;
    unit.inquiry[3] = 2;
    unit.inquiry[4] = 31;
    unit.inquiry[5] = unit.inquiry[6] = unit.inquiry[7] = 0;
    std::memcpy(&unit.inquiry[8], vendor.data(), std::min<size_t>(vendor.size(), 8));
    std::memcpy(&unit.inquiry[16], product.data(), std::min<size_t>(product.size(), 16));
    return unit;
}

}  // namespace

InquiryUnit ProcessorUnit(uint8_t pathId, uint8_t targetId, uint8_t lun,
                          const std::string& vendor) {
    return MakeUnit(pathId, targetId, lun, 3, vendor, "Controller");
}

InquiryUnit DiskUnit(uint8_t pathId, uint8_t targetId, uint8_t lun) {
    return MakeUnit(pathId, targetId, lun, 0, "DISKCO", "Disk");
}

StoragePort MiniportPort(std::string path, RequestHandler* handler) {
    StoragePort port;
    port.path = std::move(path);
    port.handler = handler;
    port.buses = {{DiskUnit(0, 0, 0)}};
    return port;
}

StoragePort ProcessorOnlyPort(std::string path, RequestHandler* handler, uint8_t pathId,
                              uint8_t targetId, uint8_t lun) {
    StoragePort port;
    port.path = std::move(path);
    port.handler = handler;
    port.answersMiniport = false;
    port.processorAddress = uint32_t{pathId} << 16 | uint32_t{targetId} << 8 | lun;
    std::vector<std::vector<InquiryUnit>> buses(size_t{pathId} + 1);
    buses[pathId] = {DiskUnit(pathId, 0, 0), ProcessorUnit(pathId, targetId, lun)};
    port.buses = std::move(buses);
    return port;
}

std::vector<uint8_t> BuildInquiryData(const std::vector<std::vector<InquiryUnit>>& buses) {
    const size_t busCount = std::min<size_t>(buses.size(), 255);
    std::vector<uint8_t> data(offsetof(SCSI_ADAPTER_BUS_INFO, BusData) +
                              busCount * sizeof(SCSI_BUS_DATA));
    data[0] = static_cast<uint8_t>(busCount);
    for (size_t b = 0; b < busCount; ++b) {
        const size_t entry = offsetof(SCSI_ADAPTER_BUS_INFO, BusData) + b * sizeof(SCSI_BUS_DATA);
        const auto& units = buses[b];
        data[entry + offsetof(SCSI_BUS_DATA, NumberOfLogicalUnits)] =
            static_cast<uint8_t>(std::min<size_t>(units.size(), 255));
        size_t previous = 0;
        for (size_t u = 0; u < units.size() && u < 255; ++u) {
            data.resize((data.size() + 7) & ~size_t{7});
            const size_t at = data.size();
            const InquiryUnit& unit = units[u];
            data.resize(at + offsetof(SCSI_INQUIRY_DATA, InquiryData) + unit.inquiry.size());
            data[at + offsetof(SCSI_INQUIRY_DATA, PathId)] = unit.pathId;
            data[at + offsetof(SCSI_INQUIRY_DATA, TargetId)] = unit.targetId;
            data[at + offsetof(SCSI_INQUIRY_DATA, Lun)] = unit.lun;
            data[at + offsetof(SCSI_INQUIRY_DATA, DeviceClaimed)] = unit.claimed;
            Store32(&data[at + offsetof(SCSI_INQUIRY_DATA, InquiryDataLength)],
                    static_cast<uint32_t>(unit.inquiry.size()));
            std::copy(unit.inquiry.begin(), unit.inquiry.end(),
                      data.begin() + at + offsetof(SCSI_INQUIRY_DATA, InquiryData));
            if (u == 0) {
                Store32(&data[entry + offsetof(SCSI_BUS_DATA, InquiryDataOffset)],
                        static_cast<uint32_t>(at));
            } else {
                Store32(&data[previous + offsetof(SCSI_INQUIRY_DATA, NextInquiryDataOffset)],
                        static_cast<uint32_t>(at));
            }
            previous = at;
        }
    }
    return data;
}

}  // namespace emu::win32
