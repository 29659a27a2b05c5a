#include "link/SessionSocket.h"

#include <sys/socket.h>

#include <array>
#include <cerrno>
#include <utility>

#include "link/SocketError.h"

namespace mervane {

bool SessionSocket::open() {
    close();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        recordErrno(errno);
        return false;
    }
    handle_.reset(fd);
    if (stopSignal_ != nullptr) stopSignal_->watch(fd);
    return true;
}

void SessionSocket::adopt(UniqueFd connected) {
    close();
    handle_ = std::move(connected);
    if (stopSignal_ != nullptr && handle_.valid()) stopSignal_->watch(handle_.get());
}

void SessionSocket::close() {
    if (!handle_.valid()) return;
    if (stopSignal_ != nullptr) stopSignal_->unwatch(handle_.get());
    handle_.reset();
}

long SessionSocket::sendSome(std::span<const uint8_t> bytes) {
    for (;;) {
        // MSG_NOSIGNAL: a unit that closed the connection is an error to report, not a SIGPIPE.
        const ssize_t n = ::send(handle_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        recordErrno(errno, SocketCall::kTimedTransfer);
        return -1;
    }
}

long SessionSocket::receiveSome(std::span<uint8_t> bytes) {
    for (;;) {
        const ssize_t n = ::recv(handle_.get(), bytes.data(), bytes.size(), 0);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        recordErrno(errno, SocketCall::kTimedTransfer);
        return -1;
    }
}

size_t SessionSocket::discardUnread() {
    // Bounded, so that a unit streaming without pause cannot hold the caller here.
    constexpr int kMaxRounds = 64;
    std::array<uint8_t, 4096> scratch{};
    size_t discarded = 0;
    for (int round = 0; round < kMaxRounds; ++round) {
        const ssize_t n = ::recv(handle_.get(), scratch.data(), scratch.size(), MSG_DONTWAIT);
        if (n <= 0) break;
        discarded += static_cast<size_t>(n);
    }
    return discarded;
}

}  // namespace mervane
