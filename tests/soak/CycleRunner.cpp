#include "tests/soak/CycleRunner.h"

#include <chrono>

#include "tests/soak/SanitizerBuild.h"

namespace mervane::soak {

namespace {

// Short enough that a misbehaving cycle costs a fraction of a second, long enough that a healthy
// reply is not late on a loaded machine (stalls of over 50 ms were seen with two cores busy);
// sanitized builds run slower still.
constexpr int kSlowdown = kMemorySanitizer == nullptr ? 1 : 2;
constexpr int kSessionTimeoutMs = 150 * kSlowdown;
constexpr int32_t kIdentTimeoutMs = 200 * kSlowdown;

std::string windowState(const WindowTally& tally) {
    return "caption \"" + tally.caption + "\", button " +
           (tally.buttonEnabled ? "enabled" : "disabled") + ", " + std::to_string(tally.messages) +
           " message(s)" + (tally.messages > 0 ? " first \"" + tally.firstMessage + "\"" : "") +
           ", " + std::to_string(tally.questions) + " question(s)";
}

// What the unit received, in order, for a failure report: "udp F6, udp LN, tcp#1 MI, ...".
std::string receivedCommands(const sim::SimulatedUnit& unit) {
    std::string text;
    for (const sim::ReceivedRecord& record : unit.received()) {
        if (!text.empty()) text += ", ";
        text += record.channel == sim::ReceivedRecord::Channel::kUdp
                    ? "udp "
                    : "tcp#" + std::to_string(record.connection) + " ";
        text += record.command;
    }
    return text.empty() ? "nothing" : text;
}

}  // namespace

CycleRunner::CycleRunner(SoakUnits& units) : units_(units) {
    link_.setSessionTimeoutMs(kSessionTimeoutMs);
    procedure_.setTimeoutMs(kIdentTimeoutMs);
}

std::string CycleRunner::run(const Scenario& scenario, int cycle) {
    sim::SimulatedUnit& unit = units_.unit(scenario.unit);
    unit.setFaults(scenario.faults);
    unit.clearReceived();  // the unit keeps every request otherwise
    units_.varySettings(scenario.unit, cycle);
    link_.setIdentificationPort(unit.udpPort());
    window_.setPort(unit.tcpPort());
    (void)window_.take();

    const auto start = std::chrono::steady_clock::now();
    procedure_.onConnectClicked();
    procedure_.waitForWorker();
    const WindowTally tally = window_.take();
    const std::string wrong = scenario.expectedMessage == nullptr ? checkConnected(scenario, tally)
                                                                  : checkFailed(scenario, tally);
    if (wrong.empty()) return wrong;
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    return wrong + "; took " + std::to_string(took.count()) +
           " ms; the unit received: " + receivedCommands(unit);
}

std::string CycleRunner::checkConnected(const Scenario& scenario, const WindowTally& tally) {
    if (!procedure_.connected() || tally.messages != 0 || tally.questions != 0) {
        return "expected a connection; window: " + windowState(tally);
    }
    if (!link_.sessionSocket().isOpen()) return "connected without an open session";
    if (tally.settingsShown != 1 || tally.connectedStates != 1 || !tally.buttonEnabled ||
        tally.caption != kDisconnectCaption) {
        return "connected, but the window was not brought to Connected; " + windowState(tally);
    }
    if (link_.identity().modelIndex != units_.modelIndex(scenario.unit)) {
        return "identified model " + std::to_string(link_.identity().modelIndex) +
               ", unit is model " + std::to_string(units_.modelIndex(scenario.unit));
    }
    const std::string difference = units_.compare(scenario.unit, link_.settings());
    if (!difference.empty()) return "settings read wrong: " + difference;
    return disconnect();
}

std::string CycleRunner::disconnect() {
    procedure_.onConnectClicked();  // the same button, now "Disconnect"
    const WindowTally tally = window_.take();
    if (procedure_.connected() || link_.sessionSocket().isOpen()) {
        return "still connected after Disconnect";
    }
    if (tally.caption != kConnectCaption || tally.notConnectedStates != 1 || tally.messages != 0) {
        return "Disconnect left the window wrong: " + windowState(tally);
    }
    return {};
}

std::string CycleRunner::checkFailed(const Scenario& scenario, const WindowTally& tally) {
    const std::string expected = scenario.expectedMessage;
    if (procedure_.connected()) {
        (void)disconnect();
        return "expected the message \"" + expected + "...\" but the connection succeeded";
    }
    if (tally.messages != 1 || tally.firstMessage.rfind(expected, 0) != 0) {
        return "expected exactly the message \"" + expected +
               "...\"; window: " + windowState(tally);
    }
    if (link_.sessionSocket().isOpen()) return "a session stayed open after the failure";
    if (tally.caption != kConnectCaption || !tally.buttonEnabled || tally.settingsShown != 0) {
        return "the window did not come back to Connect; " + windowState(tally);
    }
    return {};
}

}  // namespace mervane::soak
