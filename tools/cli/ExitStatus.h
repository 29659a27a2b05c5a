#pragma once

namespace mervane::cli {

// What mervane-cli tells its caller; scripts rely on these three values.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the unit or the network failed
inline constexpr int kExitUsage = 2;   // the command line asked for something impossible

}  // namespace mervane::cli
