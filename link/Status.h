#pragma once

#include <cstdint>

namespace mervane {

// Every device-link operation returns 0 on success and the general failure status (0x80004005,
// negative as a 32-bit integer) otherwise.
inline constexpr int kStatusOk = 0;
inline constexpr int kStatusFailure = static_cast<int32_t>(0x80004005u);

}  // namespace mervane
