#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <utility>

#include "fleet/UnitWindow.h"
#include "tools/cli/CommandLine.h"

namespace mervane::cli {

// How the one-shot question is answered.
enum class AnswerPolicy {
    kYes,            // --yes
    kNo,             // no --yes, and nobody at a terminal to ask
    kAskOnTerminal,  // the question goes to the error stream, a y/N line comes from the input
    kNoUnasked,      // several units: nobody is asked, the answer is No and the unit fails
};

using fleet::kOneShotLeftMessage;

// The operator window of the command line. Operator messages go to the error stream as they
// stand, one per line; status texts ("Active", "Non-active") to the status stream when one is
// set. The gather applies the requested changes onto the settings read from the unit, after
// checking them against the identified unit; a refusal writes the reason to the error stream,
// sends nothing and is remembered as a usage error. Everything that only arranges a window is a
// no-op. Used from one thread.
class ConsoleWindow final : public fleet::UnitWindow {
  public:
    ConsoleWindow(std::string host, uint16_t port, std::istream& in, std::ostream& err);

    void setAnswerPolicy(AnswerPolicy policy) { policy_ = policy; }
    void setChanges(SettingsChanges changes) { changes_ = std::move(changes); }
    // nullptr: status texts are dropped (the --json output stays a single object).
    void setStatusStream(std::ostream* status) { status_ = status; }

    // Put before every line on the error stream ("HOST: "), so that the lines of units worked on
    // together can be told apart.
    void setLinePrefix(std::string prefix) { prefix_ = std::move(prefix); }
    // Without the prefixes.
    const std::string& lastMessage() const override { return lastMessage_; }
    // Shows a diagnostic of the command line ("mervane-cli: " + text).
    void showDiagnostic(const std::string& text) override;
    void setYesGate(std::function<bool()> gate) override { yesGate_ = std::move(gate); }
    // True once a gather refused the requested changes: the command line, not the unit, was wrong.
    bool changesRefused() const override { return changesRefused_; }
    // Drops the status texts from now on, as setStatusStream(nullptr) does.
    void quietStatusTexts() override { status_ = nullptr; }

    void showMessage(const std::string& text) override;
    bool askYesNo(const std::string& text) override;
    int gatherAutoOnOffSettings(AutoOnOffSettings& settings, const DeviceIdentity& unit) override;
    void setStatusText(const std::string& text) override;
    std::string addressText() override { return host_; }
    std::string portText() override { return std::to_string(port_); }

  private:
    int refuse(const std::string& why);
    bool askOperator(const std::string& text);
    void writeLines(const std::string& text);

    std::string host_;
    uint16_t port_;
    std::istream& in_;
    std::ostream& err_;
    std::ostream* status_ = nullptr;
    AnswerPolicy policy_ = AnswerPolicy::kNo;
    SettingsChanges changes_;
    bool changesRefused_ = false;
    std::string prefix_;
    std::string lastMessage_;
    std::function<bool()> yesGate_;
};

}  // namespace mervane::cli
