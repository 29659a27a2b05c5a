#include "link/Identification.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <span>

#include "link/HostLookup.h"
#include "link/SocketError.h"
#include "link/SocketOps.h"
#include "link/Status.h"
#include "link/UniqueFd.h"

namespace mervane {

namespace {

constexpr auto kRequestPause = std::chrono::milliseconds(10);
constexpr int kProbeReceiveTimeoutMs = 1000;
constexpr size_t kTypeCodeOffset = 8;
// Datagrams dropped at most before a later request: a unit answering both first requests leaves
// one; a few more cost nothing, and the cap keeps a flooding sender from holding the call.
constexpr int kMaxStaleDatagrams = 16;

constexpr std::array<uint8_t, 4> kRequestF6{0x00, 0x00, 0x00, 0xF6};
constexpr std::array<uint8_t, 2> kRequestLN{'L', 'N'};
constexpr std::array<uint8_t, 4> kRequestF8{0x00, 0x00, 0x00, 0xF8};
constexpr std::array<uint8_t, 4> kRequestF4{0x00, 0x00, 0x00, 0xF4};
constexpr std::array<uint8_t, 4> kRequestE7{0x00, 0x00, 0x00, 0xE7};

// One identification conversation over a UDP socket owned by the caller: the requests go to
// whoever answered last (at first, the address the operator typed). Destroyed before its socket
// closes, which it reports to the trace.
class UdpExchange {
  public:
    UdpExchange(const StopSignal& stop, LinkTrace& trace, int fd, const sockaddr_in& destination)
        : stop_(stop), trace_(trace), fd_(fd), destination_(destination) {}
    ~UdpExchange() { trace_.datagramSocketClosed(destination_); }
    UdpExchange(const UdpExchange&) = delete;
    UdpExchange& operator=(const UdpExchange&) = delete;

    const sockaddr_in& destination() const { return destination_; }
    std::span<const uint8_t> lastReply() const {
        return std::span<const uint8_t>(reply_).first(replyLength_);
    }

    void send(std::span<const uint8_t> request) {
        // Results are not acted on: a lost request shows up as a missing reply. The trace says
        // which it was.
        const ssize_t n =
            ::sendto(fd_, request.data(), request.size(), MSG_NOSIGNAL,
                     reinterpret_cast<const sockaddr*>(&destination_), sizeof destination_);
        trace_.datagramSent(fd_, destination_, request, n < 0 ? winsockErrorFromErrno(errno) : 0);
    }

    // Sends a request that only the datagrams after it can answer: whatever is already queued
    // (the reply to the other first request, when a unit answers both) is dropped first, without
    // waiting, so that it is not taken for this request's reply.
    void sendAfterDroppingQueued(std::span<const uint8_t> request) {
        std::array<uint8_t, 1> scratch{};
        size_t dropped = 0;
        for (int i = 0; i < kMaxStaleDatagrams; ++i) {
            // MSG_TRUNC gives the datagram's own length, for the trace.
            const ssize_t n = ::recv(fd_, scratch.data(), scratch.size(), MSG_DONTWAIT | MSG_TRUNC);
            if (n < 0) break;
            dropped += static_cast<size_t>(n);
        }
        trace_.datagramsDiscarded(destination_, dropped);
        send(request);
    }

    // Receives one datagram of at most `capacity` bytes (a longer one fails) and makes its
    // source the destination of the next request. Bounded by the socket's receive time-out.
    bool receive(size_t capacity) {
        if (stop_.requested()) return false;
        capacity = std::min(capacity, reply_.size());
        sockaddr_in source{};
        socklen_t length = sizeof source;
        ssize_t n = -1;
        do {
            // MSG_TRUNC gives the datagram's real length, so an oversized one is told apart.
            n = ::recvfrom(fd_, reply_.data(), capacity, MSG_TRUNC,
                           reinterpret_cast<sockaddr*>(&source), &length);
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            recordErrno(errno, SocketCall::kTimedTransfer);
            trace_.datagramFailed(destination_, lastSocketError());
            return false;
        }
        if (stop_.requested()) return false;  // a shutdown makes the receive return empty
        const size_t kept = std::min(static_cast<size_t>(n), capacity);
        trace_.datagramReceived(fd_, source, std::span<const uint8_t>(reply_).first(kept),
                                static_cast<size_t>(n));
        if (static_cast<size_t>(n) > capacity) {
            setLastSocketError(wsa::kMessageSize);
            trace_.datagramFailed(source, wsa::kMessageSize);
            return false;
        }
        replyLength_ = static_cast<size_t>(n);
        if (length >= sizeof source && source.sin_family == AF_INET) destination_ = source;
        return true;
    }

    // Waits until the first reply is readable, at most `timeoutMs`.
    bool waitForFirstReply(int timeoutMs) {
        const int rc = pollFor(fd_, POLLIN, std::max(timeoutMs, 0));
        if (rc > 0) return true;
        setLastSocketError(rc == 0 ? wsa::kTimedOut : winsockErrorFromErrno(errno));
        trace_.datagramFailed(destination_, lastSocketError());
        return false;
    }

  private:
    const StopSignal& stop_;
    LinkTrace& trace_;
    int fd_;
    sockaddr_in destination_;
    std::array<uint8_t, kE7ReplyMax> reply_{};  // the largest reply the exchange takes
    size_t replyLength_ = 0;
};

void recordFirstReply(DeviceIdentity& identity, const UdpExchange& exchange) {
    identity.unitAddress = exchange.destination();
    const auto reply = exchange.lastReply();
    // A reply too short to carry the type code leaves zeros, which match no known type.
    identity.typeCode = {};
    if (reply.size() > kTypeCodeOffset + 1) {
        identity.typeCode = {static_cast<char>(reply[kTypeCodeOffset]),
                             static_cast<char>(reply[kTypeCodeOffset + 1])};
    }
}

bool typeCodeIs(const DeviceIdentity& identity, const char (&code)[3]) {
    return identity.typeCode[0] == code[0] && identity.typeCode[1] == code[1];
}

bool extendedExchange(DeviceIdentity& identity, UdpExchange& exchange) {
    exchange.sendAfterDroppingQueued(kRequestF8);
    if (!exchange.receive(kF8ReplyMax)) return false;
    if (typeCodeIs(identity, "_L")) {
        identity.generation = UnitGeneration::kGen3;
        return true;
    }
    if (typeCodeIs(identity, "_W")) {
        identity.generation = UnitGeneration::kGen4;
        return true;
    }
    if (typeCodeIs(identity, "X6")) {
        exchange.sendAfterDroppingQueued(kRequestF4);
        if (!exchange.receive(kF4ReplyMax)) return false;
    }
    exchange.sendAfterDroppingQueued(kRequestE7);
    return exchange.receive(kE7ReplyMax);
}

// A short session on the operator's TCP port that asks the unit who it is. The session socket
// is closed again whatever the outcome.
int probeUnit(DeviceLink& link, const ProbeSessionStep& onProbeSession) {
    SessionSocket& socket = link.sessionSocket();
    if (link.stopSignal().requested() || !socket.open()) return kStatusFailure;
    const int fd = socket.fd();
    bindToLocal(fd, link.localBindAddress());
    setSocketTimeouts(fd, 0, kProbeReceiveTimeoutMs);
    DeviceIdentity& identity = link.identity();
    int error = 0;
    int result = link.connectSession(identity.unitAddress, identity.identTimeoutMs, error);
    if (result == kStatusOk && !link.stopSignal().requested()) {
        link.drainSession();
        result = link.commands().queryUnit();
        if (result == kStatusOk && onProbeSession) result = onProbeSession();
    }
    link.closeSession();
    return link.stopSignal().requested() ? kStatusFailure : result;
}

// The socket every identification talks from: bound to the link's local address, any port, with
// the receive time-out that bounds each reply. Invalid (the reason recorded) when it cannot open.
UniqueFd openIdentificationSocket(const DeviceLink& link, int32_t identTimeoutMs) {
    UniqueFd udp(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!udp.valid()) {
        recordErrno(errno);
        return udp;
    }
    setSocketTimeouts(udp.get(), 0, identTimeoutMs);
    bindToLocal(udp.get(), link.localBindAddress());
    return udp;
}

// From the first reply on: the later requests, the TCP port, the probe.
int finishIdentification(DeviceLink& link, UdpExchange& exchange, uint32_t port,
                         const ProbeSessionStep& onProbeSession) {
    DeviceIdentity& identity = link.identity();
    if (!extendedExchange(identity, exchange)) return kStatusFailure;
    identity.unitAddress.sin_port = htons(static_cast<uint16_t>(port));
    return probeUnit(link, onProbeSession);
}

// Port 0 (an empty or non-numeric field) and anything beyond 16 bits name no port: cutting a
// larger value down would quietly connect somewhere the operator did not type.
bool namesAPort(uint32_t port) {
    return port != 0 && port <= 0xFFFF;
}

}  // namespace

int identifyUnit(DeviceLink& link, int32_t identTimeoutMs, uint32_t port,
                 const std::string& addressText) {
    if (!namesAPort(port)) return kStatusFailure;
    identTimeoutMs = std::max(identTimeoutMs, 1);  // a socket time-out of 0 would never end
    DeviceIdentity& identity = link.identity();
    resetIdentity(identity, identTimeoutMs);

    const UniqueFd udp = openIdentificationSocket(link, identTimeoutMs);
    if (!udp.valid()) return kStatusFailure;
    const int fd = udp.get();
    StopWatchGuard watching(link.stopSignal(), fd);  // declared after its socket: unwatched first

    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(link.identificationPort());
    const HostLookupResult host = lookUpHost(addressText, link.hostResolver(), link.stopSignal());
    if (!host.found) return kStatusFailure;
    destination.sin_addr = host.address;
    UdpExchange exchange(link.stopSignal(), link.trace(), fd, destination);

    exchange.send(kRequestF6);
    link.clock().pause(kRequestPause);
    exchange.send(kRequestLN);
    link.clock().pause(kRequestPause);
    link.trace().replyOfEither();

    if (link.stopSignal().requested()) return kStatusFailure;
    if (!exchange.waitForFirstReply(identTimeoutMs)) return kStatusFailure;
    if (!exchange.receive(kFirstReplyMax)) return kStatusFailure;
    recordFirstReply(identity, exchange);
    return finishIdentification(link, exchange, port, {});
}

int identifyAnsweredUnit(DeviceLink& link, int32_t identTimeoutMs, uint32_t port,
                         const sockaddr_in& replySource, std::array<char, 2> typeCode,
                         const ProbeSessionStep& onProbeSession) {
    if (!namesAPort(port)) return kStatusFailure;
    identTimeoutMs = std::max(identTimeoutMs, 1);
    DeviceIdentity& identity = link.identity();
    resetIdentity(identity, identTimeoutMs);
    identity.unitAddress = replySource;
    identity.typeCode = typeCode;

    const UniqueFd udp = openIdentificationSocket(link, identTimeoutMs);
    if (!udp.valid()) return kStatusFailure;
    StopWatchGuard watching(link.stopSignal(), udp.get());
    if (link.stopSignal().requested()) return kStatusFailure;
    UdpExchange exchange(link.stopSignal(), link.trace(), udp.get(), replySource);
    return finishIdentification(link, exchange, port, onProbeSession);
}

}  // namespace mervane
