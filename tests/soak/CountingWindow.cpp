#include "tests/soak/CountingWindow.h"

#include <utility>

#include "link/Status.h"

namespace mervane::soak {

void CountingWindow::showMessage(const std::string& text) {
    std::lock_guard lock(mutex_);
    if (tally_.messages++ == 0) tally_.firstMessage = text;
}

bool CountingWindow::askYesNo(const std::string&) {
    std::lock_guard lock(mutex_);
    ++tally_.questions;
    return false;
}

void CountingWindow::showAutoOnOffSettings(const AutoOnOffSettings&, const DeviceIdentity&) {
    std::lock_guard lock(mutex_);
    ++tally_.settingsShown;
}

int CountingWindow::gatherAutoOnOffSettings(AutoOnOffSettings&, const DeviceIdentity&) {
    return kStatusOk;
}

void CountingWindow::setStatusText(const std::string&) {}

void CountingWindow::setConnectCaption(const std::string& caption) {
    std::lock_guard lock(mutex_);
    tally_.caption = caption;
}

void CountingWindow::enableConnectButton(bool enabled) {
    std::lock_guard lock(mutex_);
    tally_.buttonEnabled = enabled;
}

void CountingWindow::setUnitIdText(const std::string&) {}
void CountingWindow::setModelText(const std::string&) {}

void CountingWindow::applyConnectionState(ConnectionState state, const DeviceIdentity&) {
    std::lock_guard lock(mutex_);
    ++(state == ConnectionState::kConnected ? tally_.connectedStates : tally_.notConnectedStates);
}

std::string CountingWindow::addressText() {
    return "127.0.0.1";
}

std::string CountingWindow::portText() {
    std::lock_guard lock(mutex_);
    return port_;
}

void CountingWindow::setPort(uint16_t port) {
    std::lock_guard lock(mutex_);
    port_ = std::to_string(port);
}

WindowTally CountingWindow::take() {
    std::lock_guard lock(mutex_);
    WindowTally taken = std::move(tally_);
    // The caption and button carry over, as on the real window.
    tally_ = WindowTally{};
    tally_.caption = taken.caption;
    tally_.buttonEnabled = taken.buttonEnabled;
    return taken;
}

}  // namespace mervane::soak
