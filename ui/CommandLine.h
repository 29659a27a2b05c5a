#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mervane {

inline constexpr int32_t kMinIdentTimeoutMs = 1;
inline constexpr int32_t kMaxIdentTimeoutMs = 19999;

// The window's command line: the switch -T or /T (either case) followed by the identification
// time-out in milliseconds, 1..19999. `args` are the arguments after the program's name, as the
// process received them. Every argument is examined in order; the last one that carries the
// switch with a number in range wins, and anything else is ignored without a word. Returns the
// resulting time-out, `timeoutMs` when no argument changes it.
int32_t parseCommandLine(const std::vector<std::string>& args, int32_t timeoutMs);

}  // namespace mervane
