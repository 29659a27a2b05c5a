#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "fleet/Profile.h"
#include "tools/cli/CommandLine.h"

namespace mervane::cli {

// What a unit command reads before any unit is contacted.
struct CommandInputs {
    std::vector<std::string> hosts;  // HOST arguments, then --hosts, each once, in order
    bool severalHosts = false;       // more than one HOST, or --hosts given at all
    // apply --profile, with --mask, --times and --interval folded in.
    std::optional<fleet::Profile> profile;
};

// Reads the --hosts list (from `in` for "-") and the profile. A file that cannot be read, a
// malformed one, no host at all, or an override that contradicts the profile is a usage error
// (exit status 2), returned as the CliExit to print.
std::variant<CommandInputs, CliExit> readCommandInputs(const CliRequest& request, std::istream& in);

// Folds the command line's changes into a profile: --mask replaces its mask, --times an output's
// times, --interval its interval. The reason when they do not go together.
std::optional<std::string> foldChanges(const SettingsChanges& changes, fleet::Profile& profile);

}  // namespace mervane::cli
