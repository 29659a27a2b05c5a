#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace mervane {

// Which command forms a model understands, and whether it has automatic ON/OFF at all.
enum class CommandFamily : int32_t {
    kNone = 0,            // no automatic ON/OFF
    kBinary = 1,          // single-byte binary commands
    kBinaryGen3Only = 2,  // the binary commands, on generation-3 units only
    kLetter = 3,          // two-letter commands closed by 0xC8
};

// Generation 4 units carry an ON and an OFF time per output; all others one common interval.
// Generation 0 ("unset") goes with 3 wherever 4 is told from the rest, but never passes a test
// for exactly 3.
enum class UnitGeneration : int32_t { kUnset = 0, kGen3 = 3, kGen4 = 4 };

// One row of the model table. Only outputCount and commandFamily are used by the link;
// auxCount and auxValues are carried as data.
struct ModelRow {
    int32_t outputCount;
    int32_t auxCount;
    CommandFamily commandFamily;
    std::array<int32_t, 6> auxValues;
};

inline constexpr int kModelCount = 32;
inline constexpr int kMaxOutputs = 8;

extern const std::array<ModelRow, kModelCount> ModelTable;

// Two names per model index: entry 2*i is the normal name, 2*i+1 the name shown when the unit
// reported generation 3. "**" marks a model with no generation-3 form, "" an unused index.
extern const std::array<std::string_view, 2 * kModelCount> ModelDisplayNames;

// The row of a model index. An index outside 0..31 (no unit identified) yields an all-zero row,
// which supports nothing and has no outputs.
const ModelRow& modelRow(int32_t modelIndex);

}  // namespace mervane
