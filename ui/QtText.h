#pragma once

#include <QString>

#include <string_view>

namespace mervane {

// The link's texts (UTF-8, Japanese included) as Qt shows them.
inline QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace mervane
