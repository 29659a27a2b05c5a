#include "fleet/RequestSweep.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <span>
#include <utility>

#include "fleet/Discovery.h"
#include "link/LinkTrace.h"
#include "link/SocketOps.h"

namespace mervane::fleet {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::array<uint8_t, 4> kRequestF6{0x00, 0x00, 0x00, 0xF6};
constexpr std::array<uint8_t, 2> kRequestLN{'L', 'N'};
constexpr auto kSecondRequestDelay = std::chrono::milliseconds(10);
constexpr size_t kProgressStep = 256;
// Room for a thousand small replies at once, with the kernel's bookkeeping per datagram. The
// send side gets as much: a request to an address of the adapter's own subnet waits in the
// kernel, charged to the socket, until the address is resolved or given up (about 3 s), and a
// range of absent addresses would otherwise fill the buffer and hold every later request.
constexpr int kBufferBytes = 4 * 1024 * 1024;
constexpr int kFullBufferWaitMs = 20;  // between looks at a full buffer, so a stop is seen

// One datagram. A full send buffer, or a full neighbour table (ENOBUFS), is waited out for as long
// as it lasts (a stop ends the wait): what fills them are requests to absent addresses of the
// adapter's own subnet, which the kernel holds about 3 s while it tries to resolve them, and
// giving up would lose the requests to the units behind them. Other errors (no route, a firewall)
// lose only this destination's request.
void sendRequest(int fd, uint32_t address, uint16_t port, std::span<const uint8_t> request,
                 StopFlag& stop, TraceSink* trace) {
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port);
    destination.sin_addr.s_addr = address;
    while (!stop.requested()) {
        const ssize_t n =
            ::sendto(fd, request.data(), request.size(), MSG_NOSIGNAL | MSG_DONTWAIT,
                     reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
        if (n >= 0) {
            if (trace != nullptr) {
                reportDatagram(*trace, TraceKind::kDatagramSent, fd, destination, request);
            }
            return;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            (void)pollFor(fd, POLLOUT, kFullBufferWaitMs);
        } else if (errno == ENOBUFS) {
            (void)stop.sleepUntil(Clock::now() + std::chrono::milliseconds(kFullBufferWaitMs));
        } else if (errno != EINTR) {
            return;
        }
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
    // The forced sizes need privileges; the plain ones are capped by the system's maximum.
    if (::setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUFFORCE, &kBufferBytes, sizeof kBufferBytes) !=
        0) {
        (void)::setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUF, &kBufferBytes, sizeof kBufferBytes);
    }
    if (::setsockopt(fd.get(), SOL_SOCKET, SO_SNDBUFFORCE, &kBufferBytes, sizeof kBufferBytes) !=
        0) {
        (void)::setsockopt(fd.get(), SOL_SOCKET, SO_SNDBUF, &kBufferBytes, sizeof kBufferBytes);
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

// The parts of `range` (host byte order) that `covered` does not hold, in order; then `range` is
// added to `covered`, which stays sorted and merged: one entry per target at most.
std::vector<AddressRange> uncoveredParts(const AddressRange& range,
                                         std::vector<AddressRange>& covered) {
    std::vector<AddressRange> parts;
    uint64_t next = range.first;  // 64 bits: one past 255.255.255.255 must not wrap
    for (const AddressRange& held : covered) {
        if (held.first > range.last) break;
        if (held.last < next) continue;
        if (held.first > next) parts.push_back({static_cast<uint32_t>(next), held.first - 1});
        next = uint64_t{held.last} + 1;
    }
    if (next <= range.last) parts.push_back({static_cast<uint32_t>(next), range.last});

    covered.push_back(range);
    std::sort(covered.begin(), covered.end(),
              [](const AddressRange& a, const AddressRange& b) { return a.first < b.first; });
    std::vector<AddressRange> merged;
    for (const AddressRange& held : covered) {
        if (!merged.empty() && uint64_t{held.first} <= uint64_t{merged.back().last} + 1) {
            merged.back().last = std::max(merged.back().last, held.last);
        } else {
            merged.push_back(held);
        }
    }
    covered = std::move(merged);
    return parts;
}

}  // namespace

DestinationList::DestinationList(const std::vector<uint32_t>& broadcasts,
                                 const std::vector<AddressRange>& ranges) {
    // An address typed again, or lying in two ranges or in a range and a broadcast, is asked
    // where it first comes only: asked twice, a unit would only answer twice.
    std::vector<AddressRange> covered;
    for (const uint32_t broadcast : broadcasts) {
        const uint32_t host = ntohl(broadcast);
        if (!uncoveredParts({host, host}, covered).empty()) broadcasts_.push_back(broadcast);
    }
    for (const AddressRange& range : ranges) {
        for (const AddressRange& part : uncoveredParts(range, covered))
            ranges_.push_back(part);
    }
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
                        const std::function<void(size_t done)>& sent, TraceSink* trace) {
    const size_t total = destinations.size();
    const Clock::time_point start = Clock::now();
    // Whole milliseconds, so that the sender wakes once per batch rather than per address.
    const auto firstDue = [start](size_t i) {
        return start + std::chrono::milliseconds(i / static_cast<size_t>(kAddressesPerMs));
    };

    // Each batch of first requests as it actually went: its end and when. The "LN" of a batch
    // is due 10 ms after that, not after the batch's planned time, so a late batch keeps its gap.
    std::deque<std::pair<size_t, Clock::time_point>> batches;
    size_t first = 0;
    size_t second = 0;
    size_t reported = 0;
    while (second < total) {
        Clock::time_point now = Clock::now();
        if (first < total && firstDue(first) <= now) {
            for (; first < total && firstDue(first) <= now; ++first)
                sendRequest(fd, destinations.at(first), port, kRequestF6, stop, trace);
            now = Clock::now();
            batches.emplace_back(first, now);
        }
        while (!batches.empty() && batches.front().second + kSecondRequestDelay <= now) {
            for (; second < batches.front().first; ++second)
                sendRequest(fd, destinations.at(second), port, kRequestLN, stop, trace);
            batches.pop_front();
        }
        if (stop.requested()) return false;
        if (sent && (second - reported >= kProgressStep || (second == total && reported < total))) {
            reported = second;
            sent(second);
        }
        if (second == total) break;
        Clock::time_point next = batches.empty() ? Clock::time_point::max()
                                                 : batches.front().second + kSecondRequestDelay;
        if (first < total) next = std::min(next, firstDue(first));
        if (!stop.sleepUntil(next)) return false;
    }
    return true;
}

}  // namespace mervane::fleet
