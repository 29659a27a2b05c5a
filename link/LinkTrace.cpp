#include "link/LinkTrace.h"

#include <sys/socket.h>

#include <algorithm>
#include <utility>

#include "link/SocketError.h"

namespace mervane {

namespace {

bool isCapital(uint8_t byte) {
    return byte >= 'A' && byte <= 'Z';
}

sockaddr_in localAddressOf(int fd) {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) local = {};
    return local;
}

}  // namespace

std::array<char, 3> requestName(std::span<const uint8_t> request) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    if (request.empty()) return {};
    if (request.size() >= 2 && isCapital(request[0]) && isCapital(request[1])) {
        return {static_cast<char>(request[0]), static_cast<char>(request[1]), '\0'};
    }
    // Identification requests are 00 00 00 XX; a binary command is its first byte.
    const bool identification = request.size() == 4 && request[0] == 0 && request[1] == 0;
    const uint8_t byte = identification ? request[3] : request[0];
    return {kDigits[byte >> 4], kDigits[byte & 0x0F], '\0'};
}

void reportDatagram(TraceSink& sink, TraceKind kind, int fd, const sockaddr_in& peer,
                    std::span<const uint8_t> bytes, size_t length) {
    TraceEvent e;
    e.kind = kind;
    e.datagram = true;
    e.local = localAddressOf(fd);
    e.peer = peer;
    if (kind == TraceKind::kDatagramSent) e.command = requestName(bytes);
    e.bytes = bytes;
    if (length > bytes.size()) e.count = static_cast<long>(length);
    e.at = std::chrono::steady_clock::now();
    sink.record(e);
}

TraceEvent LinkTrace::event(TraceKind kind, bool datagram) const {
    TraceEvent e;
    e.kind = kind;
    e.datagram = datagram;
    e.command = lastCommand_;
    if (!datagram) e.peer = identity_.unitAddress;
    return e;
}

void LinkTrace::deliver(TraceEvent& e) {
    TraceSink* sink = sink_.load(std::memory_order_acquire);
    if (sink == nullptr) return;
    e.at = std::chrono::steady_clock::now();
    sink->record(e);
}

void LinkTrace::datagramSent(int fd, const sockaddr_in& peer, std::span<const uint8_t> bytes,
                             int error) {
    lastCommand_ = requestName(bytes);
    if (!on()) return;
    TraceEvent e = event(error == 0 ? TraceKind::kDatagramSent : TraceKind::kSendFailed, true);
    e.local = localAddressOf(fd);
    e.peer = peer;
    e.bytes = bytes;
    e.error = error;
    deliver(e);
}

void LinkTrace::datagramReceived(int fd, const sockaddr_in& source, std::span<const uint8_t> bytes,
                                 size_t length) {
    if (!on()) return;
    TraceEvent e = event(TraceKind::kDatagramReceived, true);
    e.local = localAddressOf(fd);
    e.peer = source;
    e.bytes = bytes;
    if (length > bytes.size()) e.count = static_cast<long>(length);
    deliver(e);
}

void LinkTrace::datagramFailed(const sockaddr_in& peer, int error) {
    if (!on()) return;
    TraceEvent e =
        event(error == wsa::kTimedOut ? TraceKind::kTimedOut : TraceKind::kReceiveFailed, true);
    e.peer = peer;
    e.error = error;
    deliver(e);
}

void LinkTrace::datagramSocketClosed(const sockaddr_in& peer) {
    if (!on()) return;
    TraceEvent e = event(TraceKind::kClosed, true);
    e.peer = peer;
    e.command = {};
    deliver(e);
}

void LinkTrace::datagramsDiscarded(const sockaddr_in& peer, size_t count) {
    if (count == 0 || !on()) return;
    TraceEvent e = event(TraceKind::kDiscarded, true);
    e.peer = peer;
    e.count = static_cast<long>(count);
    deliver(e);
}

void LinkTrace::connecting() {
    lastCommand_ = {};
    if (!on()) return;
    TraceEvent e = event(TraceKind::kConnecting, false);
    deliver(e);
}

void LinkTrace::connectEnded(int fd, int error) {
    if (!on()) return;
    TraceEvent e = event(error == 0 ? TraceKind::kConnected : TraceKind::kConnectFailed, false);
    if (error == 0) e.local = localAddressOf(fd);
    e.error = error;
    deliver(e);
}

void LinkTrace::drained(size_t count) {
    if (!on()) return;
    TraceEvent e = event(TraceKind::kDrained, false);
    e.count = static_cast<long>(count);
    deliver(e);
}

void LinkTrace::sent(std::span<const uint8_t> request, bool ok, int error) {
    lastCommand_ = requestName(request);
    gatheredLength_ = 0;
    if (!on()) return;
    TraceEvent e = event(ok ? TraceKind::kSent : TraceKind::kSendFailed, false);
    e.bytes = request;
    e.error = ok ? 0 : error;
    deliver(e);
}

void LinkTrace::discarded(size_t count) {
    if (count == 0 || !on()) return;
    TraceEvent e = event(TraceKind::kDiscarded, false);
    e.count = static_cast<long>(count);
    deliver(e);
}

void LinkTrace::received(long n, std::span<const uint8_t> bytes, int error) {
    if (!on()) return;
    TraceKind kind = TraceKind::kReceived;
    if (n == 0) kind = TraceKind::kPeerClosed;
    if (n < 0) kind = error == wsa::kTimedOut ? TraceKind::kTimedOut : TraceKind::kReceiveFailed;
    TraceEvent e = event(kind, false);
    if (n > 0) e.bytes = bytes.first(std::min(static_cast<size_t>(n), bytes.size()));
    if (n < 0) e.error = error;
    deliver(e);
}

void LinkTrace::gather(uint8_t byte) {
    if (gatheredLength_ < gathered_.size()) gathered_[gatheredLength_++] = byte;
}

void LinkTrace::flushGathered(const char* note) {
    if (gatheredLength_ == 0) return;
    const size_t length = std::exchange(gatheredLength_, 0);
    if (!on()) return;
    TraceEvent e = event(TraceKind::kReceived, false);
    e.bytes = std::span<const uint8_t>(gathered_).first(length);
    e.note = note;
    deliver(e);
}

void LinkTrace::paused(long milliseconds) {
    if (!on()) return;
    TraceEvent e = event(TraceKind::kPaused, false);
    e.count = milliseconds;
    deliver(e);
}

void LinkTrace::sessionClosed() {
    if (!on()) return;
    TraceEvent e = event(TraceKind::kClosed, false);
    e.command = {};
    deliver(e);
}

}  // namespace mervane
