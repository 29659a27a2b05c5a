// What the window's presses run, as its state (WindowState) says: at once, queued behind the
// connect, or not at all; and the controls following that state.

#include <QPushButton>

#include <optional>
#include <system_error>

#include "link/SettingsSequences.h"
#include "ui/MervaneDlg.h"
#include "ui_MervaneDlg.h"

namespace mervane {

void CMervaneDlg::press(Action action) {
    switch (state_.verdict(action)) {
        case WindowState::Verdict::kRun:
            run(action);
            break;
        case WindowState::Verdict::kQueue:
            state_.queue(action);
            break;
        case WindowState::Verdict::kRefuse:
            break;
    }
}

void CMervaneDlg::run(Action action) {
    switch (action) {
        case Action::kConnect:
            return connectOrDisconnect();
        case Action::kSearch:
            return openSearch();
        case Action::kReceive:
            return runExchange(&mervane::onReceiveSettings, false);  // writes only after a Yes
        case Action::kApply:
            return runExchange(&mervane::onApplySettings, true);
        case Action::kStartStop:
            return runExchange(&mervane::onStartStop, true);
        case Action::kSaveProfile:
            return saveProfile();
        case Action::kLoadProfile:
            return loadProfile();
        case Action::kOutputs:
            return;  // the box toggles itself; the unit learns of it with "設定反映"
    }
}

void CMervaneDlg::applyState() {
    const bool editable = state_.addressEditable();
    ui_->AdapterCombo->setEnabled(editable);
    ui_->AddressEdit->setEnabled(editable);
    ui_->PortEdit->setEnabled(editable);
    setConnectEnabled(state_.enabled(Action::kConnect));
    ui_->SearchButton->setEnabled(state_.enabled(Action::kSearch));
    ui_->SaveProfileButton->setEnabled(state_.enabled(Action::kSaveProfile));
    ui_->LoadProfileButton->setEnabled(state_.enabled(Action::kLoadProfile));
    panel_.setUsable(state_.enabled(Action::kOutputs));
    // An exchange shows the wait cursor of its own (InputBlocker).
    if (inputBlocker_.active()) return;
    const WindowState::Link link = state_.link();
    if (link == WindowState::Link::kConnecting || link == WindowState::Link::kUnitShown) {
        setCursor(Qt::BusyCursor);
    } else {
        unsetCursor();
    }
}

void CMervaneDlg::setConnectEnabled(bool enabled) {
    QPushButton& button = *ui_->ConnectButton;
    if (button.isEnabled() == enabled) return;
    const bool hadFocus = focusWidget() == &button;
    button.setEnabled(enabled);
    if (!enabled && hadFocus) focusLeftConnect_ = focusWidget();
    // Disabled, the button lost the focus to the next control; it comes back unless the operator
    // has put it elsewhere meanwhile.
    if (enabled && focusLeftConnect_ != nullptr && focusWidget() == focusLeftConnect_) {
        button.setFocus();
    }
    if (enabled) focusLeftConnect_ = nullptr;
}

void CMervaneDlg::connectOrDisconnect() {
    if (state_.link() == WindowState::Link::kConnected) {
        state_.disconnected();
        procedure_.onConnectClicked();
        applyState();
        return;
    }
    // Taken here rather than asked for by the worker: by the time it asked, this thread would be
    // repainting the pressed button, and the attempt would wait for that to finish.
    pressedAddress_ = ui_->AddressEdit->text().toStdString();
    pressedPort_ = ui_->PortEdit->text().toStdString();
    pressedAdapter_ = chosenAdapter_;
    link_.setLocalBindAddress(bindAddressForItem(adapterList_, pressedAdapter_));
    writing_ = false;
    state_.connectStarted();
    applyState();
    // The adapter, address and port stay live while the attempt runs; the cursor says it runs.
    procedure_.onConnectClicked();
}

void CMervaneDlg::onConnectEnded() {
    if (state_.closed()) return;
    state_.connectEnded(procedure_.connected());
    applyState();
    // Presses queued behind the connect run after what the buttons coming back set off: a
    // Disconnect pressed the moment it comes back drops them.
    QMetaObject::invokeMethod(this, &CMervaneDlg::runQueuedPresses, Qt::QueuedConnection);
}

void CMervaneDlg::runQueuedPresses() {
    while (const std::optional<Action> next = state_.nextQueued())
        run(*next);
}

void CMervaneDlg::runExchange(Sequence sequence, bool writes) {
    state_.exchangeStarted();
    inputBlocker_.setActive(true);
    writing_ = writes;
    exchangeRunning_ = true;
    std::function<void()> work = [this, sequence] {
        sequence(link_, *this);
        exchangeRunning_ = false;
        QMetaObject::invokeMethod(this, &CMervaneDlg::finishExchange, Qt::QueuedConnection);
    };
    try {
        exchange_ = threadStarter_ ? threadStarter_(std::move(work)) : std::thread(std::move(work));
    } catch (const std::system_error&) {
        exchangeRunning_ = false;
        writing_ = false;
        state_.exchangeEnded();
        inputBlocker_.setActive(false);
        showOwnMessageNow(tr("通信を始められませんでした。"));
    }
}

void CMervaneDlg::finishExchange() {
    if (exchange_.joinable()) exchange_.join();
    state_.exchangeEnded();
    inputBlocker_.setActive(false);
    runQueuedPresses();
}

}  // namespace mervane
