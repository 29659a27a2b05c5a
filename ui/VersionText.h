#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace mervane {

// The program's version: major, minor, third, fourth.
using VersionWords = std::array<uint16_t, 4>;

// The version the program was built as (set once, in the top-level CMakeLists.txt).
VersionWords programVersionWords();

// "Version 1.11" for 1.1.1.0: the numbers after the point follow each other without separators,
// and the fourth is left out when it is 0 ("Version 1.234" for 1.2.3.4).
std::string formatVersionText(const VersionWords& words);

}  // namespace mervane
