#include "tests/sim/TestSockets.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>
#include <stdexcept>

namespace mervane::sim::testing {

namespace {

sockaddr_in loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

bool readable(int fd) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, static_cast<int>(kWait.count())) > 0;
}

void check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(what);
}

}  // namespace

UnitConfig loopbackConfig(int modelIndex, std::array<char, 2> typeCode) {
    UnitConfig config;
    config.typeCode = typeCode;
    config.modelIndex = modelIndex;
    config.bindAddress = "127.0.0.1";
    config.udpPort = 0;
    config.tcpPort = 0;
    return config;
}

UniqueFd udpClient() {
    UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    check(fd.valid(), "udp socket");
    const sockaddr_in local = loopback(0);
    check(::bind(fd.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0,
          "udp bind");
    const int on = 1;
    check(::setsockopt(fd.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0, "SO_BROADCAST");
    return fd;
}

void sendDatagram(int fd, uint16_t port, const Bytes& bytes) {
    sendDatagramTo(fd, "127.0.0.1", port, bytes);
}

void sendDatagramTo(int fd, const std::string& address, uint16_t port, const Bytes& bytes) {
    sockaddr_in target = loopback(port);
    check(::inet_pton(AF_INET, address.c_str(), &target.sin_addr) == 1, "address");
    const ssize_t sent = ::sendto(fd, bytes.data(), bytes.size(), 0,
                                  reinterpret_cast<const sockaddr*>(&target), sizeof target);
    check(sent == static_cast<ssize_t>(bytes.size()), "sendto");
}

std::optional<Datagram> receiveDatagram(int fd) {
    if (!readable(fd)) return std::nullopt;
    std::array<uint8_t, 2048> buffer{};
    sockaddr_in source{};
    socklen_t length = sizeof source;
    const ssize_t received = ::recvfrom(fd, buffer.data(), buffer.size(), 0,
                                        reinterpret_cast<sockaddr*>(&source), &length);
    if (received < 0) return std::nullopt;
    std::array<char, INET_ADDRSTRLEN> from{};
    ::inet_ntop(AF_INET, &source.sin_addr, from.data(), from.size());
    return Datagram{
        {buffer.begin(), buffer.begin() + received}, ntohs(source.sin_port), from.data()};
}

UniqueFd tcpClient(uint16_t port, const std::string& address) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    check(fd.valid(), "tcp socket");
    sockaddr_in target = loopback(port);
    check(::inet_pton(AF_INET, address.c_str(), &target.sin_addr) == 1, "address");
    check(::connect(fd.get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0,
          "connect");
    return fd;
}

void sendBytes(int fd, const Bytes& bytes) {
    const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    check(sent == static_cast<ssize_t>(bytes.size()), "send");
}

Bytes receiveBytes(int fd, size_t count) {
    Bytes bytes(count);
    size_t have = 0;
    while (have < count && readable(fd)) {
        const ssize_t received = ::recv(fd, bytes.data() + have, count - have, 0);
        if (received < 0 && errno == EINTR) continue;
        if (received <= 0) break;
        have += static_cast<size_t>(received);
    }
    bytes.resize(have);
    return bytes;
}

bool peerClosed(int fd) {
    std::array<uint8_t, 64> buffer{};
    while (readable(fd)) {
        const ssize_t received = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (received == 0 || (received < 0 && errno == ECONNRESET)) return true;
        if (received < 0 && errno != EINTR) return false;
    }
    return false;
}

Bytes exchange(int fd, const Bytes& request, size_t replySize) {
    sendBytes(fd, request);
    return receiveBytes(fd, replySize);
}

}  // namespace mervane::sim::testing
