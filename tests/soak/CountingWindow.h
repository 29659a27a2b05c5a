#pragma once

#include <mutex>
#include <string>

#include "link/OperatorWindow.h"

namespace mervane::soak {

// What the window was asked to do during one cycle.
struct WindowTally {
    int messages = 0;
    int questions = 0;
    int settingsShown = 0;
    int connectedStates = 0;
    int notConnectedStates = 0;
    bool buttonEnabled = true;
    std::string caption;
    std::string firstMessage;
};

// Stands in for the window over thousands of cycles: it counts the calls of the current cycle
// instead of keeping them, so its memory stays flat. Thread-safe: the connection worker calls
// it while the soak's thread sets it up and reads it.
class CountingWindow final : public OperatorWindow {
  public:
    void showMessage(const std::string& text) override;
    bool askYesNo(const std::string& text) override;  // always No
    void showAutoOnOffSettings(const AutoOnOffSettings& settings,
                               const DeviceIdentity& unit) override;
    int gatherAutoOnOffSettings(AutoOnOffSettings& settings, const DeviceIdentity& unit) override;
    void setStatusText(const std::string& text) override;
    void setConnectCaption(const std::string& caption) override;
    void enableConnectButton(bool enabled) override;
    void setUnitIdText(const std::string& text) override;
    void setModelText(const std::string& text) override;
    void applyConnectionState(ConnectionState state, const DeviceIdentity& unit) override;
    std::string addressText() override;
    std::string portText() override;

    // The port the operator "typed" for the next connect.
    void setPort(uint16_t port);
    // The calls since the last take, and a fresh count from here on.
    WindowTally take();

  private:
    std::mutex mutex_;
    WindowTally tally_;
    std::string port_;
};

}  // namespace mervane::soak
