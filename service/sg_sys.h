#pragma once

#include <scsi/sg.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "vendor_command.h"

// The SCSI generic request numbers: the extended one some drivers answer, and plain SG_IO.
constexpr unsigned long kSgIoExtended = 0xFFFF2285ul;
constexpr unsigned long kSgIo = SG_IO;
static_assert(kSgIo == 0x2285);

// The four system calls the SG port and the /dev scan make. The process uses one instance
// (SgSys()), libc unless another was installed before discovery; each port keeps the instance
// it was opened through. Implementations must allow calls from several threads at once.
class CSgSys {
public:
    virtual ~CSgSys() = default;

    // The entry names of folder `dir` in the order the folder lists them ("." and ".." left
    // out). 0 on success, -1 when the folder cannot be read.
    virtual int ListDir(const char* dir, std::vector<std::string>& names) = 0;

    // open(2): a descriptor, or -1.
    virtual int Open(const char* path, int flags) = 0;

    // ioctl(2) with a SCSI generic header: 0 on success, non-zero on failure.
    virtual int Ioctl(int fd, unsigned long request, sg_io_hdr* hdr) = 0;

    // close(2): 0 or -1.
    virtual int Close(int fd) = 0;
};

// The process-wide instance; libc unless replaced.
CSgSys& SgSys();

// Replaces the process-wide instance (null restores libc). The caller keeps ownership and keeps
// `sys` alive while any port opened through it lives. Call before discovery, not during it.
void SetSgSys(CSgSys* sys);
