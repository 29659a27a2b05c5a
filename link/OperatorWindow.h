#pragma once

#include <string>

#include "link/AutoOnOffSettings.h"
#include "link/DeviceIdentity.h"
#include "link/OperatorMessages.h"

namespace mervane {

enum class ConnectionState { kNotConnected, kConnected };

// The only way the device link reaches the operator. The window implements it; so do the
// command-line front end and the tests.
//
// Calls come from whichever thread runs the link operation (the window thread for the buttons'
// sequences, the connection worker during a connect) and return only when the operator has seen
// or answered what they show: an implementation that hands them to its own thread must keep
// their order and wait for each.
class OperatorWindow {
  public:
    virtual ~OperatorWindow() = default;

    // A modal message box with an OK button, captioned with the application's name.
    virtual void showMessage(const std::string& text) = 0;
    // The one question: Yes (true) or No (false).
    virtual bool askYesNo(const std::string& text) = 0;

    // The settings panel. `unit` gives the channel count and generation that decide which rows
    // and fields take part. gather validates the operator's edits into `settings`; on failure it
    // has shown its own message and returns the failure status.
    virtual void showAutoOnOffSettings(const AutoOnOffSettings& settings,
                                       const DeviceIdentity& unit) = 0;
    virtual int gatherAutoOnOffSettings(AutoOnOffSettings& settings,
                                        const DeviceIdentity& unit) = 0;
    // "Active" or "Non-active" below the panel.
    virtual void setStatusText(const std::string& text) = 0;

    virtual void setConnectCaption(const std::string& caption) = 0;
    virtual void enableConnectButton(bool enabled) = 0;
    virtual void setUnitIdText(const std::string& text) = 0;
    virtual void setModelText(const std::string& text) = 0;
    // Shows, hides, enables and disables the controls for `state`; when connected, the panel
    // rows and fields follow `unit`'s channel count and generation.
    virtual void applyConnectionState(ConnectionState state, const DeviceIdentity& unit) = 0;

    // What the operator typed into the address and port fields.
    virtual std::string addressText() = 0;
    virtual std::string portText() = 0;
};

}  // namespace mervane
