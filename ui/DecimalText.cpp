#include "ui/DecimalText.h"

#include <limits>

namespace mervane {

int32_t parseDecimalInt32(std::string_view text) {
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
    size_t i = 0;
    while (i < text.size() && isBlankChar(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        // Past -kMin the value saturates whatever digits follow; stopping the growth keeps the
        // 64-bit accumulator from overflowing on arbitrarily long input.
        if (magnitude <= -kMin) magnitude = magnitude * 10 + (text[i] - '0');
    }
    if (negative) return static_cast<int32_t>(-magnitude < kMin ? kMin : -magnitude);
    return static_cast<int32_t>(magnitude > kMax ? kMax : magnitude);
}

}  // namespace mervane
