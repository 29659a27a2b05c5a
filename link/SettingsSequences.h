#pragma once

#include "link/DeviceLink.h"
#include "link/OperatorWindow.h"

namespace mervane {

// The sequences that move the automatic ON/OFF settings between the unit and the link's copy
// over the open session. Each is a fixed order of single exchanges chosen by the unit's command
// family and generation; each stops at its first failing exchange and tells the operator which
// step failed in exactly one message through `window` (with the thread's last socket error in
// it). The settings copy is written in place as each exchange succeeds; nothing is rolled back.
// The session stays open after every failure.
//
// They run on whichever thread calls them (the connection worker, or the window thread for the
// buttons) and block it for the exchanges.

// Reads the unit's settings into link.settings(). Letter units are first checked for one-shot
// output settings, which cannot coexist with automatic ON/OFF: the operator is asked whether to
// clear them, and No ends the read with failure and no further message.
int readAutoOnOffSettings(DeviceLink& link, OperatorWindow& window);

// The read sequence's numbered steps alone, without the one-shot check, into `into` (the link's
// copy is left alone): the active flag, the enable mask, then the times or the interval. Shows
// the same messages as the read. Used to read back what was just written.
int readSettingsSteps(DeviceLink& link, OperatorWindow& window, AutoOnOffSettings& into);

// Writes the per-output times (generation 4) or the common interval (otherwise). Shows nothing.
int writeTimesOrInterval(DeviceLink& link);

// Switches the unit's automatic ON/OFF operation on or off. On success the status text shows the
// new state; on failure "通信エラー" is shown and `active` holds the opposite of what was asked.
int switchAutoOnOff(DeviceLink& link, OperatorWindow& window, bool on);

// The three buttons of the settings panel.
int onReceiveSettings(DeviceLink& link, OperatorWindow& window);  // "設定受信"
int onApplySettings(DeviceLink& link, OperatorWindow& window);    // "設定反映"
int onStartStop(DeviceLink& link, OperatorWindow& window);        // "Start/Stop"

// The status text for an active flag.
const char* activeStatusText(int32_t active);

}  // namespace mervane
