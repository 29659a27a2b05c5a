#pragma once

#include <netinet/in.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

#include "link/DeviceIdentity.h"
#include "link/TraceEvent.h"

namespace mervane {

// The link's side of the traffic trace: turns what the sockets did into TraceEvents for the sink,
// when one is set. Without a sink every call returns after one atomic load, so the link behaves
// and performs as untraced.
//
// One exchange at a time, like the link; only setSink() may be called from another thread (the
// window turns its log on and off while the worker connects). Session events name the unit by
// the identity's address; datagrams by the address they went to or came from.
class LinkTrace {
  public:
    explicit LinkTrace(const DeviceIdentity& identity) : identity_(identity) {}
    LinkTrace(const LinkTrace&) = delete;
    LinkTrace& operator=(const LinkTrace&) = delete;

    // `sink` (or nullptr: off) must outlive every call that may still reach it.
    void setSink(TraceSink* sink) { sink_.store(sink, std::memory_order_release); }
    bool on() const { return sink_.load(std::memory_order_acquire) != nullptr; }

    // Identification over UDP from socket `fd`.
    // `error`: the Windows Sockets number when the send failed, else 0.
    void datagramSent(int fd, const sockaddr_in& peer, std::span<const uint8_t> bytes, int error);
    // `length`: the datagram's own, which is more than `bytes` when it did not fit.
    void datagramReceived(int fd, const sockaddr_in& source, std::span<const uint8_t> bytes,
                          size_t length);
    // A receive that failed with Windows Sockets `error` (10060: timed out).
    void datagramFailed(const sockaddr_in& peer, int error);
    void datagramSocketClosed(const sockaddr_in& peer);
    // `count` bytes of datagrams already queued, dropped before a request to `peer`; 0: none.
    void datagramsDiscarded(const sockaddr_in& peer, size_t count);
    // The next reply may answer any of the requests before it (the first identification reply
    // answers 00 00 00 F6 or "LN", whichever the unit knows): it is named by none.
    void replyOfEither() { lastCommand_ = {}; }

    // The TCP session (the probe's or the main one).
    void connecting();
    void connectEnded(int fd, int error);  // error 0: connected
    void drained(size_t count);
    void sent(std::span<const uint8_t> request, bool ok, int error);
    void discarded(size_t count);
    // One receive call's result as StreamIo gives it: n > 0 bytes, 0 closed, < 0 `error`.
    void received(long n, std::span<const uint8_t> bytes, int error);
    // A frame is read one byte per call; its bytes are gathered and reported as one receive,
    // before any failure that interrupts it and when it ends (`note`: why it was not taken).
    void gather(uint8_t byte);
    void flushGathered(const char* note = nullptr);
    void paused(long milliseconds);
    void sessionClosed();

  private:
    TraceEvent event(TraceKind kind, bool datagram) const;
    void deliver(TraceEvent& event);

    const DeviceIdentity& identity_;
    std::atomic<TraceSink*> sink_{nullptr};
    std::array<char, 3> lastCommand_{};    // what replies and pauses belong to
    std::array<uint8_t, 264> gathered_{};  // a frame of the largest limit and its terminator
    size_t gatheredLength_ = 0;
};

// Reports one datagram of socket `fd` (kDatagramSent or kDatagramReceived) straight to `sink`, for
// the search, which talks to many units from one socket without a link.
void reportDatagram(TraceSink& sink, TraceKind kind, int fd, const sockaddr_in& peer,
                    std::span<const uint8_t> bytes, size_t length = 0);

// The name a request is known by: its two letters ("OJ", "UU"), the last byte of an
// identification request ("F6"), or the first byte of a binary command ("E1"), in hex.
std::array<char, 3> requestName(std::span<const uint8_t> request);

}  // namespace mervane
