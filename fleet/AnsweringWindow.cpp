#include "fleet/AnsweringWindow.h"

#include "fleet/SettingsComparison.h"
#include "link/Status.h"

namespace mervane::fleet {

AnsweringWindow::AnsweringWindow(std::string host, uint16_t port, bool clearOneShot)
    : host_(std::move(host)), port_(port), clearOneShot_(clearOneShot) {}

bool AnsweringWindow::askYesNo(const std::string&) {
    if (!clearOneShot_) {
        showDiagnostic(kOneShotLeftMessage);
        return false;
    }
    return !yesGate_ || yesGate_();
}

int AnsweringWindow::gatherAutoOnOffSettings(AutoOnOffSettings& settings,
                                             const DeviceIdentity& unit) {
    if (!firstTimeOutOfRange(settings, unit)) return kStatusOk;
    showMessage(kTimeRangeMessage);
    return kStatusFailure;
}

}  // namespace mervane::fleet
