#pragma once

namespace mervane::cli {

// What mervane-cli tells its caller; scripts rely on these values.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;   // the unit or the network failed
inline constexpr int kExitUsage = 2;    // the command line asked for something impossible
inline constexpr int kExitDiffers = 3;  // check: a unit differs from the profile, none failed

}  // namespace mervane::cli
