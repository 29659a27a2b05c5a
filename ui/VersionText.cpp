#include "ui/VersionText.h"

#include "MervaneVersion.h"

namespace mervane {

VersionWords programVersionWords() {
    return {kVersionMajor, kVersionMinor, kVersionPatch, kVersionTweak};
}

std::string formatVersionText(const VersionWords& words) {
    std::string text = "Version " + std::to_string(words[0]) + "." + std::to_string(words[1]) +
                       std::to_string(words[2]);
    if (words[3] != 0) text += std::to_string(words[3]);
    return text;
}

}  // namespace mervane
