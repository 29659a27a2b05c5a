#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "fleet/UnitWindow.h"

namespace mervane::fleet {

// A unit's window with nobody at it, for plant-wide work that shows its results afterwards (the
// window's plant list): shows nothing, remembers the last operator message or diagnostic,
// answers the one-shot question Yes or No as told (a No also shows kOneShotLeftMessage's
// diagnostic), and gathers the settings as they stand, refusing (with the operator message
// kTimeRangeMessage) an ON or OFF time outside 1..255 that the unit would refuse. Used from one
// thread.
class AnsweringWindow final : public UnitWindow {
  public:
    AnsweringWindow(std::string host, uint16_t port, bool clearOneShot);

    const std::string& lastMessage() const override { return lastMessage_; }

    void showDiagnostic(const std::string& text) override { lastMessage_ = text; }
    void setYesGate(std::function<bool()> gate) override { yesGate_ = std::move(gate); }
    void showMessage(const std::string& text) override { lastMessage_ = text; }
    bool askYesNo(const std::string& text) override;
    int gatherAutoOnOffSettings(AutoOnOffSettings& settings, const DeviceIdentity& unit) override;
    void setStatusText(const std::string&) override {}
    std::string addressText() override { return host_; }
    std::string portText() override { return std::to_string(port_); }

  private:
    std::string host_;
    uint16_t port_;
    bool clearOneShot_;
    std::string lastMessage_;
    std::function<bool()> yesGate_;
};

}  // namespace mervane::fleet
