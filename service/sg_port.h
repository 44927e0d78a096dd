#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "driver_port.h"
#include "sg_sys.h"

// A controller reached through its SCSI generic node: each request travels as the vendor
// command in one bidirectional SG_IO transfer. Owns the descriptor and closes it, through the
// system interface it was opened with, in the destructor. Takes no lock; the driver serialises
// concurrent requests.
class CSgFilePort : public CDriverPort {
public:
    CSgFilePort(const char* path, int fd, CSgSys& sys = SgSys());
    ~CSgFilePort() override;

    CSgFilePort(const CSgFilePort&) = delete;
    CSgFilePort& operator=(const CSgFilePort&) = delete;

    // Succeeds only when the transfer completed cleanly (no host or driver error beyond
    // attached sense data, and a good SCSI status or a recovered error). `out` gets at most
    // outLen bytes and is never written when null; `in` may be null only when inLen is 0.
    int Ioctl(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
              uint32_t* bytesReturned) override;

    const char* GetPath() const override { return m_path.c_str(); }

private:
    std::string m_path;
    int m_fd;
    CSgSys& m_sys;
    // 0 until the first request picks the number the driver answers.
    std::atomic<uint32_t> m_request{0};
};

// Whether the open node `fd` answers INQUIRY as a SCSI processor device (peripheral type 3).
bool isProcessorDevice(int fd, CSgSys& sys = SgSys());

// Offers every processor device among the /dev/sg* nodes to AttachPort, in numeric order of the
// node number (sg2 before sg10), so domain indices stay the same from boot to boot.
void ScanSgDevices();
