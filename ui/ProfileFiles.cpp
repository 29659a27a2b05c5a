#include "ui/ProfileFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <variant>

#include "fleet/Profile.h"
#include "net/Adapters.h"
#include "ui/ProfileTexts.h"
#include "ui/ProgramSettings.h"
#include "ui/WholeFile.h"

namespace mervane {

namespace {

constexpr const char* kFolderKey = "profiles/lastFolder";

// The folder last used, while it still exists; else the documents folder or home.
QString lastFolder() {
    const QString remembered = programSettings().value(kFolderKey).toString();
    if (!remembered.isEmpty() && QFileInfo(remembered).isDir()) return remembered;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void rememberFolderOf(const QString& path) {
    programSettings().setValue(kFolderKey, QFileInfo(path).absolutePath());
}

QString askWithFileDialog(QWidget& owner, ProfileFileAction action, const QString& suggested) {
    const bool saving = action == ProfileFileAction::kSave;
    QFileDialog dialog(&owner,
                       saving ? QCoreApplication::translate("ProfileFiles", "プロファイルの保存")
                              : QCoreApplication::translate("ProfileFiles", "プロファイルの読込"),
                       suggested,
                       QCoreApplication::translate("ProfileFiles", "プロファイル (*.json)"));
    dialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("json"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

}  // namespace

ProfileFiles::ProfileFiles(QWidget& owner, Report report)
    : owner_(owner), report_(std::move(report)) {}

QString ProfileFiles::choosePath(ProfileFileAction action, const QString& suggested) {
    return chooser_ ? chooser_(owner_, action, suggested)
                    : askWithFileDialog(owner_, action, suggested);
}

void ProfileFiles::save(const AutoOnOffSettings& settings, const DeviceIdentity& unit) {
    // Unit ids repeat across a plant (0..15); the address tells the units apart.
    const QString name =
        QStringLiteral("unit%1-%2.json")
            .arg(unit.unitId)
            .arg(QString::fromStdString(dottedAddress(unit.unitAddress.sin_addr.s_addr)));
    const QString path = choosePath(ProfileFileAction::kSave, QDir(lastFolder()).filePath(name));
    if (path.isEmpty()) return;
    // A failed write leaves the old profile whole.
    if (!replaceFileWhole(path, QByteArray::fromStdString(fleet::profileJson(settings, unit)))) {
        report_(profileSaveFailureText(path));
        return;
    }
    rememberFolderOf(path);
}

std::optional<AutoOnOffSettings> ProfileFiles::load(AutoOnOffSettings settings,
                                                    const DeviceIdentity& unit) {
    const QString path = choosePath(ProfileFileAction::kLoad, lastFolder());
    if (path.isEmpty()) return std::nullopt;
    const fleet::ProfileReading reading =
        fleet::readProfileFile(QFile::encodeName(path).toStdString());
    if (const auto* error = std::get_if<fleet::ProfileError>(&reading)) {
        report_(profileReadFailureText(*error, path));
        return std::nullopt;
    }
    // A folder that held a profile is worth coming back to, even for one that does not fit.
    rememberFolderOf(path);
    const auto& profile = std::get<fleet::Profile>(reading);
    if (const auto mismatch = fleet::profileMismatch(profile, unit)) {
        report_(profileMismatchText(*mismatch, unit, path));
        return std::nullopt;
    }
    fleet::applyProfile(profile, unit, settings);
    return settings;
}

}  // namespace mervane
