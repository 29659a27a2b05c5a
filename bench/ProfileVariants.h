#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/SimulatedPlant.h"

namespace mervane::bench {

// The mask and times a profile writes to a generation-4 unit: DO(i+1) ON for timeBase + i and
// OFF for timeBase + 1 + i (units of 100 ms).
struct ProfileVariant {
    uint8_t enableMask;
    uint8_t timeBase;

    uint8_t onTime(size_t i) const { return static_cast<uint8_t>(timeBase + i); }
    uint8_t offTime(size_t i) const { return static_cast<uint8_t>(timeBase + 1 + i); }
};

// Two profiles apart in the mask and in every time, so that writing either to units that hold
// the other changes everything an apply writes.
inline constexpr std::array<ProfileVariant, 2> kProfileVariants{{{0x5A, 2}, {0xA5, 12}}};

// The JSON object `mervane-cli --json read` printed for one unit (`readOutput`) with the
// variant's mask and times, one line; "" when `readOutput` is not such an object.
std::string variantProfileText(const std::string& readOutput, const ProfileVariant& variant);

// Sets units 0..count-1 of a running plant to the variant's mask and times, leaving the rest of
// their settings alone.
void holdVariant(sim::SimulatedPlant& plant, size_t count, const ProfileVariant& variant);
// Whether units 0..count-1 all hold the variant's mask and times.
bool holdsVariant(const sim::SimulatedPlant& plant, size_t count, const ProfileVariant& variant);

}  // namespace mervane::bench
