// Reading a profile: the JSON text into a Profile, with the position of a syntax error and the
// key of every other fault, so that the operator can mend the file without guessing.

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <tuple>

#include "fleet/Profile.h"

namespace mervane::fleet {

namespace {

using nlohmann::json;

// A value quoted in a message is cut to about this many bytes: the message stays one line, however
// large the offending value (a profile may be 64 KiB).
constexpr size_t kQuotedMax = 60;

std::string cutShort(std::string text) {
    if (text.size() <= kQuotedMax) return text;
    size_t end = kQuotedMax;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;  // not inside a UTF-8 character
    text.resize(end);
    return text + "...";
}

std::string shown(const json& value) {
    return cutShort(value.dump());
}

// nlohmann quotes the text it stopped at ("...; last read: '<text>'", "... parsing '<text>'"),
// perhaps followed by "; expected ...": that text is cut short too.
std::string cutQuotedText(const std::string& message, std::string_view opening) {
    const size_t at = message.find(opening);
    if (at == std::string::npos) return message;
    const size_t from = at + opening.size();
    size_t end = message.rfind("'; expected ");
    if (end == std::string::npos || end < from) end = message.rfind('\'');
    if (end == std::string::npos || end < from) return message;
    return message.substr(0, from) + cutShort(message.substr(from, end - from)) +
           message.substr(end);
}

ProfileError fault(ProfileFault kind, std::string key, std::string detail) {
    return ProfileError{kind, std::move(key), 0, 0, std::move(detail)};
}

// The 1-based line and column of a byte as nlohmann counts it (from 1, the byte itself).
std::pair<int, int> linePosition(std::string_view text, size_t byte) {
    const size_t end = std::min(byte == 0 ? 0 : byte - 1, text.size());
    int line = 1;
    int column = 1;
    for (size_t i = 0; i < end; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return {line, column};
}

ProfileError syntaxError(std::string_view text, size_t byte, const std::string& what) {
    const auto [line, column] = linePosition(text, byte);
    // nlohmann's text reads "[json.exception.parse_error.101] parse error at line 1, column 2:
    // syntax error ..."; the part after the position is what the operator needs.
    const size_t colon = what.find(": ");
    const std::string reason =
        cutQuotedText(colon == std::string::npos ? what : what.substr(colon + 2), "last read: '");
    return ProfileError{ProfileFault::kNotJson, {}, line, column, "not JSON: " + reason};
}

// Where a number too large for a double starts: nlohmann tells its SAX handler the position but
// leaves it out of the exception it throws.
class OverflowPosition : public nlohmann::json_sax<json> {
  public:
    size_t start = 0;  // 1-based, as nlohmann counts bytes; 0 until found

    bool null() override { return true; }
    bool boolean(bool /*value*/) override { return true; }
    bool number_integer(number_integer_t /*value*/) override { return true; }
    bool number_unsigned(number_unsigned_t /*value*/) override { return true; }
    bool number_float(number_float_t /*value*/, const string_t& /*text*/) override { return true; }
    bool string(string_t& /*value*/) override { return true; }
    bool binary(binary_t& /*value*/) override { return true; }
    bool start_object(size_t /*size*/) override { return true; }
    bool key(string_t& /*value*/) override { return true; }
    bool end_object() override { return true; }
    bool start_array(size_t /*size*/) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(size_t end, const std::string& token,
                     const nlohmann::detail::exception& /*error*/) override {
        // `end` is the byte after the number's last.
        start = end >= token.size() ? end - token.size() + 1 : 1;
        return false;
    }
};

// An integer key within min..max, or the fault that says why not. `name` is the value as the
// operator is told of it: the quoted key, or an entry of it.
std::variant<int32_t, ProfileError> integerIn(const json& value, const std::string& key,
                                              int64_t min, int64_t max, std::string name = {}) {
    if (name.empty()) name = "\"" + key + "\"";
    const std::string range = std::to_string(min) + ".." + std::to_string(max);
    if (!value.is_number_integer()) {
        return fault(ProfileFault::kWrongType, key,
                     name + " must be a whole number " + range + ", not " + shown(value));
    }
    const bool inRange = value.is_number_unsigned()
                             ? value.get<uint64_t>() <= static_cast<uint64_t>(max) &&
                                   static_cast<int64_t>(value.get<uint64_t>()) >= min
                             : value.get<int64_t>() >= min && value.get<int64_t>() <= max;
    if (!inRange) {
        return fault(ProfileFault::kOutOfRange, key,
                     name + " must be " + range + ", not " + shown(value));
    }
    return static_cast<int32_t>(value.get<int64_t>());
}

std::variant<std::vector<int32_t>, ProfileError> timeList(const json& object,
                                                          const std::string& key) {
    const auto found = object.find(key);
    if (found == object.end()) {
        return fault(ProfileFault::kMissingKey, key, "\"" + key + "\" is missing");
    }
    if (!found->is_array() || found->empty() || found->size() > kMaxOutputs) {
        return fault(ProfileFault::kWrongType, key,
                     "\"" + key + "\" must be an array of 1..8 times (one per output, from DO1)");
    }
    std::vector<int32_t> times;
    for (size_t i = 0; i < found->size(); ++i) {
        // Named by output, as the operator counts them (DO1 is the first entry).
        auto time = integerIn((*found)[i], key, 0, 255,
                              "DO" + std::to_string(i + 1) + " of \"" + key + "\"");
        if (auto* error = std::get_if<ProfileError>(&time)) return *error;
        times.push_back(std::get<int32_t>(time));
    }
    return times;
}

// The per-output times or the interval, whichever the profile holds.
std::optional<ProfileError> readTiming(const json& object, Profile& profile) {
    const bool hasTimes = object.contains("onTime") || object.contains("offTime");
    const bool hasInterval = object.contains("intervalMs") || object.contains("intervalIndex");
    if (hasTimes && hasInterval) {
        return fault(ProfileFault::kWrongType, "onTime",
                     "a profile holds either \"onTime\"/\"offTime\" (generation 4) or "
                     "\"intervalMs\" (other units), not both");
    }
    if (hasTimes) {
        auto on = timeList(object, "onTime");
        if (auto* error = std::get_if<ProfileError>(&on)) return *error;
        auto off = timeList(object, "offTime");
        if (auto* error = std::get_if<ProfileError>(&off)) return *error;
        profile.onTime = std::get<std::vector<int32_t>>(on);
        profile.offTime = std::get<std::vector<int32_t>>(off);
        if (profile.onTime.size() != profile.offTime.size()) {
            return fault(ProfileFault::kWrongType, "offTime",
                         "\"onTime\" and \"offTime\" must have one entry per output each");
        }
        return std::nullopt;
    }
    if (!hasInterval) {
        return fault(ProfileFault::kMissingKey, "intervalMs",
                     "neither \"onTime\"/\"offTime\" nor \"intervalMs\" is given");
    }
    const auto ms = object.find("intervalMs");
    if (ms == object.end()) {
        return fault(ProfileFault::kMissingKey, "intervalMs", "\"intervalMs\" is missing");
    }
    if (!ms->is_null()) {
        auto value = integerIn(*ms, "intervalMs", IntervalList.front(), IntervalList.back());
        if (auto* error = std::get_if<ProfileError>(&value)) return *error;
        profile.intervalIndex = intervalIndexOf(std::get<int32_t>(value));
        if (!profile.intervalIndex) {
            return fault(ProfileFault::kOutOfRange, "intervalMs",
                         "\"intervalMs\" " + shown(*ms) + " is not one of the intervals");
        }
        return std::nullopt;
    }
    // A unit may report an index beyond the list; read prints it with "intervalMs": null.
    const auto index = object.find("intervalIndex");
    if (index == object.end()) {
        return fault(ProfileFault::kMissingKey, "intervalIndex",
                     "\"intervalMs\" is null and \"intervalIndex\" is missing");
    }
    auto value = integerIn(*index, "intervalIndex", 0, 255);
    if (auto* error = std::get_if<ProfileError>(&value)) return *error;
    profile.intervalIndex = std::get<int32_t>(value);
    return std::nullopt;
}

}  // namespace

ProfileReading parseProfile(std::string_view text) {
    json object;
    try {
        object = json::parse(text.begin(), text.end());
    } catch (const json::parse_error& e) {
        return syntaxError(text, e.byte, e.what());
    } catch (const json::exception& e) {
        // A number beyond a double (1e400) is well-formed JSON the library cannot hold: named by
        // where it starts, as a syntax error is.
        const std::string what = e.what();
        const size_t bracket = what.find("] ");
        ProfileError error =
            fault(ProfileFault::kOutOfRange, {},
                  cutQuotedText(bracket == std::string::npos ? what : what.substr(bracket + 2),
                                "parsing '"));
        OverflowPosition position;
        json::sax_parse(text.begin(), text.end(), &position);
        if (position.start > 0)
            std::tie(error.line, error.column) = linePosition(text, position.start);
        return error;
    }
    if (!object.is_object()) {
        return fault(ProfileFault::kNotObject, {},
                     "a profile is one JSON object, as 'mervane-cli --json read HOST' prints it");
    }
    Profile profile;
    const auto active = object.find("active");
    if (active == object.end()) {
        return fault(ProfileFault::kMissingKey, "active", "\"active\" is missing");
    }
    if (!active->is_boolean()) {
        return fault(ProfileFault::kWrongType, "active",
                     "\"active\" must be true or false, not " + shown(*active));
    }
    profile.active = active->get<bool>();
    const auto mask = object.find("enableMask");
    if (mask == object.end()) {
        return fault(ProfileFault::kMissingKey, "enableMask", "\"enableMask\" is missing");
    }
    auto maskValue = integerIn(*mask, "enableMask", 0, 255);
    if (auto* error = std::get_if<ProfileError>(&maskValue)) return *error;
    profile.enableMask = static_cast<uint32_t>(std::get<int32_t>(maskValue));
    if (auto error = readTiming(object, profile)) return *error;
    return profile;
}

ProfileReading readProfileFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return fault(ProfileFault::kUnreadable, {}, "cannot be opened");
    std::string text(kMaxProfileBytes + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (file.bad()) return fault(ProfileFault::kUnreadable, {}, "cannot be read");
    text.resize(static_cast<size_t>(file.gcount()));
    if (text.size() > kMaxProfileBytes) {
        return fault(ProfileFault::kTooLarge, {},
                     "is larger than " + std::to_string(kMaxProfileBytes / 1024) +
                         " KiB; a profile is one small JSON object");
    }
    return parseProfile(text);
}

std::string describeProfileError(const ProfileError& error, const std::string& fileName) {
    std::string where = fileName;
    if (error.line > 0)
        where += ":" + std::to_string(error.line) + ":" + std::to_string(error.column);
    return where + ": " + error.detail;
}

}  // namespace mervane::fleet
