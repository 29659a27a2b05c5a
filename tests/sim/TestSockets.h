#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/UniqueFd.h"
#include "sim/SimulatedUnit.h"

// Raw loopback sockets for talking to a simulated unit the way the program would.
namespace mervane::sim::testing {

using Bytes = std::vector<uint8_t>;
inline constexpr std::chrono::milliseconds kWait{5000};  // bound for waits, never a measure

// A config on 127.0.0.1 with free ports.
UnitConfig loopbackConfig(int modelIndex, std::array<char, 2> typeCode = {'_', 'W'});

struct Datagram {
    Bytes bytes;
    uint16_t sourcePort = 0;
    std::string sourceAddress;  // dotted
};

UniqueFd udpClient();  // on 127.0.0.1, allowed to broadcast
void sendDatagram(int fd, uint16_t port, const Bytes& bytes);
void sendDatagramTo(int fd, const std::string& address, uint16_t port, const Bytes& bytes);
std::optional<Datagram> receiveDatagram(int fd);

UniqueFd tcpClient(uint16_t port, const std::string& address = "127.0.0.1");
void sendBytes(int fd, const Bytes& bytes);
// Exactly `count` bytes, or fewer when the peer closed or nothing came within kWait.
Bytes receiveBytes(int fd, size_t count);
// True once the peer closed the connection (within kWait).
bool peerClosed(int fd);

// One request and its reply of `replySize` bytes on a fresh or given connection.
Bytes exchange(int fd, const Bytes& request, size_t replySize);

}  // namespace mervane::sim::testing
