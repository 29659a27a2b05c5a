#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mervane {

// One network interface as the system describes it.
struct InterfaceRecord {
    uint32_t index = 0;
    bool operational = false;  // connected and passing traffic
    // Its size is the hardware address length; empty when the interface has none. An address of
    // all zero bytes counts as none.
    std::vector<uint8_t> hardwareAddress;
    uint64_t speedBitsPerSecond = 0;  // 0 when unknown
    std::string description;          // what the device is, e.g. its driver
    std::string name;                 // the interface's name, e.g. "enp3s0"
    std::string friendlyName;         // what the operator calls it; empty when unreadable
};

// One IPv4 address of the machine.
struct AddressRow {
    uint32_t address = 0;  // network byte order
    uint32_t ifIndex = 0;
    uint32_t mask = 0;  // network byte order
};

// The machine's interfaces and IPv4 addresses, behind a seam so that the adapter selection can be
// tried on made-up machines. Each call asks the system afresh.
class AdapterSource {
  public:
    virtual ~AdapterSource() = default;

    // Every interface, whatever its index or state; nullopt when the list cannot be fetched.
    virtual std::optional<std::vector<InterfaceRecord>> interfaces() = 0;
    // Every IPv4 address in the system's order; nullopt when the list cannot be fetched.
    virtual std::optional<std::vector<AddressRow>> ipv4Addresses() = 0;
};

}  // namespace mervane
