#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <string>

#include "link/AutoOnOffSettings.h"
#include "link/DeviceIdentity.h"

class QWidget;

namespace mervane {

// What the operator picks a profile file for.
enum class ProfileFileAction { kSave, kLoad };

// Asks the operator for a profile's path: `suggested` is a folder (load) or a folder and a file
// name (save). Returns the chosen path, empty when the operator cancelled. Called on the window
// thread and returns when the operator has chosen; by default the file dialogs, a stand-in in
// tests.
using ProfilePathChooser =
    std::function<QString(QWidget& owner, ProfileFileAction action, const QString& suggested)>;

// The window's profile files (保存... and 読込...): a unit's automatic ON/OFF settings kept as
// the JSON object fleet::profileJson() writes. It works on settings it is given and never talks
// to a unit. The folder of the last file written or read is remembered across runs (QSettings
// "Mervane"/"mervane") and suggested next time.
//
// Window thread only. Failures are told to the operator through `report` (the texts of
// ProfileTexts.h), one message per failure.
class ProfileFiles {
  public:
    using Report = std::function<void(const QString& text)>;

    // `owner` owns the file dialogs and must outlive this object.
    ProfileFiles(QWidget& owner, Report report);

    // Empty: the file dialogs.
    void setPathChooser(ProfilePathChooser chooser) { chooser_ = std::move(chooser); }

    // Asks for a path (suggested: unit<id>-<address>.json, "unit0-192.168.0.10.json", in the
    // folder last used) and writes the profile of `settings` for `unit` there, replacing the
    // file whole or leaving it as it was.
    void save(const AutoOnOffSettings& settings, const DeviceIdentity& unit);

    // Asks for a path and reads the profile there. When it fits `unit`, returns `settings` with
    // the profile applied (fleet::applyProfile: `active` stays); otherwise the operator has been
    // told why not. Nothing when the operator cancelled or the file was refused.
    std::optional<AutoOnOffSettings> load(AutoOnOffSettings settings, const DeviceIdentity& unit);

  private:
    QString choosePath(ProfileFileAction action, const QString& suggested);

    QWidget& owner_;
    Report report_;
    ProfilePathChooser chooser_;
};

}  // namespace mervane
