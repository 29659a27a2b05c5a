#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace mervane {

// The value's low byte as two upper-case hexadecimal digits, high digit first (0x0A -> "0A").
std::array<uint8_t, 2> hexByteText(uint32_t value);

// Reads two received characters as an unsigned hexadecimal number: leading blanks skipped,
// reading stops at the first character that is not a hexadecimal digit (either case); nothing
// readable gives 0. Always 0..255.
int parseHexPair(uint8_t high, uint8_t low);

}  // namespace mervane
