#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "recent_log.h"
#include "request_handler.h"
#include "sg_sys.h"

namespace emu {

// How a node answers vendor commands when it misbehaves the way a real one can. The statuses are
// reported exactly as given (set DRIVER_SENSE, 0x08, yourself when sense is returned); the
// request still reaches the handler, so a recovered error can carry data.
struct SgNodeFaults {
    bool rejectExtendedRequest = false;  // ioctl number 0xFFFF2285 fails (ENOTTY)
    bool ioctlFails = false;             // every SG_IO of a vendor command fails (EIO)
    uint16_t hostStatus = 0;
    uint16_t driverStatus = 0;
    uint8_t scsiStatus = 0;
    std::vector<uint8_t> sense;  // written to the caller's sense buffer, cut to mx_sb_len
    std::optional<int> resid;    // replaces dxfer_len - bytes returned
};

// One fake /dev/sgN node.
struct SgNode {
    std::string name;                   // entry name under /dev, e.g. "sg3"
    uint8_t deviceType = 3;             // INQUIRY byte 0; 3 is a processor device
    std::string vendor = "ARK";         // INQUIRY vendor text (bytes 8-15, space padded)
    RequestHandler* handler = nullptr;  // receives the vendor commands; null rejects them
    bool openFails = false;             // open() fails (EACCES)
    bool inquiryFails = false;          // INQUIRY ends in CHECK CONDITION (NOT READY)
    SgNodeFaults faults;
};

// One SG_IO call as the front saw it, for tests to assert on.
struct SgCall {
    std::string node;
    unsigned long request = 0;
    int interfaceId = 0;
    int direction = 0;
    unsigned cmdLen = 0;
    unsigned mxSbLen = 0;
    uint32_t dxferLen = 0;
    uint32_t timeout = 0;
    bool hasSenseBuffer = false;
    std::vector<uint8_t> cdb;   // cmd_len bytes
    std::vector<uint8_t> data;  // the transfer buffer as it arrived
    int result = 0;             // what ioctl returned
};

// The SCSI generic driver and /dev folder for the SG port: install it with SetSgSys before
// discovery. Nodes answer INQUIRY themselves and carry each vendor command to their handler in
// one bidirectional transfer, checking the frame as strictly as the controller would. Other
// /dev entries open but answer no SG_IO. Safe to call from several threads; handlers are called
// without the front's lock held. Must outlive every port opened through it.
class SgFront : public CSgSys {
public:
    void AddNode(SgNode node);
    void AddEntry(const std::string& name);  // a /dev entry that is not a SCSI generic node
    void SetFaults(const std::string& node, const SgNodeFaults& faults);
    void SetListFails(bool fails);

    int Opens() const;
    int Closes() const;
    int BadCloses() const;  // close of a descriptor that is not open
    int OpenDescriptors() const;
    std::vector<std::string> OpenedPaths() const;  // in open order
    // The most recent calls, oldest first (at most kCallsKept of them, kCallBytesKept of data).
    static constexpr size_t kCallsKept = 4096;
    static constexpr size_t kCallBytesKept = 16u << 20;
    std::vector<SgCall> Calls() const;
    void ClearCalls();

    int ListDir(const char* dir, std::vector<std::string>& names) override;
    int Open(const char* path, int flags) override;
    int Ioctl(int fd, unsigned long request, sg_io_hdr* hdr) override;
    int Close(int fd) override;

private:
    struct Entry {
        std::string name;
        std::optional<SgNode> node;
    };

    struct OpenFile {
        std::string name;
        int flags;
    };

    Entry* findEntry(const std::string& name);

    mutable std::mutex m_mutex;
    std::vector<Entry> m_entries;  // in folder order
    std::map<int, OpenFile> m_open;
    int m_nextFd = 100;
    bool m_listFails = false;
    int m_opens = 0, m_closes = 0, m_badCloses = 0;
    std::vector<std::string> m_openedPaths;
    RecentLog<SgCall> m_calls{kCallsKept, kCallBytesKept};
};

}  // namespace emu
