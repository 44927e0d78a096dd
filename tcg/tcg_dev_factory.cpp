#include "tcg_dev_factory.h"

#include "tcg_dev_enterprise.h"
#include "tcg_dev_opal.h"

std::unique_ptr<TcgDev> tcgNewDeviceFor(const TcgDiskInfo& probe) {
    if (probe.Ruby1) return std::make_unique<TcgDevRuby1>();
    if (probe.Opal2) return std::make_unique<TcgDevOpal2>();
    if (probe.Opalite) return std::make_unique<TcgDevOpalite>();
    if (probe.Pyrite1) return std::make_unique<TcgDevPyrite1>();
    if (probe.Pyrite2) return std::make_unique<TcgDevPyrite2>();
    if (probe.Opal1) return std::make_unique<TcgDevOpal1>();
    if (probe.Enterprise) return std::make_unique<TcgDevEnterprise>();
    return nullptr;
}
