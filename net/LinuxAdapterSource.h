#pragma once

#include <string>

#include "net/AdapterSource.h"

namespace mervane {

// The machine's interfaces from sysfs and its IPv4 addresses from getifaddrs().
//
// Each directory under `sysClassNet` is an interface: `ifindex` gives its index (one without a
// readable index is left out), `operstate` "up" makes it operational, and so does "unknown" while
// `flags` has IFF_UP; `address` and `addr_len` give the hardware address, `speed` (Mb/s; 0 when
// unreadable or negative) the speed. The description is the name of the driver that
// `device/driver` links to, else the interface name; the friendly name is `ifalias` when it is
// valid UTF-8. Records come in index order.
//
// Address rows come in getifaddrs() order, with the index of the interface named (an address
// label such as "eth0:1" names "eth0"); an interface the system does not know gives index 0.
class LinuxAdapterSource final : public AdapterSource {
  public:
    explicit LinuxAdapterSource(std::string sysClassNet = "/sys/class/net");

    std::optional<std::vector<InterfaceRecord>> interfaces() override;
    std::optional<std::vector<AddressRow>> ipv4Addresses() override;

  private:
    std::string sysClassNet_;
};

}  // namespace mervane
