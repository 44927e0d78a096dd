#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "driver_port.h"
#include "win_api.h"

// The machine-wide named mutex that serialises every miniport request of every process.
constexpr char kArkMutexName[] = "libaProcessorutex";

// This process's handle to that mutex: set by arkInitialize, null before and after
// arkCleanup. A miniport request made while it is null fails.
extern std::atomic<HANDLE> g_arkMutex;

// A storage port reached through miniport control requests. Owns its device handle (closed in
// the destructor unless detached). Requests are serialised across processes by g_arkMutex.
class CDriverPortWin : public CDriverPort {
public:
    CDriverPortWin(HANDLE handle, std::string path) : m_handle(handle), m_path(std::move(path)) {}
    ~CDriverPortWin() override;
    CDriverPortWin(const CDriverPortWin&) = delete;
    CDriverPortWin& operator=(const CDriverPortWin&) = delete;

    // A null `out` is never written; a frame that would not fit in 32 bits fails with -1.
    int Ioctl(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
              uint32_t* bytesReturned) override;
    const char* GetPath() const override { return m_path.c_str(); }

    // Hands the handle back to the caller; the destructor then closes nothing.
    HANDLE DetachHandle();

protected:
    HANDLE Handle() const { return m_handle; }

private:
    HANDLE m_handle;
    std::string m_path;
};

// The controller's SCSI processor device behind a storage port, reached through SCSI
// pass-through with the vendor command. No serialisation and no retry.
class CProcessorPort : public CDriverPortWin {
public:
    // address = PathId << 16 | TargetId << 8 | Lun of the processor device.
    CProcessorPort(HANDLE handle, std::string path, uint32_t address)
        : CDriverPortWin(handle, std::move(path)), m_address(address) {}

    int Ioctl(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
              uint32_t* bytesReturned) override;

    uint32_t Address() const { return m_address; }

private:
    uint32_t m_address;
};

// Whether a pass-through reply with this SCSI status and these 32 sense bytes succeeded:
// status 0, or check condition carrying a recovered error in fixed or descriptor format.
bool PassThroughSucceeded(uint8_t scsiStatus, const uint8_t* sense);
