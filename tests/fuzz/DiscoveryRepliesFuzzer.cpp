// A search's replies, any number from any sources, of any size and content, against a plain model
// of what must come out: one unit per source whose first fitting datagram made it one, never
// more units than the cap, and every other datagram counted where it belongs.

#include <arpa/inet.h>

#include <cstdlib>
#include <map>
#include <vector>

#include "fleet/ReplyCollector.h"
#include "tests/fuzz/FuzzInput.h"

namespace {

using mervane::fleet::ReplyCollector;

void check(bool holds) {
    if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    mervane::fuzzing::FuzzInput input(data, size);
    const size_t capacity = 1 + input.byte() % 16;
    ReplyCollector collector(capacity);

    std::map<uint32_t, std::array<char, 2>> model;  // source address -> type code
    std::vector<uint32_t> order;
    size_t oversized = 0;
    size_t beyondCap = 0;
    while (!input.empty()) {
        sockaddr_in source{};
        source.sin_family = AF_INET;
        source.sin_addr.s_addr = htonl(0x7F000000U | input.byte() % 32);
        source.sin_port = htons(input.byte());
        // The real length may run past the bytes kept, as a truncated receive reports it.
        const size_t length = input.byte() % 48;
        const auto bytes = input.bytes(std::min<size_t>(length, input.byte() % 48));

        const auto verdict = collector.take(source, bytes, length);
        const uint32_t key = source.sin_addr.s_addr;
        if (length > 30) {
            ++oversized;
            check(verdict == ReplyCollector::Verdict::kOversized);
        } else if (model.contains(key)) {
            check(verdict == ReplyCollector::Verdict::kDuplicate);
        } else if (model.size() >= capacity) {
            ++beyondCap;
            check(verdict == ReplyCollector::Verdict::kBeyondCap);
        } else {
            check(verdict == ReplyCollector::Verdict::kNewUnit);
            std::array<char, 2> code{};
            if (length > 9 && bytes.size() > 9) {
                code = {static_cast<char>(bytes[8]), static_cast<char>(bytes[9])};
            }
            model[key] = code;
            order.push_back(key);
        }
    }
    const auto& units = collector.units();
    check(units.size() == order.size() && units.size() <= capacity);
    for (size_t i = 0; i < units.size(); ++i) {
        check(units[i].source.sin_addr.s_addr == order[i]);
        check(units[i].typeCode == model[order[i]]);
        check(!units[i].probed && units[i].error.empty());
    }
    check(collector.oversized() == oversized && collector.beyondCap() == beyondCap);
    return 0;
}
