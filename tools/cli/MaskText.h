#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace mervane::cli {

// An --mask value: hexadecimal, with or without 0x, bit 0 = DO1, at most 0xFF. A value of two or
// more decimal digits without 0x is refused when it reads differently as a decimal number
// ("15": 0x15 is DO1, DO3, DO5, while 15 is DO1..DO4), since writing outputs the operator did not
// mean costs more than asking again. The reason, in the words of a usage error, when refused.
std::variant<uint32_t, std::string> parseMask(std::string_view text);

}  // namespace mervane::cli
