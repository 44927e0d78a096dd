#pragma once

#include <cstdint>
#include <vector>

#include "driver_port.h"

// A group of controllers addressed by one domain index. A domain owns its ports and deletes
// them when destroyed.
class CDomain {
public:
    virtual ~CDomain() = default;

    // Offers a port; true when the domain took ownership of it.
    virtual bool AddPort(CDriverPort* port) = 0;

    // Same contract as CDriverPort::Ioctl.
    virtual int Ioctl(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
                      uint32_t* bytesReturned) = 0;
};

// A port that reaches exactly one controller.
class CSinglePortDomain : public CDomain {
public:
    explicit CSinglePortDomain(CDriverPort* port) : m_port(port) {}
    ~CSinglePortDomain() override;

    bool AddPort(CDriverPort* port) override;
    int Ioctl(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
              uint32_t* bytesReturned) override;

private:
    CDriverPort* m_port;
};

// Several ports that reach the same physical controller (same PCI location); a request goes to
// each port in turn until one succeeds.
class CMultiPortDomain : public CDomain {
public:
    explicit CMultiPortDomain(CDriverPort* port) : m_ports{port} {}
    ~CMultiPortDomain() override;

    bool AddPort(CDriverPort* port) override;
    int Ioctl(uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
              uint32_t* bytesReturned) override;

private:
    std::vector<CDriverPort*> m_ports;
};

// The process-wide domain list; the index of a domain is its position. Filled only by
// discovery, append-only, read without a lock afterwards.
extern std::vector<CDomain*> g_domains;

// Files a newly opened port into g_domains. True when the list took ownership; on false the
// caller keeps the port and deletes it.
bool AttachPort(CDriverPort* port);

// The domain at `index`, or null when the index is outside the list.
CDomain* arkDomainAt(int index);

// Empties g_domains, destroying its domains. For unit tests only: production never removes a
// domain. Not exported.
void arkResetDomainsForTest();
