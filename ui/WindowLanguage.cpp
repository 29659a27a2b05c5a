#include "ui/WindowLanguage.h"

#include <cstdlib>

namespace mervane {

namespace {

// "ja_JP.UTF-8" -> "ja", "C.UTF-8" -> "C", "de:fr" (a LANGUAGE list) -> "de".
std::string languagePart(const std::string& value) {
    return value.substr(0, value.find_first_of(":_.@"));
}

}  // namespace

WindowLanguage chooseWindowLanguage(const std::function<std::string(const char* name)>& variable) {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const std::string language = languagePart(variable(name));
        if (language.empty()) continue;
        if (language == "ja") return WindowLanguage::kJapanese;
        if (language == "C" || language == "POSIX") return WindowLanguage::kCLocale;
        return WindowLanguage::kEnglish;
    }
    return WindowLanguage::kCLocale;
}

WindowLanguage windowLanguageOfEnvironment() {
    return chooseWindowLanguage([](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value != nullptr ? value : "");
    });
}

}  // namespace mervane
