#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "tests/FakeStream.h"

namespace mervane::fuzzing {

// Reads a fuzzer's bytes front to back. An exhausted input keeps yielding zeros and empty
// pieces, so a target never has to check before it takes.
class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, size_t size) : bytes_(data, size) {}

    bool empty() const { return bytes_.empty(); }
    uint8_t byte() {
        if (bytes_.empty()) return 0;
        const uint8_t b = bytes_.front();
        bytes_ = bytes_.subspan(1);
        return b;
    }
    bool flag() { return (byte() & 1) != 0; }
    std::span<const uint8_t> bytes(size_t count) {
        const auto piece = bytes_.first(std::min(count, bytes_.size()));
        bytes_ = bytes_.subspan(piece.size());
        return piece;
    }
    std::span<const uint8_t> rest() { return bytes(bytes_.size()); }

  private:
    std::span<const uint8_t> bytes_;
};

// The read events a stream plays back, as encoded in fuzz inputs and seeds: a tag byte, then for
// data the tag + 1 bytes of one read.
namespace stream_tag {
inline constexpr uint8_t kTimeOut = 0xFF;
inline constexpr uint8_t kClosed = 0xFE;
inline constexpr uint8_t kReset = 0xFD;
inline constexpr uint8_t kMaxData = 0xFC;  // tags 0..kMaxData: a read of tag + 1 bytes
}  // namespace stream_tag

// Appends the events of `input` (all of it) to `stream`.
void scriptStream(FuzzInput& input, testing::ScriptedStream& stream);

// The encoding of one read of `bytes` (split into several reads when longer than a tag allows),
// for seed files.
std::string encodeRead(std::span<const uint8_t> bytes);

}  // namespace mervane::fuzzing
