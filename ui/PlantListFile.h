#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mervane {

class PlantListModel;

inline constexpr size_t kMaxPlantFileBytes = 1 << 20;  // far above 4096 addresses

// The listed units as a hosts file that `mervane-cli --hosts` reads: one address per line, in the
// model's order, each followed by a comment naming its unit id and model where known. Pure.
std::string plantHostsText(const PlantListModel& model);

struct PlantFileReading {
    std::vector<uint32_t> addresses;  // host order, as listed, each once
    QString error;                    // why the file was refused; empty when read
};

// Reads a hosts file: an IPv4 address per line, blanks around it, blank lines and everything
// from a '#' on ignored. Host names are refused with their line number (the plant list does not
// look names up), as are more units than a search lists. Pure.
PlantFileReading parsePlantHosts(std::string_view text);

// Reads the file at `path` (at most kMaxPlantFileBytes) and parses it.
PlantFileReading readPlantHostsFile(const QString& path);

}  // namespace mervane
