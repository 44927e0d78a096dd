#include "sg_port.h"

#include <fcntl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "ark.h"
#include "domain.h"

namespace {

constexpr unsigned kTimeoutMs = 20000;
constexpr unsigned kSenseLen = 32;
constexpr unsigned kInquiryLen = 36;

constexpr uint16_t kDriverSense = 0x08;  // set by the sg driver whenever sense data came back

// A completed transfer counts only when nothing below the SCSI layer went wrong and the device
// either reported good status or an error it recovered from itself.
bool replySucceeded(const sg_io_hdr& hdr, const uint8_t* sense) {
    if (hdr.host_status != 0) return false;
    if (hdr.driver_status != 0 && hdr.driver_status != kDriverSense) return false;
    return arkVendorCommandCompleted(hdr.status, sense,
                                     std::min<unsigned>(hdr.sb_len_wr, kSenseLen));
}

// Sort key of a /dev entry: "sg" plus a number sorts by that number; any other name starting
// with "sg" comes after all numbered nodes, by name.
struct SgNodeKey {
    bool numbered;
    std::string number;  // digits without leading zeros
    std::string name;

    explicit SgNodeKey(const std::string& entry) : name(entry) {
        const std::string tail = entry.substr(2);
        numbered = !tail.empty() && std::all_of(tail.begin(), tail.end(),
                                                [](char c) { return c >= '0' && c <= '9'; });
        if (numbered) {
            const size_t first = tail.find_first_not_of('0');
            number = first == std::string::npos ? "0" : tail.substr(first);
        }
    }

    bool operator<(const SgNodeKey& other) const {
        if (numbered != other.numbered) return numbered;
        if (number.size() != other.number.size()) return number.size() < other.number.size();
        if (number != other.number) return number < other.number;
        return name < other.name;
    }
};

}  // namespace

CSgFilePort::CSgFilePort(const char* path, int fd, CSgSys& sys)
    : m_path(path != nullptr ? path : ""), m_fd(fd), m_sys(sys) {}

CSgFilePort::~CSgFilePort() {
    if (m_fd >= 0) m_sys.Close(m_fd);
}

int CSgFilePort::Ioctl(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
                       uint32_t* bytesReturned) {
    if (in == nullptr && inLen != 0) return -1;

    // One buffer carries the input down and the output back; zeroed so the device never sees
    // stale heap bytes past the input.
    const uint32_t size = std::max(inLen, outLen);
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[std::max<uint32_t>(size, 1)]());
    if (!buffer) return -1;
    if (inLen != 0) std::memcpy(buffer.get(), in, inLen);

    uint8_t cdb[sizeof(ARK_VENDOR_CDB)];
    arkBuildVendorCdb(cdb, code, inLen, outLen);

    uint8_t sense[kSenseLen] = {};
    sg_io_hdr hdr{};
    hdr.interface_id = 'S';
    hdr.dxfer_direction = SG_DXFER_TO_FROM_DEV;
    hdr.cmd_len = sizeof cdb;
    hdr.mx_sb_len = sizeof sense;
    hdr.dxfer_len = size;
    hdr.dxferp = buffer.get();
    hdr.cmdp = cdb;
    hdr.sbp = sense;
    hdr.timeout = kTimeoutMs;

    int rc;
    const uint32_t request = m_request.load(std::memory_order_relaxed);
    if (request != 0) {
        rc = m_sys.Ioctl(m_fd, request, &hdr);
    } else {
        // The first request finds out which number the driver answers and keeps it. The number
        // is stored only once tried, so a request racing this one never sends the extended
        // number to a driver that rejects it.
        rc = m_sys.Ioctl(m_fd, kSgIoExtended, &hdr);
        unsigned long chosen = kSgIoExtended;
        if (rc != 0) {
            chosen = kSgIo;
            rc = m_sys.Ioctl(m_fd, kSgIo, &hdr);
        }
        m_request.store(static_cast<uint32_t>(chosen), std::memory_order_relaxed);
    }
    if (rc != 0 || !replySucceeded(hdr, sense)) return -1;

    // resid comes from the driver: a negative or oversized value must not turn into a copy
    // beyond either buffer.
    int64_t n = static_cast<int64_t>(size) - static_cast<int64_t>(hdr.resid);
    n = std::clamp<int64_t>(n, 0, outLen);
    if (bytesReturned != nullptr) *bytesReturned = static_cast<uint32_t>(n);
    if (n != 0 && out != nullptr) std::memcpy(out, buffer.get(), static_cast<size_t>(n));
    return 0;
}

bool isProcessorDevice(int fd, CSgSys& sys) {
    uint8_t inquiry[kInquiryLen] = {};
    uint8_t sense[kSenseLen] = {};
    uint8_t cdb[6] = {0x12, 0x00, 0x00, 0x00, kInquiryLen, 0x00};
    sg_io_hdr hdr{};
    hdr.interface_id = 'S';
    hdr.dxfer_direction = SG_DXFER_FROM_DEV;
    hdr.cmd_len = sizeof cdb;
    hdr.mx_sb_len = sizeof sense;
    hdr.dxfer_len = sizeof inquiry;
    hdr.dxferp = inquiry;
    hdr.cmdp = cdb;
    hdr.sbp = sense;
    hdr.timeout = kTimeoutMs;
    if (sys.Ioctl(fd, kSgIo, &hdr) != 0) return false;
    if (hdr.info & SG_INFO_CHECK) return false;
    return inquiry[0] == 3;
}

void ScanSgDevices() {
    CSgSys& sys = SgSys();
    std::vector<std::string> names;
    if (sys.ListDir("/dev", names) != 0) return;

    std::vector<SgNodeKey> nodes;
    for (const std::string& name : names)
        if (name.size() >= 2 && name.compare(0, 2, "sg") == 0) nodes.emplace_back(name);
    std::sort(nodes.begin(), nodes.end());

    for (const SgNodeKey& node : nodes) {
        const std::string path = "/dev/" + node.name;
        const int fd = sys.Open(path.c_str(), O_RDWR);
        if (fd < 0) continue;
        if (!isProcessorDevice(fd, sys)) {
            sys.Close(fd);
            continue;
        }
        CSgFilePort* port = new (std::nothrow) CSgFilePort(path.c_str(), fd, sys);
        if (port == nullptr) {
            sys.Close(fd);
            continue;
        }
        if (!AttachPort(port)) delete port;
    }
}

int arkInitialize() {
    try {
        ScanSgDevices();
    } catch (...) {
        // Out of memory mid-scan: the ports attached so far stay usable.
    }
    return g_domains.empty() ? -1 : 0;
}

void arkCleanup() {}
