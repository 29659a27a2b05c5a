// The window as the link sees it: every OperatorWindow call, from whichever thread, carried out
// on the window thread in order.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "link/Status.h"
#include "ui/MervaneDlg.h"
#include "ui/OperatorMessageTexts.h"
#include "ui/QtText.h"
#include "ui_MervaneDlg.h"

namespace mervane {

void CMervaneDlg::showMessage(const std::string& text) {
    calls_.call([this, text] { showMessageNow(text); });
}

bool CMervaneDlg::askYesNo(const std::string& text) {
    const bool yes = calls_.call<bool>(
        [this, text] {
            return presenter_.askYesNo(this, applicationTitle_, operatorMessageText(text));
        },
        false);
    // The one question asks whether to clear one-shot settings: a Yes writes to the unit.
    if (yes) writing_ = true;
    return yes;
}

void CMervaneDlg::showAutoOnOffSettings(const AutoOnOffSettings& settings,
                                        const DeviceIdentity& unit) {
    calls_.call([this, settings, unit] { panel_.show(settings, unit); });
}

int CMervaneDlg::gatherAutoOnOffSettings(AutoOnOffSettings& settings, const DeviceIdentity& unit) {
    // Gathered into a copy on the window thread; the caller's settings change on its own thread.
    using Gathered = std::pair<int, AutoOnOffSettings>;
    const Gathered gathered = calls_.call<Gathered>(
        [this, copy = settings, unit]() mutable {
            const int status = panel_.gather(
                copy, unit, [this](const std::string& message) { showMessageNow(message); });
            return Gathered{status, copy};
        },
        Gathered{kStatusFailure, settings});
    // A refusal leaves the link's copy as the unit holds it.
    if (gathered.first == kStatusOk) settings = gathered.second;
    return gathered.first;
}

void CMervaneDlg::setStatusText(const std::string& text) {
    calls_.call([this, text] { ui_->StatusText->setText(operatorMessageText(text)); });
}

void CMervaneDlg::setConnectCaption(const std::string& caption) {
    calls_.call([this, caption] { ui_->ConnectButton->setText(operatorMessageText(caption)); });
}

void CMervaneDlg::enableConnectButton(bool /*enabled*/) {
    // The button follows the window's state instead: off from the press that starts an attempt
    // until the window has seen the worker end (onConnectEnded), so that no press ever meets a
    // worker still ending, whichever of its calls comes last.
}

void CMervaneDlg::setUnitIdText(const std::string& text) {
    calls_.call([this, text] { ui_->UnitIdText->setText(fromUtf8(text)); });
}

void CMervaneDlg::setModelText(const std::string& text) {
    calls_.call([this, text] { ui_->ModelText->setText(fromUtf8(text)); });
}

void CMervaneDlg::applyConnectionState(ConnectionState state, const DeviceIdentity& unit) {
    calls_.call([this, state, unit] {
        panel_.applyConnectionState(state, unit);
        if (state == ConnectionState::kNotConnected) {
            ui_->UnitIdText->clear();
            ui_->ModelText->clear();
        } else {
            // What the attempt used, whatever was typed or chosen while it ran.
            ui_->AddressEdit->setText(fromUtf8(pressedAddress_));
            ui_->PortEdit->setText(fromUtf8(pressedPort_));
            const QSignalBlocker quiet(ui_->AdapterCombo);
            ui_->AdapterCombo->setCurrentIndex(pressedAdapter_);
            chosenAdapter_ = pressedAdapter_;
            state_.unitShown();
        }
        applyState();
    });
}

std::string CMervaneDlg::addressText() {
    return pressedAddress_;
}

std::string CMervaneDlg::portText() {
    return pressedPort_;
}

}  // namespace mervane
