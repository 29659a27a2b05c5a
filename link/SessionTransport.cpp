#include "link/SessionTransport.h"

#include <algorithm>

#include "link/SocketError.h"
#include "link/Status.h"

namespace mervane {

namespace {
constexpr auto kRetryPause = std::chrono::milliseconds(10);
constexpr int kExactAttempts = 2;
constexpr int kFrameReadFailures = 4;
constexpr uint8_t kEchoOffset = 0x20;
}  // namespace

void SessionTransport::pauseBeforeRetry() {
    if (trace_ != nullptr) trace_->paused(kRetryPause.count());
    clock_.pause(kRetryPause);
}

void SessionTransport::traceReceive(long n, std::span<const uint8_t> into) {
    if (trace_ != nullptr && trace_->on()) trace_->received(n, into, n < 0 ? lastSocketError() : 0);
}

int SessionTransport::sendRequest(std::span<const uint8_t> request) {
    if (request.size() > kMaxRequestLength) return kStatusFailure;
    const size_t discarded = io_.discardUnread();
    const long sent = io_.sendSome(request);
    if (trace_ != nullptr) {
        trace_->discarded(discarded);
        trace_->sent(request, sent >= 0, sent < 0 ? lastSocketError() : 0);
    }
    return sent < 0 ? kStatusFailure : kStatusOk;
}

int SessionTransport::receiveExact(std::span<uint8_t> buffer) {
    size_t received = 0;
    for (int attempt = 0; attempt < kExactAttempts; ++attempt) {
        const long n = io_.receiveSome(buffer.subspan(received));
        countReceived(n);
        traceReceive(n, buffer.subspan(received));
        if (n < 0 && lastSocketError() != wsa::kTimedOut) return kStatusFailure;
        if (n > 0) received += static_cast<size_t>(n);
        if (received == buffer.size()) return kStatusOk;
        pauseBeforeRetry();
    }
    return kStatusFailure;
}

size_t SessionTransport::receiveFrame(std::span<const uint8_t, 2> request, FrameBuffer& buffer,
                                      size_t limit) {
    // Take the echo first: callers may receive into the memory that held the request.
    const int echo0 = request[0] + kEchoOffset;
    const int echo1 = request[1] + kEchoOffset;
    size_t budget = std::min(limit, kMaxFrameLimit);

    size_t position = 0;
    int failures = 0;
    for (;;) {
        // position <= non-terminator bytes taken so far <= limit, so this stays inside buffer.
        const long n = io_.receiveSome(std::span<uint8_t>(&buffer[position], 1));
        countReceived(n);
        if (n <= 0) {
            if (trace_ != nullptr) trace_->flushGathered();
            traceReceive(n, {});
            if (++failures == kFrameReadFailures) return 0;
            pauseBeforeRetry();
            continue;
        }
        failures = 0;
        const uint8_t byte = buffer[position++];
        if (trace_ != nullptr) trace_->gather(byte);
        if (byte == kFrameTerminator && position > 1) {
            const bool echoed = position >= 3 && buffer[0] == echo0 && buffer[1] == echo1;
            if (trace_ != nullptr) trace_->flushGathered(echoed ? nullptr : "skipped");
            if (echoed) return position;
            position = 0;  // another command's frame: skip it
            continue;
        }
        // A lone terminator costs budget like any other byte: a unit sending nothing but 0xC8
        // would otherwise keep the read going for as long as it sends.
        if (budget == 0) {
            if (trace_ != nullptr) trace_->flushGathered("over limit");
            return 0;
        }
        --budget;
        if (byte == kFrameTerminator) {
            if (trace_ != nullptr) trace_->flushGathered("skipped");
            position = 0;
        }
    }
}

}  // namespace mervane
