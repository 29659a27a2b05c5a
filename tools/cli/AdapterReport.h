#pragma once

#include <string>

#include "net/Adapters.h"

namespace mervane::cli {

// The drop-down items of the window (adapterItemTexts), one per line.
std::string adaptersText(const AdapterList& adapters);

// The same items for programs, one JSON array on one line (newline included): per item an object
// with item (its text), address and mask (dotted), interface (the index), description and name
// (the friendly name). Bytes that are not UTF-8 become U+FFFD.
std::string adaptersJson(const AdapterList& adapters);

}  // namespace mervane::cli
