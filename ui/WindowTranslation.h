#pragma once

#include <QTranslator>

#include "ui/WindowLanguage.h"

namespace mervane {

// The window's texts in `language` for as long as this object lives: the program's own
// translation, built into it, and Qt's for its standard buttons and dialogs where the system has
// it (Debian's qt6-translations-l10n). Japanese needs none of the program's own; the C locale
// needs neither. Create it on the window thread after the QApplication and before any window.
class WindowTranslation {
  public:
    explicit WindowTranslation(WindowLanguage language);
    ~WindowTranslation();
    WindowTranslation(const WindowTranslation&) = delete;
    WindowTranslation& operator=(const WindowTranslation&) = delete;

    // Whether the program's own translation was wanted and found (always true for Japanese and
    // the C locale, which need none).
    bool complete() const { return complete_; }

  private:
    QTranslator own_;
    QTranslator qt_;
    bool complete_ = true;
};

}  // namespace mervane
