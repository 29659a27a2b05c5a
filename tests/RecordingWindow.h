#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "link/OperatorWindow.h"

namespace mervane::testing {

// Stands in for the window: answers with what the test set up and keeps every call, in order, as
// one line ("message: 通信エラー", "caption: Connect", "state: connected", ...). Thread-safe, so
// the connection worker may call it while the test reads.
class RecordingWindow final : public OperatorWindow {
  public:
    void showMessage(const std::string& text) override;
    bool askYesNo(const std::string& text) override;
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

    std::vector<std::string> calls() const;
    std::vector<std::string> messages() const;  // the message texts alone
    void clear();

    // What the operator "typed" and "answers".
    std::string address = "127.0.0.1";
    std::string port = "10003";
    bool answerYes = false;
    // Runs as the panel's gather; by default it keeps the settings as they are and succeeds.
    std::function<int(AutoOnOffSettings&, const DeviceIdentity&)> gather;
    // Called inside askYesNo, before it answers (for a test that acts while the question is up).
    std::function<void()> onQuestion;

    AutoOnOffSettings shown;  // what the last show put on the panel

  private:
    void record(std::string line);

    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

}  // namespace mervane::testing
