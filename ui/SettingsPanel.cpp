#include "ui/SettingsPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "link/SettingsSequences.h"
#include "link/Status.h"
#include "ui/DecimalText.h"
#include "ui/OperatorMessageTexts.h"

namespace mervane {

namespace {

size_t channelCount(const DeviceIdentity& unit) {
    return static_cast<size_t>(outputCount(unit));
}

// The row's seven controls in one go: the check box, then the two edits and the four labels.
template <typename Action>
void forRowControls(const PanelRow& row, bool includeCheckBox, Action action) {
    if (includeCheckBox) action(row.enable);
    action(row.onTime);
    action(row.offTime);
    for (QLabel* label : row.labels)
        action(label);
}

}  // namespace

void SettingsPanel::fillIntervalCombo() {
    for (const int milliseconds : IntervalList)
        intervalCombo->addItem(QString::number(milliseconds));
    intervalCombo->setCurrentIndex(-1);
}

void SettingsPanel::show(const AutoOnOffSettings& settings, const DeviceIdentity& unit) {
    const bool times = hasPerOutputTimes(unit);
    for (size_t r = 0; r < channelCount(unit); ++r) {
        const PanelRow& row = rows[r];
        row.enable->setChecked((settings.enableMask >> r & 1U) != 0);
        if (times) {
            row.onTime->setText(QString::number(settings.onTime[r]));
            row.offTime->setText(QString::number(settings.offTime[r]));
        }
    }
    if (!times) {
        const bool inList = settings.intervalIndex >= 0 && settings.intervalIndex < kIntervalCount;
        intervalCombo->setCurrentIndex(inList ? settings.intervalIndex : -1);
    }
    statusText->setText(operatorMessageText(activeStatusText(settings.active)));
}

int SettingsPanel::gather(AutoOnOffSettings& settings, const DeviceIdentity& unit,
                          const std::function<void(const std::string&)>& reject) const {
    const bool times = hasPerOutputTimes(unit);
    settings.enableMask = 0;
    for (size_t r = 0; r < channelCount(unit); ++r) {
        const PanelRow& row = rows[r];
        if (row.enable->isChecked()) settings.enableMask |= 1U << r;
        if (!times) continue;
        // A time of 0 (an empty field reads as 0) is refused here rather than by the unit's
        // command halfway through writing the rows.
        for (auto [edit, stored] : {std::pair{row.onTime, &settings.onTime[r]},
                                    std::pair{row.offTime, &settings.offTime[r]}}) {
            *stored = parseDecimalInt32(edit->text().toStdString());
            if (!isOnOffTime(*stored)) {
                reject(kTimeRangeMessage);
                return kStatusFailure;
            }
        }
    }
    // A unit that reported an index beyond the list leaves nothing selected; writing back what
    // it reported is better than writing an index that means nothing to it.
    if (!times && intervalCombo->currentIndex() >= 0) {
        settings.intervalIndex = intervalCombo->currentIndex();
    }
    return kStatusOk;
}

void SettingsPanel::applyConnectionState(ConnectionState state, const DeviceIdentity& unit) {
    if (state == ConnectionState::kNotConnected) {
        intervalCombo->setVisible(false);
        for (QLabel* label : intervalLabels)
            label->setVisible(false);
        // The rows keep whatever visibility the last unit gave them.
        statusText->clear();
        return;
    }
    const size_t n = channelCount(unit);
    const bool times = hasPerOutputTimes(unit);
    intervalCombo->setVisible(!times);
    for (QLabel* label : intervalLabels)
        label->setVisible(!times);
    for (size_t r = 0; r < rows.size(); ++r) {
        rows[r].enable->setVisible(r < n);
        forRowControls(rows[r], false, [&](QWidget* w) { w->setVisible(times && r < n); });
    }
}

void SettingsPanel::setUsable(bool usable) {
    for (const PanelRow& row : rows)
        forRowControls(row, true, [usable](QWidget* w) { w->setEnabled(usable); });
    intervalCombo->setEnabled(usable);
    for (QLabel* label : intervalLabels)
        label->setEnabled(usable);
    for (QPushButton* button : {receiveButton, applyButton, startStopButton})
        button->setEnabled(usable);
}

}  // namespace mervane
