#include "sim/UdpService.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>

#include "sim/UnitSockets.h"

namespace mervane::sim {

bool UdpService::open(const in_addr& address, uint16_t port, std::string& error) {
    main_ = openUdpSocket(address, port, error);
    if (!main_.valid()) return false;
    other_ = openUdpSocket(address, 0, error);
    if (!other_.valid()) {
        main_.reset();
        return false;
    }
    return true;
}

uint16_t UdpService::port() const {
    return localPort(main_.get());
}

void UdpService::run() {
    std::array<pollfd, 4> entries{{{wake_.fd(), POLLIN, 0},
                                   {main_.get(), POLLIN, 0},
                                   {other_.get(), POLLIN, 0},
                                   {inbox_.fd(), POLLIN, 0}}};
    for (;;) {
        if (::poll(entries.data(), entries.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (entries[0].revents != 0) return;
        if (entries[1].revents != 0) serve(main_.get());
        if (entries[2].revents != 0) serve(other_.get());
        if (entries[3].revents != 0) {
            while (auto handed = inbox_.take()) {
                answer(handed->bytes, handed->source, main_.get());
            }
        }
    }
}

void UdpService::serve(int fd) {
    std::array<uint8_t, 2048> buffer{};
    sockaddr_in source{};
    socklen_t sourceLength = sizeof source;
    const ssize_t received = ::recvfrom(fd, buffer.data(), buffer.size(), 0,
                                        reinterpret_cast<sockaddr*>(&source), &sourceLength);
    if (received < 0) return;
    answer(std::span(buffer.data(), static_cast<size_t>(received)), source, fd);
}

void UdpService::answer(std::span<const uint8_t> datagram, const sockaddr_in& source, int fd) {
    const std::string name = datagramName(datagram);
    state_.record({ReceivedRecord::Channel::kUdp,
                   0,
                   name,
                   {datagram.begin(), datagram.end()},
                   ntohs(source.sin_port),
                   localPort(fd),
                   dottedAddress(source.sin_addr)});

    const UnitFaults faults = state_.faults();
    const auto reply = datagramReply(name, state_.identity(), faults);
    if (!reply) return;
    if (faults.replyDelayMs > 0 && !wake_.pause(std::chrono::milliseconds(faults.replyDelayMs))) {
        return;
    }
    const int from = isFirstRequest(name) && faults.firstReplyFromOtherPort ? other_.get() : fd;
    ::sendto(from, reply->data(), reply->size(), MSG_NOSIGNAL,
             reinterpret_cast<const sockaddr*>(&source), sizeof source);
}

}  // namespace mervane::sim
