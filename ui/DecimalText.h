#pragma once

#include <cstdint>
#include <string_view>

namespace mervane {

// White space as the C library's isspace sees it in the "C" locale.
constexpr bool isBlankChar(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A number typed by the operator or given on the command line, read the way the C library's
// atoi family reads it: leading white space skipped, an optional sign, then decimal digits up to
// the first other character. No digits give 0; a value beyond the 32-bit range saturates at the
// nearest limit instead of wrapping.
int32_t parseDecimalInt32(std::string_view text);

}  // namespace mervane
