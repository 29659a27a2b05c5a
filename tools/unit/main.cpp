// mervane-unit: one simulated LAN digital I/O unit on this host, until SIGINT or SIGTERM.

#include <pthread.h>
#include <signal.h>

#include <CLI/CLI.hpp>
#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "link/ModelTable.h"
#include "sim/SimulatedUnit.h"

#ifndef MERVANE_VERSION
#error "MERVANE_VERSION comes from the build (the project's version)"
#endif

namespace {

using mervane::sim::ReceivedRecord;
using mervane::sim::SimulatedUnit;
using mervane::sim::UnitConfig;

constexpr int kExitCannotStart = 1;
constexpr int kExitBadOptions = 2;

// Whole lines to stdout, one thread at a time, flushed at once so pipes see them live.
class Console {
  public:
    void line(const std::string& text) {
        std::lock_guard lock(mutex_);
        write(text);
    }

    void stamped(const std::string& text) { line(timestamp() + " " + text); }

    // Runs `body` with the console to itself; inside, print with writeStamped().
    template <typename Body>
    void locked(Body body) {
        std::lock_guard lock(mutex_);
        body(*this);
    }
    void writeStamped(const std::string& text) { write(timestamp() + " " + text); }

  private:
    static void write(const std::string& text) {
        std::fputs(text.c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }

    static std::string timestamp() {
        const auto now = std::chrono::system_clock::now();
        const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
        const auto millis =
            std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
            1000;
        std::tm local{};
        localtime_r(&seconds, &local);
        std::array<char, 32> text{};
        std::snprintf(text.data(), text.size(), "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                      local.tm_sec, static_cast<int>(millis));
        return text.data();
    }

    std::mutex mutex_;
};

// "ON:OFF", each 0..255.
std::optional<std::pair<uint8_t, uint8_t>> parseTimes(const std::string& text) {
    unsigned on = 0;
    unsigned off = 0;
    char end = 0;
    if (std::sscanf(text.c_str(), "%3u:%3u%c", &on, &off, &end) != 2 || on > 255 || off > 255) {
        return std::nullopt;
    }
    return std::pair{static_cast<uint8_t>(on), static_cast<uint8_t>(off)};
}

std::string outputsText(uint8_t outputs, int outputCount) {
    std::string text;
    for (int i = 0; i < outputCount; ++i) {
        if (i > 0) text += ' ';
        const bool on = ((static_cast<unsigned>(outputs) >> i) & 1U) != 0;
        text += "DO" + std::to_string(i + 1) + (on ? " ON " : " off");
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

std::string recordText(const ReceivedRecord& record) {
    const std::string channel = record.channel == ReceivedRecord::Channel::kUdp
                                    ? "udp"
                                    : "tcp#" + std::to_string(record.connection);
    return channel + " " + record.command + "  " + mervane::sim::hexText(record.bytes);
}

std::string describe(const UnitConfig& config, uint16_t udpPort, uint16_t tcpPort) {
    const int outputs = mervane::modelRow(config.modelIndex).outputCount;
    const auto name = mervane::ModelDisplayNames[static_cast<size_t>(2 * config.modelIndex)];
    std::string text = "mervane-unit: simulated unit, type " +
                       std::string(config.typeCode.data(), 2) + ", model " +
                       std::to_string(config.modelIndex);
    if (!name.empty()) text += " (" + std::string(name) + ")";
    text += outputs > 0 ? ", " + std::to_string(outputs) + " outputs" : ", no outputs";
    text += ", unit id " + std::to_string(config.unitId) + "; UDP " + config.bindAddress + ":" +
            std::to_string(udpPort) + ", TCP " + config.bindAddress + ":" + std::to_string(tcpPort);
    return text;
}

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
    bool quiet = false;

    CLI::App app{"Runs one simulated LAN digital I/O unit until SIGINT or SIGTERM.",
                 "mervane-unit"};
    app.set_version_flag("--version", std::string("mervane-unit ") + MERVANE_VERSION);
    app.add_option("--type", type, "Type code, two characters (_W generation 4, _L generation 3)")
        ->check([](const std::string& value) {
            return value.size() == 2 ? std::string() : "the type code is exactly two characters";
        })
        ->capture_default_str();
    app.add_option("--model", config.modelIndex, "Model index")
        ->check(CLI::Range(0, mervane::kModelCount - 1))
        ->capture_default_str();
    app.add_option("--unit-id", config.unitId, "Unit id")
        ->check(CLI::Range(0, 15))
        ->capture_default_str();
    app.add_option("--address", config.bindAddress, "IPv4 address of both services")
        ->check(CLI::ValidIPV4)
        ->capture_default_str();
    app.add_option("--udp-port", config.udpPort, "Identification port (0: any free port)")
        ->capture_default_str();
    app.add_option("--tcp-port", config.tcpPort, "TCP port (0: any free port)")
        ->capture_default_str();

    auto* settings = "Initial settings";
    app.add_flag("--active", active, "Start with automatic ON/OFF running")->group(settings);
    app.add_option("--mask", mask, "Enabled outputs, bit 0 = DO1 (0x.. accepted; default all)")
        ->check(CLI::Range(0, 255))
        ->group(settings);
    app.add_option("--times", times,
                   "ON:OFF times in 100 ms, from DO1 on; one pair sets every output")
        ->delimiter(',')
        ->check([](const std::string& value) {
            return parseTimes(value) ? std::string() : "expected ON:OFF, each 0..255";
        })
        ->capture_default_str()
        ->group(settings);
    app.add_option("--interval", interval, "Common interval index (generation 3)")
        ->check(CLI::Range(0, 255))
        ->capture_default_str()
        ->group(settings);

    auto* misbehaviour = "Faults";
    app.add_flag("--no-udp-reply", faults.noUdpReply, "Never answer a datagram")
        ->group(misbehaviour);
    app.add_flag("--first-reply-other-port", faults.firstReplyFromOtherPort,
                 "Send the first identification reply from a second port")
        ->group(misbehaviour);
    app.add_option("--first-reply-size", faults.firstReplySize,
                   "Bytes of the first identification reply")
        ->check(CLI::Range(0, 1472))
        ->capture_default_str()
        ->group(misbehaviour);
    app.add_option("--oversized", faults.oversizedReplyTo,
                   "Make the reply to this identification request one byte too long")
        ->check(CLI::IsMember({"F8", "F4", "E7"}))
        ->group(misbehaviour);
    app.add_flag("--answer-both", faults.answerBothFirstRequests,
                 "Answer \"LN\" as well as 00 00 00 F6")
        ->group(misbehaviour);
    app.add_flag("--no-uu", faults.noUuAnswer, "Stay silent on 'U' 'U'")->group(misbehaviour);
    app.add_flag("--uu-nibble7", faults.uuHighNibble7, "'U' 'U' reply's second byte 0x75")
        ->group(misbehaviour);
    app.add_option("--split", faults.splitPieceBytes, "Send TCP replies in pieces of N bytes")
        ->group(misbehaviour);
    app.add_option("--split-pause", faults.splitPauseMs, "Milliseconds between pieces")
        ->check(CLI::NonNegativeNumber)
        ->group(misbehaviour);
    app.add_option("--stray", faults.strayFramesBeforeReply,
                   "Stray frames before every letter reply")
        ->check(CLI::Range(0, 255))
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
    app.add_option("--silent", faults.silentCommand, "Never answer this command")
        ->check(CLI::IsMember({"F6", "LN", "F8", "F4", "E7", "UU", "MI", "OL", "OJ", "OC", "OH",
                               "OT", "OI", "NJ", "NS", "E1", "E2", "E3", "F1", "F2", "F3"}))
        ->group(misbehaviour);
    app.add_option("--close-after", faults.closeAfterRequests,
                   "Close each connection after N requests")
        ->check(CLI::NonNegativeNumber)
        ->group(misbehaviour);
    app.add_option("--delay", faults.replyDelayMs, "Milliseconds before every reply")
        ->check(CLI::NonNegativeNumber)
        ->group(misbehaviour);

    app.add_flag("--quiet", quiet, "Do not log received requests");

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
    const int outputCount = mervane::modelRow(config.modelIndex).outputCount;
    config.initial.enableMask = static_cast<uint8_t>(mask >= 0 ? mask : (1 << outputCount) - 1);
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

    Console console;
    std::optional<uint8_t> shown;  // the outputs last printed, under the console's lock
    SimulatedUnit unit(config);
    if (!quiet) {
        unit.setReceiveObserver(
            [&console](const ReceivedRecord& record) { console.stamped(recordText(record)); });
    }

    std::string error;
    if (!unit.start(&error)) {
        std::fprintf(stderr, "mervane-unit: cannot start: %s\n", error.c_str());
        return kExitCannotStart;
    }
    console.line(describe(config, unit.udpPort(), unit.tcpPort()));
    if (outputCount > 0) {
        // Each line shows the outputs as read when it is printed, so a change racing the first
        // line can neither be lost nor printed out of order.
        auto show = [&console, &unit, &shown, outputCount] {
            console.locked([&](Console& out) {
                const uint8_t outputs = unit.outputs();
                if (shown == outputs) return;
                shown = outputs;
                out.writeStamped(outputsText(outputs, outputCount));
            });
        };
        unit.setOutputObserver([show](uint8_t) { show(); });
        show();
    }

    int stopSignal = 0;
    sigwait(&stopSignals, &stopSignal);
    unit.stop();
    console.line(std::string("mervane-unit: stopped by ") +
                 (stopSignal == SIGINT ? "SIGINT" : "SIGTERM"));
    return 0;
}
