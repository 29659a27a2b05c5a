#pragma once

#include <functional>
#include <string>

namespace mervane {

// The languages the window speaks. Japanese is the one its texts are written in; under the C
// locale the window is Japanese with Qt's own texts (its standard buttons) left in English, as it
// has always been, while a Japanese locale gets Qt's Japanese for them too.
enum class WindowLanguage { kCLocale, kJapanese, kEnglish };

// The window's language by the locale, as the environment gives it: the first of LANGUAGE (its
// first entry), LC_ALL, LC_MESSAGES and LANG that is set and not empty decides: Japanese ("ja",
// "ja_JP.UTF-8") gives Japanese; the C or POSIX locale, and no locale at all, give the window as
// it has always been; every other language gives English. Unlike gettext, LANGUAGE counts
// under the C locale too, so that `LANGUAGE=en mervane` gives English anywhere. `variable`
// returns an environment variable's value, empty when unset. Pure.
WindowLanguage chooseWindowLanguage(const std::function<std::string(const char* name)>& variable);

// The same with the process's environment.
WindowLanguage windowLanguageOfEnvironment();

}  // namespace mervane
