// mervane-unit: simulated LAN digital I/O units on this host, one or a plant of many, until
// SIGINT or SIGTERM.

#include <pthread.h>
#include <signal.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "link/ModelTable.h"
#include "sim/SimulatedPlant.h"
#include "sim/SimulatedUnit.h"
#include "tools/unit/Console.h"
#include "tools/unit/PlantRun.h"
#include "tools/unit/UnitText.h"

#ifndef MERVANE_VERSION
#error "MERVANE_VERSION comes from the build (the project's version)"
#endif

namespace {

using mervane::sim::ReceivedRecord;
using mervane::sim::SimulatedUnit;
using mervane::sim::UnitConfig;
using mervane::unit::Console;
using mervane::unit::parseTimes;

constexpr int kExitCannotStart = 1;
constexpr int kExitBadOptions = 2;

// A usage error: what is wrong, then where to look, on standard error.
int usageError(const std::string& what) {
    std::fprintf(stderr, "mervane-unit: %s\nRun 'mervane-unit --help' for usage.\n", what.c_str());
    return kExitBadOptions;
}

}  // namespace

int main(int argc, char** argv) {
    UnitConfig config;
    auto& faults = config.faults;
    std::string type = "_W";
    bool active = false;
    // Ready to cycle: every output enabled, half a second on and off.
    int mask = -1;  // -1: every output of the model
    std::vector<std::string> times{"5:5"};
    int interval = 4;
    std::vector<int> oneShots;  // DO numbers, 1..8
    bool quiet = false;
    mervane::sim::PlantConfig plant;

    CLI::App app{
        "Runs one simulated LAN digital I/O unit, or a plant of many, until SIGINT or "
        "SIGTERM.",
        "mervane-unit"};
    app.set_version_flag("--version", std::string("mervane-unit ") + MERVANE_VERSION);
    app.footer(
        "Exit status: 0 stopped by SIGINT or SIGTERM, 1 the unit could not start (a port taken, "
        "say), 2 a usage error.");
    // Each option's value is named as the man page names it, and its default said in words:
    // CLI11's own text ("INT:INT in [0 - 31]=19") reads as a parser's, not a manual's.
    app.add_option("--type", type,
                   "Type code, two characters: _W generation 4 (default), _L generation 3")
        ->check([](const std::string& value) {
            return value.size() == 2 ? std::string() : "the type code is exactly two characters";
        })
        ->option_text("CODE");
    app.add_option("--model", config.modelIndex, "Model index, 0..31 (default 19, eight outputs)")
        ->check(CLI::Range(0, mervane::kModelCount - 1))
        ->option_text("INDEX");
    app.add_option("--unit-id", config.unitId,
                   "Unit id, 0..15, of a plant's first unit (default 0)")
        ->check(CLI::Range(0, 15))
        ->option_text("ID");
    app.add_option("--address", config.bindAddress,
                   "IPv4 address of both services, a plant's first address (default 0.0.0.0, "
                   "every local address)")
        ->check(CLI::ValidIPV4)
        ->option_text("ADDR");
    app.add_option("--udp-port", config.udpPort,
                   "Identification port (default 30718; 0: any free port)")
        ->option_text("N");
    app.add_option("--tcp-port", config.tcpPort, "TCP port (default 10003; 0: any free port)")
        ->option_text("N");

    auto* plantGroup = "Plant";
    app.add_option("--count", plant.count,
                   "Units on consecutive addresses from --address, 1..1000 (default 1)")
        ->check(CLI::Range(1, mervane::sim::kMaxPlantUnits))
        ->option_text("N")
        ->group(plantGroup);
    app.add_flag("--variety", plant.variety, "Cycle the units through six kinds of unit")
        ->group(plantGroup);
    app.add_option("--broadcast", plant.broadcastAddress,
                   "Where the plant's broadcasts arrive (default: the subnet's)")
        ->check(CLI::ValidIPV4)
        ->option_text("ADDR")
        ->group(plantGroup);

    auto* settings = "Initial settings";
    app.add_flag("--active", active, "Start with automatic ON/OFF running")->group(settings);
    app.add_option("--mask", mask,
                   "Enabled outputs, 0..255, bit 0 = DO1, 0x.. accepted (default: every output)")
        ->check(CLI::Range(0, 255))
        ->option_text("M")
        ->group(settings);
    app.add_option("--times", times,
                   "ON and OFF times in 100 ms, each 0..255, from DO1 on; one pair sets every "
                   "output (default 5:5)")
        ->delimiter(',')
        ->check([](const std::string& value) {
            return parseTimes(value) ? std::string() : "expected ON:OFF, each 0..255";
        })
        ->option_text("ON:OFF[,ON:OFF]...")
        ->group(settings);
    app.add_option("--interval", interval,
                   "Common interval index, 0..255, of units other than generation 4 (default 4, "
                   "500 ms)")
        ->check(CLI::Range(0, 255))
        ->option_text("INDEX")
        ->group(settings);
    app.add_option("--one-shot", oneShots,
                   "Start with a one-shot output setting on output CH, 1..8 (repeatable): the "
                   "programs then ask whether to clear it (units with letter commands)")
        ->delimiter(',')
        ->check(CLI::Range(1, 8))
        ->option_text("CH")
        ->group(settings);

    auto* misbehaviour = "Faults";
    app.add_flag("--no-udp-reply", faults.noUdpReply, "Never answer a datagram")
        ->group(misbehaviour);
    app.add_flag("--first-reply-other-port", faults.firstReplyFromOtherPort,
                 "Send the first identification reply from a second port")
        ->group(misbehaviour);
    app.add_option("--first-reply-size", faults.firstReplySize,
                   "Bytes of the first identification reply, 0..1472 (default 30)")
        ->check(CLI::Range(0, 1472))
        ->option_text("N")
        ->group(misbehaviour);
    app.add_option("--oversized", faults.oversizedReplyTo,
                   "Make the reply to this identification request, F8, F4 or E7, one byte too "
                   "long")
        ->check(CLI::IsMember({"F8", "F4", "E7"}))
        ->option_text("REQUEST")
        ->group(misbehaviour);
    app.add_flag("--answer-both", faults.answerBothFirstRequests,
                 "Answer \"LN\" as well as 00 00 00 F6")
        ->group(misbehaviour);
    app.add_flag("--no-uu", faults.noUuAnswer, "Stay silent on 'U' 'U'")->group(misbehaviour);
    app.add_flag("--uu-nibble7", faults.uuHighNibble7, "'U' 'U' reply's second byte 0x75")
        ->group(misbehaviour);
    app.add_option("--split", faults.splitPieceBytes, "Send TCP replies in pieces of N bytes")
        ->option_text("N")
        ->group(misbehaviour);
    app.add_option("--split-pause", faults.splitPauseMs, "Milliseconds between pieces")
        ->check(CLI::NonNegativeNumber)
        ->option_text("MS")
        ->group(misbehaviour);
    app.add_option("--stray", faults.strayFramesBeforeReply,
                   "Stray frames, 0..255, before every letter reply")
        ->check(CLI::Range(0, 255))
        ->option_text("N")
        ->group(misbehaviour);
    app.add_flag("--one-byte-binary", faults.oneByteBinaryReply,
                 "Answer binary commands with their first byte only")
        ->group(misbehaviour);
    app.add_flag("--extra-binary-byte", faults.extraBinaryByte,
                 "Answer binary commands with one byte too many")
        ->group(misbehaviour);
    app.add_flag("--wrong-echo", faults.wrongEcho, "Echo letter requests in upper case")
        ->group(misbehaviour);
    app.add_flag("--no-frame-end", faults.noFrameEnd,
                 "Send data instead of the 0xC8 that ends a letter reply")
        ->group(misbehaviour);
    app.add_flag("--garbage", faults.garbage, "Replace every TCP reply with noise")
        ->group(misbehaviour);
    app.add_flag("--tcp-silent", faults.tcpSilent, "Accept connections but never answer")
        ->group(misbehaviour);
    app.add_flag("--close-mid-reply", faults.closeMidReply,
                 "Send half of each reply, then close the connection")
        ->group(misbehaviour);
    app.add_flag("--reset", faults.resetOnRequest, "Reset the connection instead of answering")
        ->group(misbehaviour);
    app.add_flag("--chatter", faults.chatter,
                 "Send noise without pause on every connection, from accepting it on")
        ->group(misbehaviour);
    app.add_option("--silent", faults.silentCommand,
                   "Never answer this command: F6, LN, F8, F4, E7, UU, MI, OL, OJ, OC, OH, OT, OI, "
                   "NJ, NS, E1, E2, E3, F1, F2 or F3")
        ->check(CLI::IsMember({"F6", "LN", "F8", "F4", "E7", "UU", "MI", "OL", "OJ", "OC", "OH",
                               "OT", "OI", "NJ", "NS", "E1", "E2", "E3", "F1", "F2", "F3"}))
        ->option_text("COMMAND")
        ->group(misbehaviour);
    app.add_option("--close-after", faults.closeAfterRequests,
                   "Close each connection after N requests")
        ->check(CLI::NonNegativeNumber)
        ->option_text("N")
        ->group(misbehaviour);
    app.add_option("--delay", faults.replyDelayMs, "Milliseconds before every reply")
        ->check(CLI::NonNegativeNumber)
        ->option_text("MS")
        ->group(misbehaviour);

    app.add_flag("--quiet", quiet,
                 "Print only the start-up lines and errors: no requests received, no output "
                 "changes");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        return 0;
    } catch (const CLI::CallForVersion& e) {
        std::printf("%s\n", e.what());
        return 0;
    } catch (const CLI::ParseError& e) {
        return usageError(e.what());
    }

    config.typeCode = {type[0], type[1]};
    config.initial.active = active ? 1 : 0;
    config.initial.intervalIndex = static_cast<uint8_t>(interval);
    // The programs ask about any value but 0.
    for (const int channel : oneShots)
        config.initial.oneShot[static_cast<size_t>(channel - 1)] = 1;
    const int outputCount = mervane::modelRow(config.modelIndex).outputCount;
    const bool inPlant = plant.count > 1 || plant.variety || !plant.broadcastAddress.empty();
    // A varied plant cuts "every output" down to each unit's own.
    const int allOutputs = inPlant && plant.variety ? 8 : outputCount;
    config.initial.enableMask = static_cast<uint8_t>(mask >= 0 ? mask : (1 << allOutputs) - 1);
    if (times.size() > config.initial.onTime.size()) {
        return usageError("--times: at most " + std::to_string(config.initial.onTime.size()) +
                          " pairs");
    }
    // Outputs past the list keep 0:0; a single pair is for every output.
    for (size_t i = 0; i < config.initial.onTime.size(); ++i) {
        if (times.size() != 1 && i >= times.size()) break;
        const auto pair = parseTimes(times.size() == 1 ? times[0] : times[i]);
        config.initial.onTime[i] = pair->first;
        config.initial.offTime[i] = pair->second;
    }

    // Signals are taken by sigwait() below only: block them before the unit's threads exist.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // An ignored signal is discarded rather than left pending, and a shell starts background
    // jobs with SIGINT ignored: give both a handler so sigwait() sees them.
    struct sigaction waitable {};
    waitable.sa_handler = [](int) {};
    sigaction(SIGINT, &waitable, nullptr);
    sigaction(SIGTERM, &waitable, nullptr);

    if (inPlant) {
        if (!plant.broadcastAddress.empty() && config.bindAddress == "0.0.0.0") {
            return usageError("--broadcast: a unit on 0.0.0.0 receives broadcasts itself");
        }
        plant.first = config;
        std::string error;
        const auto units = mervane::sim::plantUnitConfigs(plant, error);
        if (!units) return usageError("--count " + std::to_string(plant.count) + ": " + error);
        return mervane::unit::runPlant(plant, *units, quiet, stopSignals);
    }

    Console console;
    std::optional<uint8_t> shown;  // the outputs last printed, under the console's lock
    SimulatedUnit unit(config);
    if (!quiet) {
        unit.setReceiveObserver([&console](const ReceivedRecord& record) {
            console.stamped(mervane::unit::recordText(record));
        });
    }

    std::string error;
    if (!unit.start(&error)) {
        std::fprintf(stderr, "mervane-unit: cannot start: %s\n", error.c_str());
        return kExitCannotStart;
    }
    console.line(mervane::unit::describe(config, unit.udpPort(), unit.tcpPort()));
    if (outputCount > 0 && !quiet) {
        // Each line shows the outputs as read when it is printed, so a change racing the first
        // line can neither be lost nor printed out of order.
        auto show = [&console, &unit, &shown, outputCount] {
            console.locked([&](Console& out) {
                const uint8_t outputs = unit.outputs();
                if (shown == outputs) return;
                shown = outputs;
                out.writeStamped(mervane::unit::outputsText(outputs, outputCount));
            });
        };
        unit.setOutputObserver([show](uint8_t) { show(); });
        show();
    }

    int stopSignal = 0;
    sigwait(&stopSignals, &stopSignal);
    unit.stop();
    if (!quiet) {
        console.line(std::string("mervane-unit: stopped by ") +
                     (stopSignal == SIGINT ? "SIGINT" : "SIGTERM"));
    }
    return 0;
}
