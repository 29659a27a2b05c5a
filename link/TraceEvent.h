#pragma once

#include <netinet/in.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <span>

namespace mervane {

// What a link did on the wire, one step at a time. Reported to a TraceSink when one is set.
enum class TraceKind : uint8_t {
    kDatagramSent,      // UDP request: local, peer, bytes, command
    kDatagramReceived,  // UDP reply: local, peer (its source), bytes, command it answers;
                        // count = its length when longer than the bytes kept
    kConnecting,        // TCP connect started: peer
    kConnected,         // TCP connect done: local, peer
    kConnectFailed,     // TCP connect failed: peer, error
    kSent,              // request on the session: bytes, command
    kSendFailed,        // error
    kReceived,          // bytes of one receive (a frame's one-byte reads gathered), note
    kTimedOut,          // a receive ran out of time (error 10060)
    kPeerClosed,        // a receive found the connection closed by the unit
    kReceiveFailed,     // error
    kPaused,            // the pause before a receive is retried: count = milliseconds
    kDiscarded,         // count = unread bytes thrown away before a request
    kDrained,           // count = bytes thrown away when a session opened
    kClosed,            // the socket was closed
};

// One step. `bytes` points into the link's own buffers and is valid only during
// TraceSink::record(); a sink that keeps the event copies what it needs.
struct TraceEvent {
    TraceKind kind = TraceKind::kClosed;
    std::chrono::steady_clock::time_point at;
    bool datagram = false;          // UDP (identification) rather than the TCP session
    sockaddr_in local{};            // sin_family 0 when not known
    sockaddr_in peer{};             // the unit; sin_family 0 when not known
    std::array<char, 3> command{};  // "OJ", "E1", "F6"...: the request sent or answered; "" none
    std::span<const uint8_t> bytes;
    long count = 0;
    int error = 0;               // Windows Sockets number
    const char* note = nullptr;  // kReceived: why a frame was not taken ("skipped", ...)
};

// Where a link reports its steps. record() is called on whichever thread runs the link (the
// connection worker, the window thread, a fleet job), possibly on several at once: a sink shared
// between links must be thread-safe. It must return promptly, since the link waits for it.
class TraceSink {
  public:
    virtual ~TraceSink() = default;
    virtual void record(const TraceEvent& event) = 0;
};

}  // namespace mervane
