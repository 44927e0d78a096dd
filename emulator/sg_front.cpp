#include "sg_front.h"

#include <endian.h>
#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace emu {

namespace {

constexpr uint8_t kOpInquiry = 0x12;
constexpr uint8_t kCheckCondition = 0x02;
constexpr uint16_t kDriverSense = 0x08;
constexpr uint8_t kKeyNotReady = 0x02;
constexpr uint8_t kKeyIllegalRequest = 0x05;
constexpr uint8_t kKeyAbortedCommand = 0x0B;
constexpr uint8_t kAscInvalidOpcode = 0x20;
constexpr uint8_t kAscInvalidFieldInCdb = 0x24;
constexpr uint8_t kAscNotReady = 0x04;
constexpr uint32_t kInquiryLen = 36;

int fail(int err) {
    errno = err;
    return -1;
}

void writeSense(sg_io_hdr* hdr, const uint8_t* sense, size_t len) {
    const size_t n = std::min<size_t>(len, hdr->mx_sb_len);
    if (n != 0) std::memcpy(hdr->sbp, sense, n);
    hdr->sb_len_wr = static_cast<unsigned char>(n);
}

// What the device answers to a command it refuses: fixed-format sense, nothing transferred.
int checkCondition(sg_io_hdr* hdr, uint8_t key, uint8_t asc) {
    const uint8_t sense[18] = {0x70, 0, key, 0, 0, 0, 0, 10, 0, 0, 0, 0, asc, 0, 0, 0, 0, 0};
    writeSense(hdr, sense, sizeof sense);
    hdr->status = kCheckCondition;
    hdr->driver_status = kDriverSense;
    hdr->resid = static_cast<int>(hdr->dxfer_len);
    return 0;
}

// The fields the driver derives from the statuses, as the sg driver sets them.
void finish(sg_io_hdr* hdr) {
    hdr->masked_status = (hdr->status >> 1) & 0x7F;
    hdr->info = (hdr->status != 0 || hdr->host_status != 0 || hdr->driver_status != 0)
                    ? SG_INFO_CHECK
                    : SG_INFO_OK;
}

int answerInquiry(const SgNode& node, sg_io_hdr* hdr) {
    if (hdr->dxfer_direction != SG_DXFER_FROM_DEV && hdr->dxfer_direction != SG_DXFER_TO_FROM_DEV)
        return checkCondition(hdr, kKeyIllegalRequest, kAscInvalidFieldInCdb);
    if (node.inquiryFails) return checkCondition(hdr, kKeyNotReady, kAscNotReady);

    uint8_t data[kInquiryLen] = {};
    data[0] = node.deviceType;
    data[2] = 0x05;  // SPC-3
    data[3] = 0x02;  // response data format
    data[4] = kInquiryLen - 5;
    auto putText = [&](size_t at, size_t width, const std::string& text) {
        std::memset(data + at, ' ', width);
        std::memcpy(data + at, text.data(), std::min(width, text.size()));
    };
    putText(8, 8, node.vendor);
    putText(16, 16, "RAID Controller");
    putText(32, 4, "1.00");

    const uint8_t* cdb = hdr->cmdp;
    const uint32_t allocation = static_cast<uint32_t>(cdb[3]) << 8 | cdb[4];
    const uint32_t n = std::min({kInquiryLen, allocation, hdr->dxfer_len});
    std::memcpy(hdr->dxferp, data, n);
    hdr->resid = static_cast<int>(hdr->dxfer_len - n);
    return 0;
}

uint32_t le32At(const uint8_t* at) {
    uint32_t v;
    std::memcpy(&v, at, sizeof v);
    return le32toh(v);
}

int answerVendor(const SgNode& node, int openFlags, sg_io_hdr* hdr) {
    const SgNodeFaults& faults = node.faults;
    if (faults.ioctlFails) return fail(EIO);
    // Like the sg driver: a command that may write needs a descriptor opened for writing.
    if ((openFlags & O_ACCMODE) != O_RDWR) return fail(EPERM);

    const uint32_t code = le32At(hdr->cmdp + offsetof(ARK_VENDOR_CDB, code));
    const uint32_t inLen = le32At(hdr->cmdp + offsetof(ARK_VENDOR_CDB, inLen));
    const uint32_t outLen = le32At(hdr->cmdp + offsetof(ARK_VENDOR_CDB, outLen));
    if (hdr->dxfer_direction != SG_DXFER_TO_FROM_DEV || hdr->dxfer_len != std::max(inLen, outLen))
        return checkCondition(hdr, kKeyIllegalRequest, kAscInvalidFieldInCdb);
    if (node.handler == nullptr) return checkCondition(hdr, kKeyIllegalRequest, kAscInvalidOpcode);

    auto* buffer = static_cast<uint8_t*>(hdr->dxferp);
    std::vector<uint8_t> in(buffer, buffer + inLen);
    std::vector<uint8_t> out(outLen);
    uint32_t returned = 0;
    if (node.handler->Handle(code, inLen != 0 ? in.data() : nullptr, inLen,
                             outLen != 0 ? out.data() : nullptr, outLen, &returned) != 0)
        return checkCondition(hdr, kKeyAbortedCommand, 0);
    returned = std::min(returned, outLen);
    if (returned != 0) std::memcpy(buffer, out.data(), returned);
    hdr->resid = static_cast<int>(hdr->dxfer_len - returned);

    hdr->host_status = faults.hostStatus;
    hdr->driver_status = faults.driverStatus;
    hdr->status = faults.scsiStatus;
    if (!faults.sense.empty()) writeSense(hdr, faults.sense.data(), faults.sense.size());
    if (faults.resid) hdr->resid = *faults.resid;
    return 0;
}

bool isVendorCdb(const sg_io_hdr* hdr) {
    return hdr->cmd_len == sizeof(ARK_VENDOR_CDB) && hdr->cmdp[0] == kArkVendorOpcode &&
           std::memcmp(hdr->cmdp + 1, "ARK", 3) == 0;
}

}  // namespace

void SgFront::AddNode(SgNode node) {
    std::lock_guard lock(m_mutex);
    std::string name = node.name;
    m_entries.push_back({std::move(name), std::move(node)});
}

void SgFront::AddEntry(const std::string& name) {
    std::lock_guard lock(m_mutex);
    m_entries.push_back({name, std::nullopt});
}

void SgFront::SetFaults(const std::string& node, const SgNodeFaults& faults) {
    std::lock_guard lock(m_mutex);
    Entry* entry = findEntry(node);
    if (entry != nullptr && entry->node) entry->node->faults = faults;
}

void SgFront::SetListFails(bool fails) {
    std::lock_guard lock(m_mutex);
    m_listFails = fails;
}

int SgFront::Opens() const {
    std::lock_guard lock(m_mutex);
    return m_opens;
}

int SgFront::Closes() const {
    std::lock_guard lock(m_mutex);
    return m_closes;
}

int SgFront::BadCloses() const {
    std::lock_guard lock(m_mutex);
    return m_badCloses;
}

int SgFront::OpenDescriptors() const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_open.size());
}

std::vector<std::string> SgFront::OpenedPaths() const {
    std::lock_guard lock(m_mutex);
    return m_openedPaths;
}

std::vector<SgCall> SgFront::Calls() const {
    std::lock_guard lock(m_mutex);
    return m_calls.Entries();
}

void SgFront::ClearCalls() {
    std::lock_guard lock(m_mutex);
    m_calls.Clear();
}

SgFront::Entry* SgFront::findEntry(const std::string& name) {
    for (Entry& entry : m_entries)
        if (entry.name == name) return &entry;
    return nullptr;
}

int SgFront::ListDir(const char* dir, std::vector<std::string>& names) {
    std::lock_guard lock(m_mutex);
    if (m_listFails) return fail(EACCES);
    if (dir == nullptr || std::strcmp(dir, "/dev") != 0) return fail(ENOENT);
    names.clear();
    for (const Entry& entry : m_entries) names.push_back(entry.name);
    return 0;
}

int SgFront::Open(const char* path, int flags) {
    std::lock_guard lock(m_mutex);
    constexpr const char kDev[] = "/dev/";
    if (path == nullptr || std::strncmp(path, kDev, sizeof kDev - 1) != 0) return fail(ENOENT);
    const Entry* entry = findEntry(path + sizeof kDev - 1);
    if (entry == nullptr) return fail(ENOENT);
    if (entry->node && entry->node->openFails) return fail(EACCES);
    const int fd = m_nextFd++;
    m_open[fd] = {entry->name, flags};
    ++m_opens;
    m_openedPaths.push_back(path);
    return fd;
}

int SgFront::Close(int fd) {
    std::lock_guard lock(m_mutex);
    if (m_open.erase(fd) == 0) {
        ++m_badCloses;
        return fail(EBADF);
    }
    ++m_closes;
    return 0;
}

int SgFront::Ioctl(int fd, unsigned long request, sg_io_hdr* hdr) {
    std::optional<SgNode> node;
    SgCall call;
    int openFlags = 0;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_open.find(fd);
        if (it == m_open.end()) return fail(EBADF);
        call.node = it->second.name;
        openFlags = it->second.flags;
        if (const Entry* entry = findEntry(it->second.name)) node = entry->node;
    }
    call.request = request;

    int rc;
    if (!node ||
        (request != kSgIo && !(request == kSgIoExtended && !node->faults.rejectExtendedRequest))) {
        rc = fail(ENOTTY);  // not a SCSI generic node, or a request it does not take
    } else if (hdr == nullptr) {
        rc = fail(EFAULT);
    } else {
        call.interfaceId = hdr->interface_id;
        call.direction = hdr->dxfer_direction;
        call.cmdLen = hdr->cmd_len;
        call.mxSbLen = hdr->mx_sb_len;
        call.dxferLen = hdr->dxfer_len;
        call.timeout = hdr->timeout;
        call.hasSenseBuffer = hdr->sbp != nullptr;
        if (hdr->interface_id != 'S') {
            rc = fail(ENOSYS);
        } else if (hdr->cmdp == nullptr || hdr->cmd_len < 6 || hdr->cmd_len > 16 ||
                   (hdr->dxfer_len != 0 && hdr->dxferp == nullptr) ||
                   (hdr->mx_sb_len != 0 && hdr->sbp == nullptr)) {
            rc = fail(EFAULT);
        } else {
            call.cdb.assign(hdr->cmdp, hdr->cmdp + hdr->cmd_len);
            const auto* data = static_cast<const uint8_t*>(hdr->dxferp);
            if (hdr->dxfer_len != 0) call.data.assign(data, data + hdr->dxfer_len);

            hdr->status = hdr->masked_status = hdr->msg_status = hdr->sb_len_wr = 0;
            hdr->host_status = hdr->driver_status = 0;
            hdr->resid = 0;
            hdr->duration = 0;
            hdr->info = 0;
            if (hdr->cmdp[0] == kOpInquiry)
                rc = answerInquiry(*node, hdr);
            else if (isVendorCdb(hdr))
                rc = answerVendor(*node, openFlags, hdr);
            else
                rc = checkCondition(hdr, kKeyIllegalRequest, kAscInvalidOpcode);
            if (rc == 0) finish(hdr);
        }
    }

    const int savedErrno = errno;
    call.result = rc;
    {
        std::lock_guard lock(m_mutex);
        const size_t bytes = call.cdb.size() + call.data.size();
        m_calls.Add(std::move(call), bytes);
    }
    errno = savedErrno;
    return rc;
}

}  // namespace emu
