#pragma once

#include <arpa/inet.h>

#include <optional>
#include <string>
#include <vector>

#include "net/AdapterSource.h"

namespace mervane::testing {

// A made-up machine. A list set to nullopt cannot be fetched.
class FakeAdapterSource final : public AdapterSource {
  public:
    std::optional<std::vector<InterfaceRecord>> interfaceList = std::vector<InterfaceRecord>{};
    std::optional<std::vector<AddressRow>> addressRows = std::vector<AddressRow>{};

    std::optional<std::vector<InterfaceRecord>> interfaces() override { return interfaceList; }
    std::optional<std::vector<AddressRow>> ipv4Addresses() override { return addressRows; }
};

// An interface that can reach a unit: operational, with a hardware address, at 1 Gb/s, driven by
// "e1000e" and named "eth<index>".
inline InterfaceRecord ethernet(uint32_t index, std::string friendlyName = "Ethernet") {
    InterfaceRecord record;
    record.index = index;
    record.operational = true;
    record.hardwareAddress = {0x52, 0x54, 0x00, 0x12, 0x34, static_cast<uint8_t>(index)};
    record.speedBitsPerSecond = 1'000'000'000;
    record.description = "e1000e";
    record.name = "eth" + std::to_string(index);
    record.friendlyName = std::move(friendlyName);
    return record;
}

// The loopback interface as Linux reports it: up, with an all-zero hardware address.
inline InterfaceRecord loopback(uint32_t index = 1) {
    InterfaceRecord record;
    record.index = index;
    record.operational = true;
    record.hardwareAddress = std::vector<uint8_t>(6, 0);
    record.description = "lo";
    record.name = "lo";
    return record;
}

inline uint32_t ipv4(const char* dotted) {
    in_addr address{};
    inet_pton(AF_INET, dotted, &address);
    return address.s_addr;
}

inline AddressRow addressRow(const char* dotted, uint32_t ifIndex,
                             const char* mask = "255.255.255.0") {
    return {ipv4(dotted), ifIndex, ipv4(mask)};
}

}  // namespace mervane::testing
