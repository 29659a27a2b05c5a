#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

#include "link/Clock.h"
#include "link/StreamIo.h"

namespace mervane::testing {

// "6F 6A 28 C8" -> bytes.
std::vector<uint8_t> fromHex(std::string_view hex);

// A byte stream that plays back a script of read outcomes and records every send. An exhausted
// script behaves like a silent unit: every further read times out.
class ScriptedStream final : public StreamIo {
  public:
    ScriptedStream& data(std::string_view hex);  // one read's worth (split if read asks less)
    ScriptedStream& bytes(std::span<const uint8_t> raw);  // the same, given as bytes
    ScriptedStream& timeOut();                            // one read fails with 10060
    ScriptedStream& error(int winsockError);              // one read fails with another error
    ScriptedStream& closed();                             // one read returns 0
    void failSends(int winsockError) { sendError_ = winsockError; }

    long sendSome(std::span<const uint8_t> bytes) override;
    long receiveSome(std::span<uint8_t> bytes) override;
    // A script plays what arrives after each request, so there is never anything stale.
    size_t discardUnread() override { return 0; }

    const std::vector<uint8_t>& sent() const { return sent_; }
    int sendCalls() const { return sendCalls_; }
    int receiveCalls() const { return receiveCalls_; }
    size_t unreadBytes() const;

  private:
    struct Event {
        enum class Kind { kData, kError, kClosed } kind;
        std::vector<uint8_t> bytes;
        int error = 0;
    };
    std::deque<Event> script_;
    std::vector<uint8_t> sent_;
    int sendError_ = 0;
    int sendCalls_ = 0;
    int receiveCalls_ = 0;
};

// Counts pauses instead of sleeping.
class CountingClock final : public Clock {
  public:
    void pause(std::chrono::milliseconds duration) override {
        ++pauses;
        total += duration;
    }
    int pauses = 0;
    std::chrono::milliseconds total{0};
};

}  // namespace mervane::testing
