// The session's framing under any byte stream, split into reads however the fuzzer likes, with
// time-outs, resets and a closing peer between them.
//
// Input: two request letters, the frame limit, the exact length, then the stream's read events.

#include <cstdlib>

#include "link/SessionTransport.h"
#include "tests/fuzz/FuzzInput.h"

using namespace mervane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::FuzzInput input(data, size);
    const std::array<uint8_t, 2> request{input.byte(), input.byte()};
    const size_t limit = size_t{input.byte()} + 1;  // 1..256, the commands' range
    const size_t exactLength = input.byte() % 8 + 1;
    testing::ScriptedStream stream;
    fuzzing::scriptStream(input, stream);
    testing::CountingClock clock;
    SessionTransport transport(stream, clock);

    FrameBuffer frame{};
    const size_t length = transport.receiveFrame(request, frame, limit);
    if (length != 0) {
        // Only a whole frame with the request's echo comes back, never more than the limit.
        if (length < 3 || length - 1 > limit) std::abort();
        if (frame[length - 1] != kFrameTerminator) std::abort();
        if (frame[0] != uint8_t(request[0] + 0x20) || frame[1] != uint8_t(request[1] + 0x20)) {
            std::abort();
        }
    }
    // Every read either takes a byte counted against the limit, ends a discarded frame, or fails;
    // the reader gives up after four failures in a row. So the reads are bounded by the input.
    if (stream.receiveCalls() > 4 * (static_cast<int>(size) + 1)) std::abort();

    std::array<uint8_t, 8> exact{};
    (void)transport.receiveExact(std::span(exact).first(exactLength));
    return 0;
}
