#include "fleet/RequestSweep.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <span>

#include "fleet/Discovery.h"
#include "link/SocketOps.h"

namespace mervane::fleet {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::array<uint8_t, 4> kRequestF6{0x00, 0x00, 0x00, 0xF6};
constexpr std::array<uint8_t, 2> kRequestLN{'L', 'N'};
constexpr auto kSecondRequestDelay = std::chrono::milliseconds(10);
constexpr size_t kProgressStep = 256;
// Room for a thousand small replies at once, with the kernel's bookkeeping per datagram.
constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;
constexpr int kSendRetryWaitMs = 20;

// One datagram; a full send buffer is waited out (briefly, and never past a stop) rather than
// losing the request. Other errors (no route, a firewall) lose only this destination's request.
void sendRequest(int fd, uint32_t address, uint16_t port, std::span<const uint8_t> request,
                 StopFlag& stop) {
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port);
    destination.sin_addr.s_addr = address;
    for (int attempt = 0; attempt < 50 && !stop.requested(); ++attempt) {
        const ssize_t n =
            ::sendto(fd, request.data(), request.size(), MSG_NOSIGNAL | MSG_DONTWAIT,
                     reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
        if (n >= 0) return;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOBUFS) return;
        (void)pollFor(fd, POLLOUT, kSendRetryWaitMs);
    }
}

uint16_t boundPort(int fd) {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
    return ntohs(local.sin_port);
}

UniqueFd openBoundSocket(uint32_t localAddress, bool broadcast, std::string& error) {
    UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!fd.valid()) {
        error = std::string("cannot open a UDP socket: ") + std::strerror(errno);
        return fd;
    }
    const int on = 1;
    if (broadcast) (void)::setsockopt(fd.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    // The forced size needs privileges; the plain one is capped by the system's maximum.
    if (::setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUFFORCE, &kReceiveBufferBytes,
                     sizeof kReceiveBufferBytes) != 0) {
        (void)::setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUF, &kReceiveBufferBytes,
                           sizeof kReceiveBufferBytes);
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = localAddress;
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
        error = std::string("cannot talk from ") + text + ": " + std::strerror(errno);
        return UniqueFd();
    }
    return fd;
}

}  // namespace

DestinationList::DestinationList(std::vector<uint32_t> broadcasts, std::vector<AddressRange> ranges)
    : broadcasts_(std::move(broadcasts)), ranges_(std::move(ranges)) {
    size_ = broadcasts_.size();
    for (const AddressRange& range : ranges_)
        size_ += static_cast<size_t>(range.size());
}

uint32_t DestinationList::at(size_t index) const {
    if (index < broadcasts_.size()) return broadcasts_[index];
    index -= broadcasts_.size();
    for (const AddressRange& range : ranges_) {
        if (index < range.size()) return htonl(range.first + static_cast<uint32_t>(index));
        index -= static_cast<size_t>(range.size());
    }
    return 0;
}

UniqueFd openSearchSocket(uint32_t localAddress, uint16_t unitPort, bool broadcast,
                          std::string& error) {
    UniqueFd fd = openBoundSocket(localAddress, broadcast, error);
    if (!fd.valid() || boundPort(fd.get()) != unitPort) return fd;
    // The system's ephemeral range was moved onto the units' port: take another while this one
    // is still held, so that replies never land on a unit beside the search.
    UniqueFd other = openBoundSocket(localAddress, broadcast, error);
    if (other.valid() && boundPort(other.get()) != unitPort) return other;
    error = "no local port other than the units' own is free";
    return UniqueFd();
}

bool sendSearchRequests(int fd, const DestinationList& destinations, uint16_t port, StopFlag& stop,
                        const std::function<void(size_t done)>& sent) {
    const size_t total = destinations.size();
    const Clock::time_point start = Clock::now();
    // Whole milliseconds, so that the sender wakes once per batch rather than per address.
    const auto firstDue = [start](size_t i) {
        return start + std::chrono::milliseconds(i / static_cast<size_t>(kAddressesPerMs));
    };
    const auto secondDue = [&firstDue](size_t i) { return firstDue(i) + kSecondRequestDelay; };

    size_t first = 0;
    size_t second = 0;
    size_t reported = 0;
    while (second < total) {
        const Clock::time_point now = Clock::now();
        for (; first < total && firstDue(first) <= now; ++first)
            sendRequest(fd, destinations.at(first), port, kRequestF6, stop);
        for (; second < first && secondDue(second) <= now; ++second)
            sendRequest(fd, destinations.at(second), port, kRequestLN, stop);
        if (stop.requested()) return false;
        if (sent && (second - reported >= kProgressStep || (second == total && reported < total))) {
            reported = second;
            sent(second);
        }
        if (second == total) break;
        Clock::time_point next = secondDue(second);
        if (first < total) next = std::min(next, firstDue(first));
        if (!stop.sleepUntil(next)) return false;
    }
    return true;
}

}  // namespace mervane::fleet
