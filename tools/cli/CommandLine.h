#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace mervane::cli {

enum class CliCommand { kRead, kApply, kStart, kStop, kAdapters, kDiscover, kCheck };

inline constexpr uint16_t kDefaultTcpPort = 10003;

// One --times CH:ON:OFF.
struct ChannelTimesChange {
    int channel = 1;      // 1..8, as the operator names the outputs (DO1..DO8)
    int32_t onTime = 1;   // 1..255, units of 100 ms
    int32_t offTime = 1;  // 1..255, units of 100 ms
};

// What apply changes in the settings read from the unit; everything else is written back as read.
// Checked here only as far as the command line alone allows: whether the unit has the channel,
// the mask bits or the kind of timing asked for is known once it has been identified.
struct SettingsChanges {
    std::optional<uint32_t> enableMask;  // 0x00..0xFF
    std::vector<ChannelTimesChange> times;
    std::optional<int32_t> intervalIndex;  // an index into IntervalList
};

struct CliRequest {
    CliCommand command = CliCommand::kRead;
    std::string host;                // the first of `hosts`; empty for kAdapters and kDiscover
    std::vector<std::string> hosts;  // the HOST arguments as typed, in order
    // --hosts FILE: more hosts, one per line ("-": standard input); read before any unit is
    // contacted. Given at all, the command works on several hosts.
    std::optional<std::string> hostsFile;
    std::optional<std::string> profilePath;  // apply --profile FILE, check --profile FILE
    bool verify = false;                     // apply --verify
    bool force = false;             // apply --force: write a profile even to units that hold it
    uint32_t localBindAddress = 0;  // network byte order; 0: any
    int32_t identTimeoutMs = 2000;  // 1..19999
    uint16_t port = kDefaultTcpPort;
    bool json = false;
    bool assumeYes = false;
    SettingsChanges changes;  // empty unless command is kApply
    int jobs = 16;            // units worked on at a time, 1..256
    // kDiscover: the targets as typed (checked: each a dotted address, a range of at most a /16,
    // or something that may be a host name); none means a broadcast on each adapter.
    std::vector<std::string> targets;
    bool probe = true;  // kDiscover without --no-probe
    // --trace FILE: every datagram, request, reply, time-out and pause of the command, one line
    // each ("-": standard error), as JSON lines with --json.
    std::optional<std::string> tracePath;
};

// A command line that ends before any unit is contacted: help, the version, or a usage error.
struct CliExit {
    int status = 0;
    std::string out;  // for standard output
    std::string err;  // for standard error; a usage error says what is wrong on its first line
};

// A usage error: "mervane-cli: WHAT" and the pointer to --help, exit status 2.
CliExit usageError(const std::string& what);

// Parses the arguments that follow the program name. Pure: no I/O, no network.
std::variant<CliRequest, CliExit> parseCommandLine(const std::vector<std::string>& args);

}  // namespace mervane::cli
