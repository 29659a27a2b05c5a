#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <span>
#include <string>

#include "link/UniqueFd.h"
#include "sim/WakeSignal.h"

namespace mervane::sim {

// Dotted IPv4 text to an address. False for anything else (host names are not resolved).
bool parseIpv4(const std::string& text, in_addr& address);

// A bound, non-blocking UDP socket, or an invalid one with the reason in `error`.
UniqueFd openUdpSocket(const in_addr& address, uint16_t port, std::string& error);
// A listening, non-blocking TCP socket (SO_REUSEADDR), or an invalid one with the reason.
UniqueFd openTcpListener(const in_addr& address, uint16_t port, std::string& error);

// The port a socket is bound to, host byte order (0 when unknown).
uint16_t localPort(int fd);

// "127.0.0.1" for an address in network byte order.
std::string dottedAddress(const in_addr& address);

// Sends all of `bytes` on a non-blocking stream socket, waiting for room with poll() next to
// the wake signal. False when the peer is gone or the unit is stopping.
bool sendAll(int fd, std::span<const uint8_t> bytes, const WakeSignal& wake);

}  // namespace mervane::sim
