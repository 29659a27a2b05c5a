#pragma once

#include <QSettings>
#include <QString>

namespace mervane {

// What the window remembers across runs (the profile folder, the plant list's size). The program
// sets no organisation or application name of its own; these are its names.
inline QSettings programSettings() {
    return QSettings(QStringLiteral("Mervane"), QStringLiteral("mervane"));
}

}  // namespace mervane
