#include <cstring>

#include "ark.h"
#include "domain.h"

std::vector<CDomain*> g_domains;

namespace {

// Controller 0's PCI location bytes (segment, bus, device, function) through one port.
bool readPciLocation(CDriverPort* port, uint8_t location[4]) {
    uint32_t index = 0;
    ARK_CONTROLLER_INFO info{};
    if (port->Ioctl(ARK_REQ_GET_CONTROLLER_INFO, &index, sizeof index, &info, sizeof info,
                    nullptr) != 0)
        return false;
    std::memcpy(location, &info.pci_tree, 4);
    return true;
}

}  // namespace

CSinglePortDomain::~CSinglePortDomain() {
    delete m_port;
}

bool CSinglePortDomain::AddPort(CDriverPort* port) {
    if (m_port != nullptr) return false;
    m_port = port;
    return true;
}

int CSinglePortDomain::Ioctl(uint32_t code, const void* in, uint32_t inLen, void* out,
                             uint32_t outLen, uint32_t* bytesReturned) {
    if (m_port == nullptr) return -1;
    return m_port->Ioctl(code, in, inLen, out, outLen, bytesReturned);
}

CMultiPortDomain::~CMultiPortDomain() {
    for (CDriverPort* port : m_ports) delete port;
}

bool CMultiPortDomain::AddPort(CDriverPort* port) {
    if (m_ports.empty()) {
        m_ports.push_back(port);
        return true;
    }
    uint8_t first[4] = {}, offered[4] = {};
    if (!readPciLocation(m_ports.front(), first) || !readPciLocation(port, offered)) return false;
    if (std::memcmp(first, offered, sizeof first) != 0) return false;
    m_ports.push_back(port);
    return true;
}

int CMultiPortDomain::Ioctl(uint32_t code, const void* in, uint32_t inLen, void* out,
                            uint32_t outLen, uint32_t* bytesReturned) {
    int result = -1;
    for (CDriverPort* port : m_ports) {
        result = port->Ioctl(code, in, inLen, out, outLen, bytesReturned);
        if (result == 0) return 0;
    }
    return result;
}

// Room for one more entry, so appending a new domain cannot fail half-way.
static bool reserveDomainSlot() {
    try {
        g_domains.reserve(g_domains.size() + 1);
    } catch (...) {
        return false;
    }
    return true;
}

bool AttachPort(CDriverPort* port) {
    if (port == nullptr) return false;
    uint32_t count = 0;
    if (port->Ioctl(ARK_REQ_GET_CONTROLLER_COUNT, nullptr, 0, &count, sizeof count, nullptr) != 0 ||
        count == 0)
        return false;

    if (count != 1) {
        for (CDomain* domain : g_domains) {
            if (domain->AddPort(port)) return true;
        }
    }
    if (!reserveDomainSlot()) return false;
    CDomain* domain = nullptr;
    try {
        if (count == 1)
            domain = new CSinglePortDomain(port);
        else
            domain = new CMultiPortDomain(port);
    } catch (...) {
        return false;  // treated as a rejection: the caller still owns the port
    }
    g_domains.push_back(domain);
    return true;
}

CDomain* arkDomainAt(int index) {
    if (index < 0 || static_cast<size_t>(index) >= g_domains.size()) return nullptr;
    return g_domains[static_cast<size_t>(index)];
}

void arkResetDomainsForTest() {
    for (CDomain* domain : g_domains) delete domain;
    g_domains.clear();
}

ARK_API int arkGetDomainCount(void) {
    return static_cast<int>(g_domains.size());
}
