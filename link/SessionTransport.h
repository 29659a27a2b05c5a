#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

#include "link/Clock.h"
#include "link/LinkTrace.h"
#include "link/StreamIo.h"

namespace mervane {

inline constexpr uint8_t kFrameTerminator = 0xC8;
inline constexpr size_t kMaxFrameLimit = 256;
inline constexpr size_t kMaxRequestLength = 8;

// Room for a frame of kMaxFrameLimit non-terminator bytes plus its terminator.
using FrameBuffer = std::array<uint8_t, kMaxFrameLimit + 1>;

// The three ways a command uses the session: one send per request, an exact-length reply, or one
// frame closed by 0xC8 whose first two bytes echo the request's letters in lower case. Knows
// nothing of what the bytes mean. Not thread-safe: one exchange at a time. With `trace`, every
// send, receive, retry pause and discard is reported to it.
class SessionTransport {
  public:
    SessionTransport(StreamIo& io, Clock& clock, LinkTrace* trace = nullptr)
        : io_(io), clock_(clock), trace_(trace) {}

    // One send of the whole request (at most kMaxRequestLength bytes). Only an error counts as
    // failure; a short count is not re-sent. Whatever arrived unread before the request is
    // dropped first: nothing can answer a request not yet sent, so such bytes are a late or
    // overlong reply to an earlier one and must not be taken for this one's.
    int sendRequest(std::span<const uint8_t> request);

    // Fills `buffer` completely in at most two reads, pausing 10 ms after each read that leaves
    // it short. A receive time-out or a closed peer counts as a read of 0 bytes; any other
    // receive error fails at once. Returns 0 or the failure status.
    int receiveExact(std::span<uint8_t> buffer);

    // Reads one byte at a time until a 0xC8 closes a frame whose first two bytes are `request`'s
    // letters plus 0x20; frames with another echo are discarded and reading goes on. `limit`
    // (at most kMaxFrameLimit) bounds the bytes of the whole call, discarded frames and lone
    // 0xC8 bytes included; only a terminator that closes a frame is free. Four failed reads in a
    // row (errors, time-outs or a closed peer), with a 10 ms pause after each of the first three,
    // end the call. Returns the frame length (terminator included) or 0 on failure.
    size_t receiveFrame(std::span<const uint8_t, 2> request, FrameBuffer& buffer, size_t limit);

    // Bytes received so far, over every session: a sign that the unit still answers, for another
    // thread that waits for an exchange to end. Any thread.
    uint64_t bytesReceived() const { return bytesReceived_.load(std::memory_order_relaxed); }

  private:
    void pauseBeforeRetry();
    void traceReceive(long n, std::span<const uint8_t> into);
    void countReceived(long n) {
        if (n > 0) bytesReceived_.fetch_add(static_cast<uint64_t>(n), std::memory_order_relaxed);
    }

    StreamIo& io_;
    Clock& clock_;
    LinkTrace* trace_;
    std::atomic<uint64_t> bytesReceived_{0};
};

}  // namespace mervane
