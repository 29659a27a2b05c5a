#include "tests/RecordingWindow.h"

#include "link/Status.h"

namespace mervane::testing {

void RecordingWindow::record(std::string line) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(line));
}

void RecordingWindow::showMessage(const std::string& text) {
    record("message: " + text);
}

bool RecordingWindow::askYesNo(const std::string& text) {
    record("question: " + text);
    if (onQuestion) onQuestion();
    return answerYes;
}

void RecordingWindow::showAutoOnOffSettings(const AutoOnOffSettings& settings,
                                            const DeviceIdentity&) {
    record("show settings");
    std::lock_guard lock(mutex_);
    shown = settings;
}

int RecordingWindow::gatherAutoOnOffSettings(AutoOnOffSettings& settings,
                                             const DeviceIdentity& unit) {
    record("gather");
    return gather ? gather(settings, unit) : kStatusOk;
}

void RecordingWindow::setStatusText(const std::string& text) {
    record("status: " + text);
}
void RecordingWindow::setConnectCaption(const std::string& caption) {
    record("caption: " + caption);
}
void RecordingWindow::enableConnectButton(bool enabled) {
    record(enabled ? "button: enabled" : "button: disabled");
}
void RecordingWindow::setUnitIdText(const std::string& text) {
    record("unit id: " + text);
}
void RecordingWindow::setModelText(const std::string& text) {
    record("model: " + text);
}
void RecordingWindow::applyConnectionState(ConnectionState state, const DeviceIdentity&) {
    record(state == ConnectionState::kConnected ? "state: connected" : "state: not connected");
}
std::string RecordingWindow::addressText() {
    return address;
}
std::string RecordingWindow::portText() {
    return port;
}

std::vector<std::string> RecordingWindow::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<std::string> RecordingWindow::messages() const {
    std::vector<std::string> texts;
    for (const std::string& call : calls()) {
        if (call.rfind("message: ", 0) == 0) texts.push_back(call.substr(9));
    }
    return texts;
}

void RecordingWindow::clear() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

}  // namespace mervane::testing
