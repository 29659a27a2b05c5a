#include "tests/fuzz/FuzzInput.h"

#include "link/SocketError.h"

namespace mervane::fuzzing {

void scriptStream(FuzzInput& input, testing::ScriptedStream& stream) {
    while (!input.empty()) {
        const uint8_t tag = input.byte();
        switch (tag) {
            case stream_tag::kTimeOut:
                stream.timeOut();
                break;
            case stream_tag::kClosed:
                stream.closed();
                break;
            case stream_tag::kReset:
                stream.error(wsa::kConnectionReset);
                break;
            default: {
                const auto piece = input.bytes(size_t{tag} + 1);
                if (!piece.empty()) stream.bytes(piece);
            }
        }
    }
}

std::string encodeRead(std::span<const uint8_t> bytes) {
    std::string out;
    while (!bytes.empty()) {
        const size_t n = std::min<size_t>(bytes.size(), size_t{stream_tag::kMaxData} + 1);
        out.push_back(static_cast<char>(n - 1));
        out.append(bytes.begin(), bytes.begin() + static_cast<long>(n));
        bytes = bytes.subspan(n);
    }
    return out;
}

}  // namespace mervane::fuzzing
