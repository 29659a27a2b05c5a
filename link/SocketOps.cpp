#include "link/SocketOps.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>
#include <chrono>

#include "link/SocketError.h"
#include "link/Status.h"

namespace mervane {

void bindToLocal(int fd, uint32_t localAddress) {
    // A port taken by bind() stays taken for the minute of TIME_WAIT after its connection
    // closes, whatever the unit; connect() may share one among different units. Reading a plant
    // of 250 units (two connections each) over and over took all 28232 ports of the system's
    // range within a minute, and every connect then failed with 10049.
    const int leavePortToConnect = 1;
    (void)::setsockopt(fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &leavePortToConnect,
                       sizeof leavePortToConnect);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = 0;
    local.sin_addr.s_addr = localAddress;
    (void)::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local);
}

int pollFor(int fd, short events, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd pfd{fd, events, 0};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const int rc = ::poll(&pfd, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
        if (rc < 0 && errno == EINTR) continue;
        return rc;
    }
}

namespace {

void setTimeout(int fd, int option, int ms) {
    timeval tv{};
    tv.tv_sec = ms / 1000;
    tv.tv_usec = (ms % 1000) * 1000;
    (void)::setsockopt(fd, SOL_SOCKET, option, &tv, sizeof tv);
}

// Puts the socket into non-blocking mode for the connect and back when it goes out of scope,
// on every path.
class NonBlockingScope {
  public:
    explicit NonBlockingScope(int fd) : fd_(fd), flags_(::fcntl(fd, F_GETFL)) {
        if (flags_ >= 0 && ::fcntl(fd, F_SETFL, flags_ | O_NONBLOCK) < 0) flags_ = -1;
        error_ = flags_ < 0 ? errno : 0;
    }
    ~NonBlockingScope() {
        if (flags_ >= 0) (void)::fcntl(fd_, F_SETFL, flags_ & ~O_NONBLOCK);
    }
    NonBlockingScope(const NonBlockingScope&) = delete;
    NonBlockingScope& operator=(const NonBlockingScope&) = delete;

    bool ok() const { return flags_ >= 0; }
    int error() const { return error_; }

  private:
    int fd_;
    int flags_;
    int error_ = 0;
};

int fail(int& error, int code) {
    error = code;
    setLastSocketError(code);
    return kStatusFailure;
}

}  // namespace

void setSocketTimeouts(int fd, int sendTimeoutMs, int receiveTimeoutMs) {
    if (sendTimeoutMs > 0) setTimeout(fd, SO_SNDTIMEO, sendTimeoutMs);
    if (receiveTimeoutMs > 0) setTimeout(fd, SO_RCVTIMEO, receiveTimeoutMs);
}

int connectWithTimeout(int fd, const sockaddr_in& remote, int timeoutMs, int& error,
                       const StopSignal* stop, ConnectCall startConnect) {
    error = 0;
    NonBlockingScope nonBlocking(fd);
    if (!nonBlocking.ok()) return fail(error, winsockErrorFromErrno(nonBlocking.error()));

    if (startConnect(fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0) {
        return kStatusOk;  // loopback may complete at once
    }
    // Only EINPROGRESS means "under way". EAGAIN (no free local port, for one) is a failure:
    // waiting on a socket that never started connecting would find it ready and call it connected.
    if (errno != EINPROGRESS)
        return fail(error, winsockErrorFromErrno(errno, SocketCall::kConnect));
    if (stop != nullptr && stop->requested()) return fail(error, wsa::kInterrupted);

    // Any outcome of the wait but "ready" counts as a time-out, as on the event-based layer.
    if (pollFor(fd, POLLOUT, timeoutMs) <= 0) return fail(error, wsa::kTimedOut);

    int pending = 0;
    socklen_t length = sizeof pending;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &length) < 0) {
        return fail(error, winsockErrorFromErrno(errno));
    }
    if (pending != 0) return fail(error, winsockErrorFromErrno(pending, SocketCall::kConnect));
    return kStatusOk;
}

size_t drainInput(int fd) {
    std::array<uint8_t, 4096> scratch{};
    size_t drained = 0;
    for (int round = 0; round < kDrainRounds; ++round) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 1) <= 0) break;
        const ssize_t n = ::recv(fd, scratch.data(), scratch.size(), MSG_DONTWAIT);
        if (n <= 0) break;
        drained += static_cast<size_t>(n);
    }
    return drained;
}

}  // namespace mervane
