#include "tools/cli/CommandInputs.h"

#include "tools/cli/HostList.h"

namespace mervane::cli {

std::optional<std::string> foldChanges(const SettingsChanges& changes, fleet::Profile& profile) {
    if (changes.enableMask) profile.enableMask = *changes.enableMask;
    for (const ChannelTimesChange& change : changes.times) {
        if (!profile.hasTimes()) {
            return "--times: the profile has one common interval, not per-output times; use "
                   "--interval";
        }
        const auto i = static_cast<size_t>(change.channel - 1);
        if (i >= profile.onTime.size()) {
            return "--times " + std::to_string(change.channel) +
                   ":...: the profile has times for "
                   "DO1..DO" +
                   std::to_string(profile.onTime.size()) + " only";
        }
        profile.onTime[i] = change.onTime;
        profile.offTime[i] = change.offTime;
    }
    if (changes.intervalIndex) {
        if (profile.hasTimes()) {
            return "--interval: the profile has per-output times; use --times CH:ON:OFF";
        }
        profile.intervalIndex = *changes.intervalIndex;
    }
    return std::nullopt;
}

std::variant<CommandInputs, CliExit> readCommandInputs(const CliRequest& request,
                                                       std::istream& in) {
    CommandInputs inputs;
    std::vector<std::string> listed;
    if (request.hostsFile) {
        auto read = readHostList(*request.hostsFile, in);
        if (const auto* why = std::get_if<std::string>(&read)) return usageError(*why);
        listed = std::get<std::vector<std::string>>(read);
    }
    inputs.hosts = uniqueHosts(request.hosts, listed);
    inputs.severalHosts = request.hostsFile.has_value() || request.hosts.size() > 1;
    if (inputs.hosts.empty()) {
        return usageError("no HOST: --hosts " + *request.hostsFile + " names none");
    }
    if (inputs.hosts.size() > kMaxHosts) {
        return usageError("more than " + std::to_string(kMaxHosts) + " hosts");
    }
    if (request.profilePath) {
        auto read = fleet::readProfileFile(*request.profilePath);
        if (const auto* error = std::get_if<fleet::ProfileError>(&read)) {
            return usageError("--profile " +
                              fleet::describeProfileError(*error, *request.profilePath));
        }
        inputs.profile = std::get<fleet::Profile>(read);
        if (auto why = foldChanges(request.changes, *inputs.profile)) return usageError(*why);
    }
    return inputs;
}

}  // namespace mervane::cli
