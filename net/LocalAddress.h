#pragma once

#include <cstdint>

namespace mervane {

// Whether this machine has the IPv4 address `address` (network byte order), so that a socket can
// be bound to it: tried with a UDP socket bound to port 0, which sends nothing. Only the system's
// "no such address" counts as no; a machine out of sockets is not taken to lack the address.
bool isLocalAddress(uint32_t address);

}  // namespace mervane
