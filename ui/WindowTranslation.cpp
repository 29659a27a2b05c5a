#include "ui/WindowTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace mervane {

namespace {

// Built into the program from res/translations/.
constexpr const char* kOwnTranslationsFolder = ":/i18n";

}  // namespace

WindowTranslation::WindowTranslation(WindowLanguage language) {
    if (language == WindowLanguage::kCLocale) return;
    const QString code =
        language == WindowLanguage::kEnglish ? QStringLiteral("en") : QStringLiteral("ja");
    if (qt_.load(QStringLiteral("qtbase_") + code,
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(&qt_);
    }
    if (language == WindowLanguage::kJapanese) return;
    complete_ = own_.load(QStringLiteral("mervane_") + code, kOwnTranslationsFolder);
    if (complete_) QCoreApplication::installTranslator(&own_);
}

WindowTranslation::~WindowTranslation() {
    QCoreApplication::removeTranslator(&own_);
    QCoreApplication::removeTranslator(&qt_);
}

}  // namespace mervane
