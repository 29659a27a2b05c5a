#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mervane::fleet {

// Consecutive IPv4 addresses, host byte order, both ends included.
struct AddressRange {
    uint32_t first = 0;
    uint32_t last = 0;

    uint64_t size() const { return uint64_t{last} - first + 1; }
};

// The widest range a search takes: a /16, 65,536 addresses.
inline constexpr int kWidestPrefix = 16;

// One search target as typed: a dotted IPv4 address, a range a.b.c.d/n (n = 16..32, every
// address of the network a.b.c.d lies in, its first and last included) or a range a.b.c.d-e (the
// last byte from d to e, d <= e <= 255) is read at once; anything else that could be a host name
// is handed back for a lookup. `error` says what is wrong with a malformed target or range, or a
// range wider than /16.
struct TargetText {
    std::optional<AddressRange> range;
    std::string hostName;
    std::string error;
};
TargetText parseTarget(std::string_view text);

// The broadcast address of the subnet of `address` with `mask` (both network byte order).
uint32_t subnetBroadcast(uint32_t address, uint32_t mask);

}  // namespace mervane::fleet
