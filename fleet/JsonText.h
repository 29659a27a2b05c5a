#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>

namespace mervane::fleet {

// The one way JSON becomes text for output: one line, without its newline. Bytes that are not
// UTF-8 (a host, a name or a type code as the system or a unit gave it) come out as U+FFFD instead
// of failing, so that a report of what was done is never lost to one stray byte.
std::string jsonText(const nlohmann::json& value);
std::string jsonText(const nlohmann::ordered_json& value);

}  // namespace mervane::fleet
