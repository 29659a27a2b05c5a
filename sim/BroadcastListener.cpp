#include "sim/BroadcastListener.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "sim/UnitSockets.h"

namespace mervane::sim {

std::optional<in_addr> subnetBroadcast(const in_addr& address) {
    // Loopback interfaces carry no broadcast flag, yet the kernel delivers 127.255.255.255 on
    // them to sockets bound to it, which is what a plant on 127/8 needs.
    if ((ntohl(address.s_addr) >> 24) == 127) {
        in_addr loopback{};
        loopback.s_addr = htonl(0x7FFFFFFFU);
        return loopback;
    }
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return std::nullopt;
    std::optional<in_addr> found;
    for (const ifaddrs* entry = list; entry != nullptr && !found; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
        if ((entry->ifa_flags & IFF_BROADCAST) == 0 || entry->ifa_broadaddr == nullptr) continue;
        sockaddr_in held{};
        std::memcpy(&held, entry->ifa_addr, sizeof held);
        if (held.sin_addr.s_addr != address.s_addr) continue;
        sockaddr_in broadcast{};
        std::memcpy(&broadcast, entry->ifa_broadaddr, sizeof broadcast);
        found = broadcast.sin_addr;
    }
    ::freeifaddrs(list);
    return found;
}

BroadcastListener::~BroadcastListener() {
    stop();
}

bool BroadcastListener::start(const in_addr& address, uint16_t port, Sink sink,
                              std::string& error) {
    const std::string where = dottedAddress(address) + ":" + std::to_string(port);
    auto fail = [&](const char* step) {
        error =
            std::string("broadcast listener ") + step + " " + where + ": " + std::strerror(errno);
        socket_.reset();
        wake_.close();
        return false;
    };
    if (!wake_.open()) return fail("eventfd");
    socket_.reset(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!socket_.valid()) return fail("socket");
    const int on = 1;
    if (::setsockopt(socket_.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
        return fail("SO_REUSEADDR");
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr = address;
    local.sin_port = htons(port);
    if (::bind(socket_.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        return fail("bind");
    }
    sink_ = std::move(sink);
    thread_ = std::thread([this] { run(); });
    return true;
}

void BroadcastListener::stop() {
    if (!thread_.joinable()) return;
    wake_.raise();
    thread_.join();
    socket_.reset();
    wake_.close();
    sink_ = nullptr;
}

void BroadcastListener::run() {
    std::array<pollfd, 2> entries{{{wake_.fd(), POLLIN, 0}, {socket_.get(), POLLIN, 0}}};
    std::array<uint8_t, 2048> buffer{};
    for (;;) {
        if (::poll(entries.data(), entries.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (entries[0].revents != 0) return;
        sockaddr_in source{};
        socklen_t sourceLength = sizeof source;
        const ssize_t received = ::recvfrom(socket_.get(), buffer.data(), buffer.size(), 0,
                                            reinterpret_cast<sockaddr*>(&source), &sourceLength);
        if (received >= 0) sink_(std::span(buffer.data(), static_cast<size_t>(received)), source);
    }
}

}  // namespace mervane::sim
