#include "sim/TcpService.h"

#include <arpa/inet.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "sim/UnitSockets.h"

namespace mervane::sim {

bool TcpService::open(const in_addr& address, uint16_t port, std::string& error) {
    listener_ = openTcpListener(address, port, error);
    return listener_.valid();
}

uint16_t TcpService::port() const {
    return localPort(listener_.get());
}

void TcpService::run() {
    for (;;) {
        const short connectionEvents = chattering_ ? POLLIN | POLLOUT : POLLIN;
        std::array<pollfd, 3> entries{{{wake_.fd(), POLLIN, 0},
                                       {listener_.get(), POLLIN, 0},
                                       {connection_.get(), connectionEvents, 0}}};
        // A negative descriptor is skipped by poll().
        if (::poll(entries.data(), entries.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (entries[0].revents != 0) return;
        // Whatever the old connection sent comes before the switch to a new one.
        if ((entries[2].revents & ~POLLOUT) != 0) receive();
        if ((entries[2].revents & POLLOUT) != 0 && connection_.valid()) chatter();
        if (entries[1].revents != 0) accept();
    }
}

void TcpService::accept() {
    sockaddr_in peer{};
    socklen_t peerLength = sizeof peer;
    UniqueFd accepted(::accept4(listener_.get(), reinterpret_cast<sockaddr*>(&peer), &peerLength,
                                SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (!accepted.valid()) return;
    // Split replies must leave as the pieces they were cut into.
    const int on = 1;
    ::setsockopt(accepted.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    connection_ = std::move(accepted);
    connectionNumber_ = state_.acceptConnection();
    requestsOnConnection_ = 0;
    chattering_ = state_.faults().chatter;
    peerPort_ = ntohs(peer.sin_port);
    peerAddress_ = dottedAddress(peer.sin_addr);
    buffer_.clear();
}

void TcpService::receive() {
    const auto space = buffer_.freeSpace();
    const ssize_t received = ::recv(connection_.get(), space.data(), space.size(), 0);
    if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    if (received <= 0) {
        dropConnection();
        return;
    }
    buffer_.commit(static_cast<size_t>(received));
    while (auto request = buffer_.take()) {
        if (!handle(*request)) return;
    }
}

bool TcpService::handle(const TcpRequest& request) {
    state_.record({ReceivedRecord::Channel::kTcp, connectionNumber_, request.command, request.bytes,
                   peerPort_, 0, peerAddress_});
    ++requestsOnConnection_;

    const auto reply = state_.answer(request);
    const UnitFaults faults = state_.faults();
    if (faults.resetOnRequest) {
        resetConnection();
        return false;
    }
    if (reply && faults.closeMidReply) {
        const std::vector<uint8_t> half(reply->begin(),
                                        reply->begin() + static_cast<long>(reply->size() / 2));
        (void)sendReply(half, faults);
        dropConnection();
        return false;
    }
    if (reply && !sendReply(*reply, faults)) {
        dropConnection();
        return false;
    }
    if (faults.closeAfterRequests > 0 && requestsOnConnection_ >= faults.closeAfterRequests) {
        dropConnection();
        return false;
    }
    return true;
}

bool TcpService::sendReply(const std::vector<uint8_t>& reply, const UnitFaults& faults) {
    using std::chrono::milliseconds;
    if (faults.replyDelayMs > 0 && !wake_.pause(milliseconds(faults.replyDelayMs))) return false;
    const std::span<const uint8_t> bytes(reply);
    const size_t piece = faults.splitPieceBytes > 0 ? faults.splitPieceBytes : bytes.size();
    for (size_t at = 0; at < bytes.size(); at += piece) {
        if (at > 0 && faults.splitPauseMs > 0 && !wake_.pause(milliseconds(faults.splitPauseMs))) {
            return false;
        }
        if (!sendAll(connection_.get(), bytes.subspan(at, std::min(piece, bytes.size() - at)),
                     wake_)) {
            return false;
        }
    }
    return true;
}

void TcpService::resetConnection() {
    // A zero linger time makes close() send a reset instead of an orderly end.
    const linger noLinger{1, 0};
    ::setsockopt(connection_.get(), SOL_SOCKET, SO_LINGER, &noLinger, sizeof noLinger);
    dropConnection();
}

void TcpService::chatter() {
    // Never 0xC8, so that no run of it can pass for a reply frame.
    static const std::vector<uint8_t> noise = [] {
        std::vector<uint8_t> bytes(4096);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<uint8_t>('a' + i % 26);
        return bytes;
    }();
    const ssize_t sent =
        ::send(connection_.get(), noise.data(), noise.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) dropConnection();
}

void TcpService::dropConnection() {
    connection_.reset();
    buffer_.clear();
}

}  // namespace mervane::sim
