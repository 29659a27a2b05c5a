#include "link/SettingsSequences.h"

#include <cstdio>
#include <string>

#include "link/SocketError.h"
#include "link/Status.h"

namespace mervane {

namespace {

// Shows `format` with the thread's last socket error in place of its %d, and fails.
int failWithError(OperatorWindow& window, const char* format) {
    char text[128];
    std::snprintf(text, sizeof text, format, lastSocketError());
    window.showMessage(text);
    return kStatusFailure;
}

// Letter units only. Succeeds when no channel has a one-shot output setting, or when the operator
// agreed to clear them all and every clear went through.
int resolveOneShotConflict(DeviceLink& link, OperatorWindow& window) {
    UnitCommands& commands = link.commands();
    const int n = outputCount(link.identity());
    for (int channel = 0; channel < n; ++channel) {
        int32_t value = 0;
        if (commands.getOneShot(channel, value) != kStatusOk) {
            return failWithError(window, kOneShotReadErrorFormat);
        }
        if (value == 0) continue;
        if (!window.askYesNo(kOneShotQuestion)) return kStatusFailure;
        // Clearing every channel makes sure none is left, so the rest need not be read.
        for (int k = 0; k < n; ++k) {
            if (commands.clearOneShot(k) != kStatusOk) {
                return failWithError(window, kOneShotClearErrorFormat);
            }
        }
        return kStatusOk;
    }
    return kStatusOk;
}

}  // namespace

const char* activeStatusText(int32_t active) {
    return active != 0 ? kActiveStatusText : kNonActiveStatusText;
}

int readSettingsSteps(DeviceLink& link, OperatorWindow& window, AutoOnOffSettings& into) {
    UnitCommands& commands = link.commands();
    if (commands.getAutoActive(into.active) != kStatusOk) {
        return failWithError(window, kActiveReadErrorFormat);
    }
    if (commands.getEnableMask(into.enableMask) != kStatusOk) {
        return failWithError(window, kMaskReadErrorFormat);
    }
    if (hasPerOutputTimes(link.identity())) {
        for (int c = 0; c < outputCount(link.identity()); ++c) {
            const auto i = static_cast<size_t>(c);
            if (commands.getChannelTimes(c, into.onTime[i], into.offTime[i]) != kStatusOk) {
                return failWithError(window, kTimesReadErrorFormat);
            }
        }
    } else if (commands.getCommonInterval(into.intervalIndex) != kStatusOk) {
        return failWithError(window, kIntervalReadErrorFormat);
    }
    return kStatusOk;
}

int readAutoOnOffSettings(DeviceLink& link, OperatorWindow& window) {
    if (modelRow(link.identity()).commandFamily == CommandFamily::kLetter) {
        if (resolveOneShotConflict(link, window) != kStatusOk) return kStatusFailure;
    }
    return readSettingsSteps(link, window, link.settings());
}

int writeTimesOrInterval(DeviceLink& link) {
    UnitCommands& commands = link.commands();
    const AutoOnOffSettings& settings = link.settings();
    if (!hasPerOutputTimes(link.identity()))
        return commands.setCommonInterval(settings.intervalIndex);
    for (int c = 0; c < outputCount(link.identity()); ++c) {
        const auto i = static_cast<size_t>(c);
        if (commands.setChannelTimes(c, settings.onTime[i], settings.offTime[i]) != kStatusOk) {
            return kStatusFailure;
        }
    }
    return kStatusOk;
}

int switchAutoOnOff(DeviceLink& link, OperatorWindow& window, bool on) {
    AutoOnOffSettings& settings = link.settings();
    settings.active = on ? 1 : 0;
    if (link.commands().setAutoActive(on) != kStatusOk) {
        window.showMessage(kCommunicationErrorMessage);
        settings.active = on ? 0 : 1;
        return kStatusFailure;
    }
    window.setStatusText(activeStatusText(settings.active));
    return kStatusOk;
}

int onReceiveSettings(DeviceLink& link, OperatorWindow& window) {
    if (readAutoOnOffSettings(link, window) != kStatusOk) return kStatusFailure;
    window.showAutoOnOffSettings(link.settings(), link.identity());
    return kStatusOk;
}

int onApplySettings(DeviceLink& link, OperatorWindow& window) {
    AutoOnOffSettings& settings = link.settings();
    if (window.gatherAutoOnOffSettings(settings, link.identity()) != kStatusOk) {
        return kStatusFailure;
    }
    if (link.commands().setEnableMask(settings.enableMask) == kStatusOk &&
        writeTimesOrInterval(link) == kStatusOk) {
        return kStatusOk;
    }
    window.showMessage(kApplyErrorMessage);
    return kStatusFailure;
}

int onStartStop(DeviceLink& link, OperatorWindow& window) {
    return switchAutoOnOff(link, window, link.settings().active == 0);
}

}  // namespace mervane
