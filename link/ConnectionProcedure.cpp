#include "link/ConnectionProcedure.h"

#include <string>
#include <system_error>

#include "link/Identification.h"
#include "link/SettingsSequences.h"
#include "link/Status.h"

namespace mervane {

namespace {

// The worker's view of the window: once a stop has been asked for (the window is closing) every
// call is dropped, the question is answered No and the gather fails, so that the worker only
// winds down.
class GatedWindow final : public OperatorWindow {
  public:
    GatedWindow(OperatorWindow& window, const StopSignal& stop) : window_(window), stop_(stop) {}

    void showMessage(const std::string& text) override {
        if (open()) window_.showMessage(text);
    }
    bool askYesNo(const std::string& text) override { return open() && window_.askYesNo(text); }
    void showAutoOnOffSettings(const AutoOnOffSettings& settings,
                               const DeviceIdentity& unit) override {
        if (open()) window_.showAutoOnOffSettings(settings, unit);
    }
    int gatherAutoOnOffSettings(AutoOnOffSettings& settings, const DeviceIdentity& unit) override {
        return open() ? window_.gatherAutoOnOffSettings(settings, unit) : kStatusFailure;
    }
    void setStatusText(const std::string& text) override {
        if (open()) window_.setStatusText(text);
    }
    void setConnectCaption(const std::string& caption) override {
        if (open()) window_.setConnectCaption(caption);
    }
    void enableConnectButton(bool enabled) override {
        if (open()) window_.enableConnectButton(enabled);
    }
    void setUnitIdText(const std::string& text) override {
        if (open()) window_.setUnitIdText(text);
    }
    void setModelText(const std::string& text) override {
        if (open()) window_.setModelText(text);
    }
    void applyConnectionState(ConnectionState state, const DeviceIdentity& unit) override {
        if (open()) window_.applyConnectionState(state, unit);
    }
    std::string addressText() override { return open() ? window_.addressText() : std::string(); }
    std::string portText() override { return open() ? window_.portText() : std::string(); }

  private:
    bool open() const { return !stop_.requested(); }

    OperatorWindow& window_;
    const StopSignal& stop_;
};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

uint32_t parsePortText(const std::string& text) {
    constexpr uint32_t kBeyondPorts = 0x10000;
    size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<uint32_t>(text[i] - '0');
        if (value >= kBeyondPorts) value = kBeyondPorts;  // saturate; the digits still count
    }
    return value;
}

ConnectionProcedure::ConnectionProcedure(DeviceLink& link, OperatorWindow& window)
    : link_(link), window_(window) {}

ConnectionProcedure::~ConnectionProcedure() {
    shutdown();
}

void ConnectionProcedure::onConnectClicked() {
    if (shutDown_.load()) return;
    if (connected_.load()) {
        disconnect();
        return;
    }
    if (workerRunning_.load()) return;  // the button is disabled while a worker runs
    joinWorker();                       // the previous worker has finished its last step

    window_.setConnectCaption(kDisconnectCaption);
    window_.enableConnectButton(false);
    link_.stopSignal().clear();
    workerRunning_.store(true);
    try {
        std::lock_guard lock(workerMutex_);
        worker_ = std::thread(&ConnectionProcedure::connectWorker, this);
    } catch (const std::system_error&) {
        // Without a worker nothing would ever enable the button again.
        workerRunning_.store(false);
        window_.setConnectCaption(kConnectCaption);
        window_.enableConnectButton(true);
        if (attemptEnded_) attemptEnded_();
    }
}

void ConnectionProcedure::connectWorker() {
    GatedWindow window(window_, link_.stopSignal());
    if (connectUnit(window) != kStatusOk) {
        window.setConnectCaption(kConnectCaption);
        window.enableConnectButton(true);
    }
    workerRunning_.store(false);
    if (attemptEnded_) attemptEnded_();
}

int ConnectionProcedure::connectUnit(OperatorWindow& window) {
    const uint32_t port = parsePortText(window.portText());
    const std::string address = window.addressText();

    if (identifyUnit(link_, timeoutMs_, port, address) != kStatusOk) {
        window.showMessage(kCommunicationErrorMessage);
        return kStatusFailure;
    }
    const DeviceIdentity& unit = link_.identity();
    if (!supportsAutoOnOff(unit)) {
        window.showMessage(kUnsupportedModelMessage);
        return kStatusFailure;
    }
    if (link_.openSession(window) != kStatusOk) {
        link_.closeSession();
        return kStatusFailure;
    }
    if (readAutoOnOffSettings(link_, window) != kStatusOk) {
        link_.closeSession();
        return kStatusFailure;
    }
    window.showAutoOnOffSettings(link_.settings(), unit);
    window.setUnitIdText(std::to_string(unit.unitId));
    window.setModelText(std::string(modelDisplayName(unit)));
    window.applyConnectionState(ConnectionState::kConnected, unit);
    connected_.store(true);
    window.enableConnectButton(true);
    return kStatusOk;
}

void ConnectionProcedure::disconnect() {
    window_.setConnectCaption(kConnectCaption);
    window_.applyConnectionState(ConnectionState::kNotConnected, link_.identity());
    connected_.store(false);
    link_.closeSession();
}

void ConnectionProcedure::shutdown() {
    shutDown_.store(true);
    link_.stopSignal().request();
    joinWorker();
}

void ConnectionProcedure::waitForWorker() {
    joinWorker();
}

void ConnectionProcedure::joinWorker() {
    std::lock_guard lock(workerMutex_);
    if (worker_.joinable()) worker_.join();
}

}  // namespace mervane
