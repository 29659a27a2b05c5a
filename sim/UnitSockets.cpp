#include "sim/UnitSockets.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace mervane::sim {

namespace {

std::string endpointText(const in_addr& address, uint16_t port) {
    std::array<char, INET_ADDRSTRLEN> text{};
    ::inet_ntop(AF_INET, &address, text.data(), text.size());
    return std::string(text.data()) + ":" + std::to_string(port);
}

UniqueFd openBound(int type, const char* what, const in_addr& address, uint16_t port,
                   std::string& error) {
    UniqueFd fd(::socket(AF_INET, type | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    auto fail = [&](const char* step) {
        const int cause = errno;
        error = std::string(what) + " " + step + " " + endpointText(address, port) + ": " +
                std::strerror(cause);
        return UniqueFd();
    };
    if (!fd.valid()) return fail("socket");
    if (type == SOCK_STREAM) {
        const int on = 1;
        if (::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
            return fail("SO_REUSEADDR");
        }
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr = address;
    local.sin_port = htons(port);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        return fail("bind");
    }
    if (type == SOCK_STREAM && ::listen(fd.get(), 4) != 0) return fail("listen");
    return fd;
}

}  // namespace

bool parseIpv4(const std::string& text, in_addr& address) {
    return ::inet_pton(AF_INET, text.c_str(), &address) == 1;
}

UniqueFd openUdpSocket(const in_addr& address, uint16_t port, std::string& error) {
    return openBound(SOCK_DGRAM, "UDP", address, port, error);
}

UniqueFd openTcpListener(const in_addr& address, uint16_t port, std::string& error) {
    return openBound(SOCK_STREAM, "TCP", address, port, error);
}

uint16_t localPort(int fd) {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
    return ntohs(local.sin_port);
}

bool sendAll(int fd, std::span<const uint8_t> bytes, const WakeSignal& wake) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            bytes = bytes.subspan(static_cast<size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return false;
        std::array<pollfd, 2> entries{{{wake.fd(), POLLIN, 0}, {fd, POLLOUT, 0}}};
        if (::poll(entries.data(), entries.size(), -1) < 0 && errno != EINTR) return false;
        if (entries[0].revents != 0) return false;
    }
    return true;
}

std::string dottedAddress(const in_addr& address) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

}  // namespace mervane::sim
