#pragma once

#include <string>

#include "link/OperatorWindow.h"

namespace mervane::bench {

// An operator who types an address and a port, never edits the panel (a gather hands back what
// was last shown) and answers No to the one question. Any message means the measured run went
// wrong: it is kept for the report.
class HeadlessOperator final : public OperatorWindow {
  public:
    HeadlessOperator(std::string address, std::string port)
        : address_(std::move(address)), port_(std::move(port)) {}

    const std::string& lastMessage() const { return lastMessage_; }
    int messages() const { return messages_; }
    bool settingsShown() const { return settingsShown_; }

    void showMessage(const std::string& text) override {
        lastMessage_ = text;
        ++messages_;
    }
    bool askYesNo(const std::string& text) override {
        lastMessage_ = text;
        ++messages_;
        return false;
    }
    void showAutoOnOffSettings(const AutoOnOffSettings& settings, const DeviceIdentity&) override {
        shown_ = settings;
        settingsShown_ = true;
    }
    int gatherAutoOnOffSettings(AutoOnOffSettings& settings, const DeviceIdentity&) override {
        settings = shown_;
        return 0;
    }
    void setStatusText(const std::string&) override {}
    void setConnectCaption(const std::string&) override {}
    void enableConnectButton(bool) override {}
    void setUnitIdText(const std::string&) override {}
    void setModelText(const std::string&) override {}
    void applyConnectionState(ConnectionState, const DeviceIdentity&) override {}
    std::string addressText() override { return address_; }
    std::string portText() override { return port_; }

  private:
    std::string address_;
    std::string port_;
    AutoOnOffSettings shown_{};
    bool settingsShown_ = false;
    std::string lastMessage_;
    int messages_ = 0;
};

}  // namespace mervane::bench
