#pragma once

#include <array>
#include <functional>
#include <string>

#include "link/AutoOnOffSettings.h"
#include "link/DeviceIdentity.h"
#include "link/ModelTable.h"
#include "link/OperatorWindow.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace mervane {

// The controls of one output's row: DO(n) 有効, its ON and OFF times and their four labels
// (ON label, ON unit label, OFF label, OFF unit label).
struct PanelRow {
    QCheckBox* enable = nullptr;
    QLineEdit* onTime = nullptr;
    QLineEdit* offTime = nullptr;
    std::array<QLabel*, 4> labels{};
};

// The automatic ON/OFF settings panel: the eight output rows, the common interval list, the two
// settings buttons, the status text and Start/Stop. It shows the link's settings copy and
// gathers the operator's edits back into it; the unit decides which rows and fields take part
// (its output count, and per-output times for generation 4 or one interval for the others).
//
// Holds no data of its own beyond the controls. Window thread only.
struct SettingsPanel {
    std::array<PanelRow, kMaxOutputs> rows{};
    QComboBox* intervalCombo = nullptr;
    std::array<QLabel*, 2> intervalLabels{};  // "間隔", "msec"
    QPushButton* receiveButton = nullptr;
    QPushButton* applyButton = nullptr;
    QPushButton* startStopButton = nullptr;
    QLabel* statusText = nullptr;

    // Puts every IntervalList value into the interval list, item i for entry i, none selected.
    void fillIntervalCombo();

    // Copies `settings` into the rows DO1..DOn and, for units without per-output times, the
    // interval selection (an index beyond the list leaves none selected); sets the status text.
    // Rows beyond n, and the time fields of units without per-output times, are left alone.
    void show(const AutoOnOffSettings& settings, const DeviceIdentity& unit);

    // Reads the rows DO1..DOn into `settings`. Generation-4 times must be 1..255: the first one
    // out of range stops the gather (the rows read so far, that value included, are in
    // `settings`), `reject` is called with kTimeRangeMessage and the failure status returned.
    // Without a selection in the interval list, `intervalIndex` keeps the unit's value.
    int gather(AutoOnOffSettings& settings, const DeviceIdentity& unit,
               const std::function<void(const std::string&)>& reject) const;

    // Which rows and fields show for the window's connection state: `unit`'s rows while
    // connected, with their times or the interval list; the status text cleared when not.
    void applyConnectionState(ConnectionState state, const DeviceIdentity& unit);
    // Whether the rows, the interval list and the settings buttons take input.
    void setUsable(bool usable);
};

}  // namespace mervane
