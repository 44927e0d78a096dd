// Storage I/O: the miniport and SCSI pass-through requests and the inquiry data request.

#include <algorithm>
#include <cstring>

#include "standin_util.h"
#include "win32_standin.h"

namespace emu::win32 {
namespace {

constexpr char kSignature[8] = {'A', 'R', 'K', 'C', 'N', 'T', 'L', 'R'};
constexpr size_t kMiniportHeader = 36;
constexpr size_t kSptSize = sizeof(SCSI_PASS_THROUGH);
constexpr uint8_t kCheckCondition = 0x02;
constexpr char kArkMutex[] = "libaProcessorutex";

}  // namespace

BOOL Machine::DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                              DWORD outSize, LPDWORD returned) {
    size_t port;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        Object* file = Find(device, Kind::File);
        if (file == nullptr) return Fail(ERROR_INVALID_HANDLE);
        port = file->port;
        ++m_deviceCalls[code];
    }
    if (returned == nullptr) return Fail(ERROR_INVALID_PARAMETER);
    *returned = 0;
    if (code == IOCTL_SCSI_GET_INQUIRY_DATA) {
        return Inquiry(port, static_cast<uint8_t*>(out), outSize, returned);
    }
    // The ports send one buffer both ways.
    if (in == nullptr || in != out || inSize != outSize) {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_frameErrors;
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (code == IOCTL_SCSI_MINIPORT) {
        return Miniport(port, static_cast<uint8_t*>(out), inSize, outSize, returned);
    }
    if (code == IOCTL_SCSI_PASS_THROUGH) {
        return PassThrough(port, static_cast<uint8_t*>(out), inSize, outSize, returned);
    }
    return Fail(ERROR_INVALID_FUNCTION);
}

BOOL Machine::Miniport(size_t port, uint8_t* frame, DWORD inSize, DWORD outSize, LPDWORD returned) {
    SRB_IO_CONTROL header{};
    uint32_t inLen = 0, outLen = 0;
    if (inSize >= kMiniportHeader) {
        std::memcpy(&header, frame, sizeof(header));
        inLen = Le32(frame + sizeof(SRB_IO_CONTROL));
        outLen = Le32(frame + sizeof(SRB_IO_CONTROL) + 4);
    }
    const bool frameOk = inSize >= kMiniportHeader && header.HeaderLength == sizeof(header) &&
                         std::memcmp(header.Signature, kSignature, sizeof(kSignature)) == 0 &&
                         header.Timeout == 10 && header.Length == inSize - sizeof(header) &&
                         uint64_t{kMiniportHeader} + inLen + outLen == inSize;
    RequestHandler* handler;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        auto it = m_mutexes.find(kArkMutex);
        if (it == m_mutexes.end() || it->second.count == 0 ||
            it->second.owner != std::this_thread::get_id()) {
            ++m_unlockedMiniport;
        }
        if (!frameOk) {
            ++m_frameErrors;
            return Fail(ERROR_INVALID_PARAMETER);
        }
        if (!m_miniportErrors.empty()) {
            const DWORD error = m_miniportErrors.front();
            m_miniportErrors.pop_front();
            if (error != 0) return Fail(error);
        }
        if (!m_ports[port].answersMiniport || m_ports[port].handler == nullptr) {
            return Fail(ERROR_INVALID_FUNCTION);
        }
        handler = m_ports[port].handler;
    }
    // Never hand the controller a null buffer, even for an empty block.
    std::vector<uint8_t> input(std::max<uint32_t>(inLen, 1));
    std::copy_n(frame + kMiniportHeader, inLen, input.begin());
    std::vector<uint8_t> output(std::max<uint32_t>(outLen, 1));
    uint32_t got = 0;
    if (handler->Handle(header.ControlCode, input.data(), inLen, output.data(), outLen, &got) !=
        0) {
        return Fail(ERROR_IO_DEVICE);
    }
    got = std::min(got, outLen);
    std::copy_n(output.begin(), got, frame + kMiniportHeader + inLen);
    std::lock_guard<std::mutex> lock(m_lock);
    *returned = m_miniportReturned.value_or(static_cast<DWORD>(kMiniportHeader + inLen + got));
    (void)outSize;
    return TRUE;
}

BOOL Machine::PassThrough(size_t port, uint8_t* frame, DWORD inSize, DWORD outSize,
                          LPDWORD returned) {
    SCSI_PASS_THROUGH spt{};
    if (inSize >= kSptSize) std::memcpy(&spt, frame, kSptSize);
    const uint8_t* cdb = spt.Cdb;
    const uint32_t inLen = Le32(cdb + 8), outLen = Le32(cdb + 12);
    const bool frameOk = inSize >= kSptSize && spt.Length == kSptSize && spt.CdbLength == 16 &&
                         spt.DataIn == 3 && spt.SenseInfoLength <= 32 &&
                         uint64_t{spt.SenseInfoOffset} + spt.SenseInfoLength <= inSize &&
                         spt.SenseInfoOffset >= kSptSize && spt.DataBufferOffset >= kSptSize &&
                         uint64_t{spt.DataBufferOffset} + spt.DataTransferLength <= inSize &&
                         cdb[0] == 0x02 && std::memcmp(cdb + 1, "ARK", 3) == 0 &&
                         std::max(inLen, outLen) <= spt.DataTransferLength;
    const uint32_t address = uint32_t{spt.PathId} << 16 | uint32_t{spt.TargetId} << 8 | spt.Lun;
    RequestHandler* handler;
    std::optional<PassThroughReply> scripted;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!frameOk) {
            ++m_frameErrors;
            return Fail(ERROR_INVALID_PARAMETER);
        }
        const StoragePort& p = m_ports[port];
        if (!p.processorAddress || *p.processorAddress != address || p.handler == nullptr) {
            return Fail(ERROR_INVALID_FUNCTION);
        }
        handler = p.handler;
        if (!m_passThrough.empty()) {
            scripted = m_passThrough.front();
            m_passThrough.pop_front();
        }
    }
    uint8_t* data = frame + spt.DataBufferOffset;
    uint8_t* sense = frame + spt.SenseInfoOffset;
    std::vector<uint8_t> input(std::max<uint32_t>(inLen, 1));
    std::copy_n(data, inLen, input.begin());
    std::vector<uint8_t> output(std::max<uint32_t>(outLen, 1));
    uint32_t got = 0;
    const uint32_t code = Le32(cdb + 4);
    uint8_t status = 0;
    if (handler->Handle(code, input.data(), inLen, output.data(), outLen, &got) == 0) {
        got = std::min(got, outLen);
        std::copy_n(output.begin(), got, data);
    } else {
        // Check condition, fixed-format sense: illegal request, invalid field in CDB.
        got = 0;
        status = kCheckCondition;
        const uint8_t failure[] = {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x24, 0};
        std::memcpy(sense, failure, std::min<size_t>(sizeof(failure), spt.SenseInfoLength));
    }
    if (scripted) {
        status = scripted->scsiStatus;
        std::memset(sense, 0, spt.SenseInfoLength);
        std::copy_n(scripted->sense.begin(),
                    std::min<size_t>(scripted->sense.size(), spt.SenseInfoLength), sense);
        if (scripted->transferred) got = *scripted->transferred;
    }
    frame[offsetof(SCSI_PASS_THROUGH, ScsiStatus)] = status;
    Store32(frame + offsetof(SCSI_PASS_THROUGH, DataTransferLength), got);
    *returned = outSize;
    return TRUE;
}

BOOL Machine::Inquiry(size_t port, uint8_t* out, DWORD outSize, LPDWORD returned) {
    std::vector<uint8_t> data;
    std::optional<DWORD> reported;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        const StoragePort& p = m_ports[port];
        if (p.inquiryFails) return Fail(ERROR_INVALID_FUNCTION);
        data = p.rawInquiry ? *p.rawInquiry : BuildInquiryData(p.buses);
        reported = p.inquiryReturned;
    }
    if (out == nullptr) return Fail(ERROR_INVALID_PARAMETER);
    if (data.size() > outSize && !reported) return Fail(ERROR_INSUFFICIENT_BUFFER);
    const size_t n = std::min<size_t>(data.size(), outSize);
    std::copy_n(data.begin(), n, out);
    *returned = reported.value_or(static_cast<DWORD>(n));
    return TRUE;
}

}  // namespace emu::win32
