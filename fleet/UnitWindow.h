#pragma once

#include <functional>
#include <string>

#include "link/OperatorWindow.h"

namespace mervane::fleet {

// The error of a unit whose one-shot question was answered No without asking anyone.
inline constexpr const char* kOneShotLeftMessage =
    "one-shot output settings were found and left as they are; nothing was written (--yes "
    "clears them)";

// The operator window one unit's work in a plant-wide run reports through: an OperatorWindow
// plus what the run adds. The command line prints what it is told; the window's plant list
// keeps the last message for the unit's row. Used from the thread that runs the unit's work.
class UnitWindow : public OperatorWindow {
  public:
    // What the run itself found, in English ("verify: DO3 OFF time: wrote 10, read 12"): a
    // profile that does not fit, a check that failed.
    virtual void showDiagnostic(const std::string& text) = 0;
    // The last operator message or diagnostic shown, as shown but without any prefix: what
    // failed.
    virtual const std::string& lastMessage() const = 0;
    // Asked before a Yes to the one-shot question is given: clearing one-shot settings writes to
    // the unit, which an interruption may forbid. False turns the answer into No, silently.
    virtual void setYesGate(std::function<bool()> gate) = 0;
    // True once a gather refused the changes it was asked to make: the request, not the unit,
    // was wrong (the command line's usage error).
    virtual bool changesRefused() const { return false; }
    // An apply is about to switch the cycle; the status text that follows is not for the
    // operator, since the settings shown afterwards say the new state.
    virtual void quietStatusTexts() {}

    // A unit worked on beside others has no window to arrange: no panel, caption, button or
    // field follows it.
    void showAutoOnOffSettings(const AutoOnOffSettings&, const DeviceIdentity&) override {}
    void setConnectCaption(const std::string&) override {}
    void enableConnectButton(bool) override {}
    void setUnitIdText(const std::string&) override {}
    void setModelText(const std::string&) override {}
    void applyConnectionState(ConnectionState, const DeviceIdentity&) override {}
};

}  // namespace mervane::fleet
