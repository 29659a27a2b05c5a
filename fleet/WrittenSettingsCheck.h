#pragma once

#include <string>

#include "link/AutoOnOffSettings.h"
#include "link/DeviceIdentity.h"

namespace mervane::fleet {

// Compares what was written to a unit with what it reports afterwards, field by field as the
// apply writes them: the enable flag of each output, then the ON and OFF times of each output
// (generation 4) or the common interval (other units), then the active flag when
// `activeWritten`. Empty when everything matches; otherwise the first difference, naming the
// output, the field, the value written and the value read ("DO3 OFF time: wrote 10, read 12").
// Pure.
std::string writtenSettingsDifference(const AutoOnOffSettings& written,
                                      const AutoOnOffSettings& read, const DeviceIdentity& unit,
                                      bool activeWritten);

}  // namespace mervane::fleet
