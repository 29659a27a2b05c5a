#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "link/ModelTable.h"

namespace mervane {

// The program's one copy of the unit's automatic ON/OFF settings. Sequences write it field by
// field as each exchange succeeds; nothing clears it between connections. Generation-4 units use
// the per-output times, every other unit the common interval.
struct AutoOnOffSettings {
    int32_t active = 0;         // 0: stopped ("Non-active"); anything else: running ("Active")
    uint32_t enableMask = 0;    // bit i: DO(i+1) takes part
    int32_t intervalIndex = 0;  // index into IntervalList, as the unit reports it (may exceed it)
    std::array<int32_t, kMaxOutputs> onTime{};   // units of 100 ms
    std::array<int32_t, kMaxOutputs> offTime{};  // units of 100 ms
};

// The common intervals a unit knows, in milliseconds. Units are told and report the index.
inline constexpr int kIntervalCount = 32;
inline constexpr std::array<int, kIntervalCount> IntervalList = [] {
    std::array<int, kIntervalCount> list{};
    for (int i = 0; i < 20; ++i)
        list[static_cast<size_t>(i)] = 100 * (i + 1);
    for (int i = 0; i < 12; ++i)
        list[static_cast<size_t>(20 + i)] = 1000 * (i + 3);
    return list;
}();

// ON and OFF times a unit takes, in units of 100 ms: the wire holds one byte, and 0 is refused.
inline constexpr int32_t kMinOnOffTime = 1;
inline constexpr int32_t kMaxOnOffTime = 255;
inline constexpr bool isOnOffTime(int32_t value) {
    return value >= kMinOnOffTime && value <= kMaxOnOffTime;
}

// The interval of an index, or nothing for an index outside the list.
std::optional<int> intervalMs(int32_t intervalIndex);
// The index of an interval, or nothing when the list lacks it.
std::optional<int32_t> intervalIndexOf(int milliseconds);

}  // namespace mervane
