#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "link/AutoOnOffSettings.h"
#include "link/DeviceIdentity.h"

namespace mervane::fleet {

// A unit's automatic ON/OFF settings kept in a file: the JSON object `mervane-cli --json read`
// prints. Of it only these are used; the keys describing the unit it came from are not.
struct Profile {
    bool active = false;
    uint32_t enableMask = 0;  // 0x00..0xFF, bit 0 = DO1
    // Per-output ON and OFF times from DO1 on, units of 100 ms (0..255 as a unit may report
    // them), of equal length 1..8; empty in a profile with a common interval.
    std::vector<int32_t> onTime;
    std::vector<int32_t> offTime;
    // The common interval as an index into IntervalList (0..255 as a unit may report it); absent
    // in a profile with per-output times.
    std::optional<int32_t> intervalIndex;

    bool hasTimes() const { return !onTime.empty(); }
};

inline constexpr size_t kMaxProfileBytes = 64 * 1024;  // far above any profile; bounds the read

enum class ProfileFault {
    kUnreadable,  // the file cannot be opened or read
    kNotJson,     // a syntax error (line and column given)
    kNotObject,   // valid JSON, but not an object
    kMissingKey,  // a key the profile needs is absent
    kWrongType,   // a key holds the wrong kind of value, or the timing keys contradict each other
    kOutOfRange,  // a number outside what the key admits
    kTooLarge,    // the file is larger than kMaxProfileBytes
};

// Why a profile was not read. The line and column are 1-based and known for syntax errors and
// numbers too large to hold (0 otherwise).
struct ProfileError {
    ProfileFault fault = ProfileFault::kNotJson;
    std::string key;  // the key concerned, where there is one ("onTime", ...)
    int line = 0;
    int column = 0;
    std::string detail;  // English, one line: what is wrong
};

using ProfileReading = std::variant<Profile, ProfileError>;

// Pure: reads a profile from JSON text. Unknown keys are ignored.
ProfileReading parseProfile(std::string_view text);
// Reads the file at `path` (at most kMaxProfileBytes) and parses it.
ProfileReading readProfileFile(const std::string& path);
// "unit.json:3:14: <detail>", or "unit.json: <detail>" where the position is not known.
std::string describeProfileError(const ProfileError& error, const std::string& fileName);

// The settings as `read --json` prints them and a profile holds them: unitId, model, generation,
// outputs, active, enableMask, then onTime and offTime (generation 4) or intervalIndex and
// intervalMs (null outside the interval list).
nlohmann::json profileObject(const AutoOnOffSettings& settings, const DeviceIdentity& unit);
// profileObject() on one line, newline included.
std::string profileJson(const AutoOnOffSettings& settings, const DeviceIdentity& unit);

// Why a profile cannot be written to a unit as it stands.
enum class MismatchKind {
    kNeedsTimes,         // the profile has an interval; the unit times each output
    kNeedsInterval,      // the profile has per-output times; the unit has one common interval
    kOutputBeyondUnit,   // the mask enables an output the unit lacks
    kTimeOutOfRange,     // an ON or OFF time of one of the unit's outputs is outside 1..255
    kIntervalNotInList,  // the interval index is outside IntervalList
};

struct ProfileMismatch {
    MismatchKind kind = MismatchKind::kNeedsTimes;
    int output = 0;      // DO number (1-based) for kOutputBeyondUnit and kTimeOutOfRange
    bool onTime = true;  // kTimeOutOfRange: the ON time (true) or the OFF time
    int32_t value = 0;   // the offending mask, time or index
};

// Checks the profile against an identified unit before anything is written to it. Outputs the
// profile has times for beyond the unit's are ignored as long as the mask leaves them off.
std::optional<ProfileMismatch> profileMismatch(const Profile& profile, const DeviceIdentity& unit);
// English, for the command line: names the mismatch and the unit.
std::string describeMismatch(const ProfileMismatch& mismatch, const DeviceIdentity& unit);

// Copies the profile's mask and times (the unit's outputs only) or interval into `settings`.
// Outputs the profile has no times for keep theirs; `active` is left alone. Call it only on a
// profile that fits (profileMismatch() empty).
void applyProfile(const Profile& profile, const DeviceIdentity& unit, AutoOnOffSettings& settings);

// "KX-M19 (generation 4, 8 outputs)", for telling the operator why something does not fit.
std::string unitDescription(const DeviceIdentity& unit);

}  // namespace mervane::fleet
