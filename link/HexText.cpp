#include "link/HexText.h"

namespace mervane {

namespace {

int hexDigitValue(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool isBlank(uint8_t c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

std::array<uint8_t, 2> hexByteText(uint32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {static_cast<uint8_t>(kDigits[(value >> 4) & 0x0F]),
            static_cast<uint8_t>(kDigits[value & 0x0F])};
}

int parseHexPair(uint8_t high, uint8_t low) {
    const std::array<uint8_t, 2> text{high, low};
    size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    int value = 0;
    for (; i < text.size(); ++i) {
        const int digit = hexDigitValue(text[i]);
        if (digit < 0) break;
        value = value * 16 + digit;
    }
    return value;
}

}  // namespace mervane
