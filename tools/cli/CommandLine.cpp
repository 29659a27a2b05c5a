#include "tools/cli/CommandLine.h"

#include <arpa/inet.h>

#include <CLI/CLI.hpp>
#include <array>
#include <string_view>

#include "fleet/Discovery.h"
#include "fleet/DiscoveryTargets.h"
#include "link/AutoOnOffSettings.h"
#include "link/ModelTable.h"
#include "tools/cli/ExitStatus.h"
#include "tools/cli/HostList.h"
#include "tools/cli/MaskText.h"
#include "tools/cli/OptionPlace.h"

#ifndef MERVANE_VERSION
#error "MERVANE_VERSION comes from the build (the project's version)"
#endif

namespace mervane::cli {

namespace {

constexpr const char* kProgram = "mervane-cli";

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// Plain decimal digits only (no sign, no blanks) within min..max; large values saturate so that
// they fail the range instead of wrapping.
std::optional<long> decimalIn(std::string_view text, long min, long max) {
    if (text.empty()) return std::nullopt;
    long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > 1'000'000'000L) value = 1'000'000'000L;
    }
    if (value < min || value > max) return std::nullopt;
    return value;
}

std::string intervalListText() {
    std::string text;
    for (const int ms : IntervalList) {
        if (!text.empty()) text += ", ";
        text += std::to_string(ms);
    }
    return text;
}

// "CH:ON:OFF", or the reason it is not acceptable.
std::variant<ChannelTimesChange, std::string> channelTimes(const std::string& text) {
    const std::string option = "--times " + text + ": ";
    std::array<std::string_view, 3> fields;
    std::string_view rest = text;
    for (size_t i = 0; i < fields.size(); ++i) {
        const size_t colon = rest.find(':');
        const bool last = i + 1 == fields.size();
        if (last != (colon == std::string_view::npos)) {
            return "--times " + quoted(text) + ": expected CH:ON:OFF, such as 1:5:10";
        }
        fields[i] = rest.substr(0, colon);
        if (!last) rest.remove_prefix(colon + 1);
    }
    const auto channel = decimalIn(fields[0], 1, kMaxOutputs);
    if (!channel) return option + "the channel must be 1..8 (DO1..DO8)";
    const auto on = decimalIn(fields[1], 1, 255);
    if (!on) return option + "the ON time must be 1..255 (units of 100 ms)";
    const auto off = decimalIn(fields[2], 1, 255);
    if (!off) return option + "the OFF time must be 1..255 (units of 100 ms)";
    return ChannelTimesChange{static_cast<int>(*channel), static_cast<int32_t>(*on),
                              static_cast<int32_t>(*off)};
}

struct CommandName {
    const char* name;
    CliCommand command;
    const char* description;
    const char* operands;  // as a synopsis shows them
};

// In the order of CliCommand.
constexpr std::array<CommandName, 7> kCommands{{
    {"read", CliCommand::kRead, "Print the unit's automatic ON/OFF settings", "HOST..."},
    {"apply", CliCommand::kApply, "Change the named settings and write them to the unit",
     "HOST..."},
    {"start", CliCommand::kStart, "Start the unit's automatic ON/OFF cycle", "HOST..."},
    {"stop", CliCommand::kStop, "Stop the unit's automatic ON/OFF cycle", "HOST..."},
    {"adapters", CliCommand::kAdapters, "List the local addresses the window offers to talk from",
     ""},
    {"discover", CliCommand::kDiscover, "Find the units on the LAN and probe each (writes nothing)",
     "[TARGET]..."},
    {"check", CliCommand::kCheck,
     "Compare the unit's settings with a profile and list the differences (writes nothing)",
     "HOST..."},
}};

constexpr const char* kCommandList =
    "the commands are read, apply, check, start, stop, adapters and discover";

bool takesHost(CliCommand command) {
    return command != CliCommand::kAdapters && command != CliCommand::kDiscover;
}

// "--profile belongs after the command: mervane-cli apply --profile FILE HOST... (see
// 'mervane-cli apply --help')": where the option goes, rather than that nothing takes it there.
std::string misplacedText(const MisplacedOption& misplaced) {
    const std::string option = misplaced.option->get_name();
    const std::string& command = misplaced.command->get_name();
    std::string usage = std::string(kProgram) + " " + command + " " + option;
    if (const std::string value = misplaced.option->get_type_name(); !value.empty()) {
        usage += " " + value;
    }
    for (const CommandName& known : kCommands) {
        if (command == known.name && *known.operands != '\0')
            usage += " " + std::string(known.operands);
    }
    return option + " belongs after the command: " + usage + " (see '" + kProgram + " " + command +
           " --help')";
}

// The options as typed; converted and checked after CLI11 has split the line up.
struct RawOptions {
    std::string bind;
    std::string timeout;
    std::string port;
    std::vector<std::string> hosts;
    std::string hostsFile;
    bool hostsFileGiven = false;
    std::string profile;
    bool profileGiven = false;
    std::string mask;
    std::vector<std::string> times;
    std::string interval;
    std::string jobs;
    std::string trace;
    bool traceGiven = false;
};

std::variant<CliRequest, CliExit> convert(const RawOptions& raw, CliRequest request) {
    if (raw.hosts.empty() && !raw.hostsFileGiven && takesHost(request.command)) {
        return usageError(std::string(kCommands[static_cast<size_t>(request.command)].name) +
                          ": HOST is missing (the unit's IPv4 address or host name)");
    }
    for (const std::string& host : raw.hosts) {
        if (host.empty()) return usageError("an empty HOST; give the unit's address or name");
        if (const auto problem = hostTextProblem(host)) return usageError("HOST " + *problem);
    }
    request.hosts = raw.hosts;
    if (!raw.hosts.empty()) request.host = raw.hosts.front();
    if (raw.hostsFileGiven) {
        if (!takesHost(request.command)) {
            return usageError(
                "--hosts: " + std::string(kCommands[static_cast<size_t>(request.command)].name) +
                " does not work on given hosts");
        }
        if (raw.hostsFile.empty()) return usageError("--hosts: a file name or - is needed");
        request.hostsFile = raw.hostsFile;
    }
    if (raw.profileGiven) {
        if (raw.profile.empty()) return usageError("--profile: a file name is needed");
        request.profilePath = raw.profile;
    }
    if (request.command == CliCommand::kCheck) {
        if (!request.profilePath) return usageError("check: --profile FILE is missing");
        // Clearing one-shot settings is a write, which a check never makes.
        if (request.assumeYes) {
            return usageError(
                "check writes nothing, so --yes has nothing to clear; 'mervane-cli --yes read "
                "HOST' clears one-shot settings");
        }
    }
    if (raw.traceGiven) {
        if (raw.trace.empty()) return usageError("--trace: a file name or - is needed");
        request.tracePath = raw.trace;
    }
    if (!raw.bind.empty()) {
        in_addr address{};
        if (inet_pton(AF_INET, raw.bind.c_str(), &address) != 1) {
            return usageError("--bind " + quoted(raw.bind) +
                              ": not an IPv4 address such as 192.168.0.10");
        }
        request.localBindAddress = address.s_addr;
    }
    if (!raw.timeout.empty()) {
        const auto ms = decimalIn(raw.timeout, 1, 19999);
        if (!ms) {
            return usageError("-T " + raw.timeout +
                              ": the identification time-out must be 1..19999 ms");
        }
        request.identTimeoutMs = static_cast<int32_t>(*ms);
    }
    if (!raw.port.empty()) {
        const auto port = decimalIn(raw.port, 1, 65535);
        if (!port) return usageError("--port " + raw.port + ": the TCP port must be 1..65535");
        request.port = static_cast<uint16_t>(*port);
    }
    if (!raw.jobs.empty()) {
        const auto jobs = decimalIn(raw.jobs, 1, fleet::kMaxJobs);
        if (!jobs) return usageError("--jobs " + raw.jobs + ": the units at a time must be 1..256");
        request.jobs = static_cast<int>(*jobs);
    }
    for (const std::string& target : request.targets) {
        const fleet::TargetText parsed = fleet::parseTarget(target);
        if (!parsed.error.empty()) return usageError("discover: " + escapedText(parsed.error));
    }
    SettingsChanges& changes = request.changes;
    if (!raw.mask.empty()) {
        const auto mask = parseMask(raw.mask);
        if (const auto* why = std::get_if<std::string>(&mask)) return usageError(*why);
        changes.enableMask = std::get<uint32_t>(mask);
    }
    for (const std::string& text : raw.times) {
        auto parsed = channelTimes(text);
        if (const auto* why = std::get_if<std::string>(&parsed)) return usageError(*why);
        changes.times.push_back(std::get<ChannelTimesChange>(parsed));
    }
    if (!raw.interval.empty()) {
        const auto ms = decimalIn(raw.interval, 1, 1'000'000);
        const auto index = ms ? intervalIndexOf(static_cast<int>(*ms)) : std::nullopt;
        if (!index) {
            return usageError("--interval " + raw.interval + ": not one of the intervals (" +
                              intervalListText() + " ms)");
        }
        changes.intervalIndex = *index;
    }
    return request;
}

}  // namespace

CliExit usageError(const std::string& what) {
    return {kExitUsage,
            {},
            std::string(kProgram) + ": " + what + "\nRun 'mervane-cli --help' for usage.\n"};
}

std::variant<CliRequest, CliExit> parseCommandLine(const std::vector<std::string>& args) {
    RawOptions raw;
    CliRequest request;

    CLI::App app{"Reads and changes the automatic ON/OFF settings of a LAN digital I/O unit.",
                 kProgram};
    app.set_version_flag("--version", std::string(kProgram) + " " + MERVANE_VERSION);
    // Every command's options at a glance, as the man page's synopsis has them.
    app.footer(
        "Synopsis:\n"
        "  mervane-cli [OPTIONS] read|start|stop HOST... [--hosts FILE]\n"
        "  mervane-cli [OPTIONS] apply HOST... [--hosts FILE] [--profile FILE] [--mask M]\n"
        "      [--times CH:ON:OFF]... [--interval MS] [--verify] [--force]\n"
        "  mervane-cli [OPTIONS] check --profile FILE HOST... [--hosts FILE]\n"
        "  mervane-cli [--json] adapters\n"
        "  mervane-cli [OPTIONS] discover [TARGET]... [--no-probe]\n"
        "The command's own options follow it; OPTIONS, such as --trace FILE, go before or after "
        "it.\n--hosts FILE may stand in for the HOSTs.\n\n"
        "With --json, read, apply, check, start and stop print one JSON object per unit (an "
        "array of\nthem with several hosts), adapters and discover a JSON array, and --trace "
        "writes one JSON\nobject per line.\n\n"
        "Exit status: 0 done, 1 the unit or the network failed, 2 a usage error, 3 (check) a "
        "unit\ndiffers from the profile.\n"
        "Run 'mervane-cli COMMAND --help' for the options of a command.");
    // Options of the program may also follow the command and its HOST; of a repeated one the last
    // counts.
    app.fallthrough();
    app.require_subcommand(0, 1);
    app.add_option("--bind", raw.bind, "Local IPv4 address to talk from (default: any)")
        ->type_name("ADDR")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_option("-T", raw.timeout, "Identification time-out in ms, 1..19999 (default 2000)")
        ->type_name("MS")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_option("--port", raw.port, "The unit's TCP port (default 10003)")
        ->type_name("N")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_flag("--json", request.json, "Print JSON instead of text (see below)");
    app.add_flag("--yes", request.assumeYes,
                 "Answer Yes when asked whether to clear one-shot output settings");
    app.add_option("--hosts", raw.hostsFile,
                   "More hosts, one per line (# comments), from FILE or - (standard input)")
        ->type_name("FILE")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->each([&raw](const std::string&) { raw.hostsFileGiven = true; });
    app.add_option("--jobs", raw.jobs, "Units worked on at a time, 1..256 (default 16)")
        ->type_name("N")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_option("--trace", raw.trace,
                   "Write every datagram, request, reply and time-out to FILE or - (standard "
                   "error), one line each; JSON lines with --json")
        ->type_name("FILE")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->each([&raw](const std::string&) { raw.traceGiven = true; });

    std::array<CLI::App*, kCommands.size()> commands{};
    for (size_t i = 0; i < kCommands.size(); ++i) {
        CLI::App* command = app.add_subcommand(kCommands[i].name, kCommands[i].description);
        if (takesHost(kCommands[i].command)) {
            command
                ->add_option("HOST", raw.hosts,
                             "The units' IPv4 addresses or host names; several are worked on "
                             "--jobs at a time")
                ->type_name("");
        }
        commands[i] = command;
    }
    CLI::App* apply = commands[static_cast<size_t>(CliCommand::kApply)];
    apply->add_option("--mask", raw.mask, "Enabled outputs, hexadecimal, bit 0 = DO1 (0x0F)")
        ->type_name("M");
    apply
        ->add_option("--times", raw.times,
                     "DO CH's ON and OFF times in 100 ms, each 1..255 (generation 4; repeatable)")
        ->type_name("CH:ON:OFF")
        ->allow_extra_args(false);
    apply
        ->add_option("--interval", raw.interval,
                     "The common interval in ms, e.g. 500 (units other than generation 4)")
        ->type_name("MS");
    apply
        ->add_option("--profile", raw.profile,
                     "Write the settings of a profile (the JSON that --json read prints); "
                     "--mask, --times and --interval override its fields")
        ->type_name("FILE")
        ->each([&raw](const std::string&) { raw.profileGiven = true; });
    apply->add_flag("--verify", request.verify,
                    "Read the settings back after writing and compare every field written");
    apply->add_flag("--force", request.force,
                    "With --profile, write units that already hold it too (by default they are "
                    "left alone and reported unchanged)");
    CLI::App* check = commands[static_cast<size_t>(CliCommand::kCheck)];
    check
        ->add_option("--profile", raw.profile,
                     "The profile to compare with (the JSON that --json read prints); required")
        ->type_name("FILE")
        ->each([&raw](const std::string&) { raw.profileGiven = true; });
    check->footer(
        "Reads each unit and compares the mask bits of its outputs, its outputs' ON and OFF "
        "times or its interval, and active with the profile; nothing is written, so --yes is "
        "refused and a unit holding one-shot settings fails. Exit status: 0 every unit holds the "
        "profile, 3 at least one differs and none failed, 1 a unit failed (unreachable, the "
        "profile does not fit, one-shot settings), 2 a usage error.");
    CLI::App* discover = commands[static_cast<size_t>(CliCommand::kDiscover)];
    discover
        ->add_option("TARGET", request.targets,
                     "An IPv4 address, a host name, or a range a.b.c.d/n (n = 16..32) or "
                     "a.b.c.d-e (the last byte from d to e); without one, a broadcast on each "
                     "adapter (with --bind, on that one only)")
        ->type_name("");
    discover->add_flag(
        "--no-probe", [&request](int64_t) { request.probe = false; },
        "List the units that answer without identifying or probing them");
    discover->footer(
        "Requests go out at 10 addresses per millisecond, so a /16 takes about 6.6 s of sending; "
        "replies are taken until -T ms after the last request. At most 4096 units are listed "
        "(replies from further sources are counted), each probed like a connect, --jobs at a "
        "time. Exit status: 0 units answered and every probe succeeded, 1 none answered or a "
        "probe failed, 2 a usage error.");
    // Left-overs are reported below with better words than CLI11's; set last so that the
    // commands do not inherit it and pass what they do not know up to here.
    app.allow_extras();

    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        return CliExit{kExitOk, app.help(), {}};
    } catch (const CLI::CallForVersion& e) {
        return CliExit{kExitOk, std::string(e.what()) + "\n", {}};
    } catch (const CLI::ParseError& e) {
        return usageError(e.what());
    }

    const std::vector<std::string> extras = app.remaining();
    const auto chosen = app.get_subcommands();
    if (!extras.empty() || chosen.empty()) {
        if (const auto misplaced = optionBeforeCommand(app, args)) {
            return usageError(misplacedText(*misplaced));
        }
    }
    if (chosen.empty()) {
        for (const std::string& extra : extras) {
            if (!extra.empty() && extra[0] == '-') return usageError("unknown option " + extra);
            return usageError("unknown command " + quoted(extra) + "; " + kCommandList);
        }
        return usageError(std::string("no command given; ") + kCommandList);
    }
    for (size_t i = 0; i < kCommands.size(); ++i) {
        if (commands[i] == chosen.front()) request.command = kCommands[i].command;
    }
    if (!extras.empty()) {
        return usageError(chosen.front()->get_name() + " does not take " + quoted(extras.front()));
    }
    return convert(raw, std::move(request));
}

}  // namespace mervane::cli
