#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "net/AdapterSource.h"

namespace mervane {

// What the window shows, and mervane-cli prints, when the machine has no usable address.
inline constexpr const char* kNoAdapterMessage = "ネットワークデバイスが見つかりませんでした。";

inline constexpr size_t kMaxAdapterEntries = 256;
inline constexpr size_t kMaxListedAdapters = 255;  // drop-down items; a 256th entry is not listed
inline constexpr size_t kMaxAdapterTextBytes = 255;

// One local IPv4 address that the program may talk from.
struct AdapterEntry {
    uint32_t ifIndex = 0;
    std::string description;   // at most kMaxAdapterTextBytes, whole UTF-8 characters
    std::string friendlyName;  // at most kMaxAdapterTextBytes, whole UTF-8 characters
    uint32_t ipv4Address = 0;  // network byte order
    uint32_t ipv4Mask = 0;     // network byte order
};

// At most kMaxAdapterEntries, in the order of the system's IPv4 address list.
using AdapterList = std::vector<AdapterEntry>;

// The usable local IPv4 addresses. An interface is usable when it is operational, has a hardware
// address (not all zero) and does not report a speed of exactly 0x40000000 bits/s; the first 256
// usable interfaces count, whatever their indices. Each IPv4 address other than 127.0.0.1 on a
// usable interface with a description becomes one entry, until there are kMaxAdapterEntries.
// Every entry then takes the friendly name of its interface (the last record with that index
// wins), or the interface's name when the friendly name is empty. A list that cannot be fetched
// gives no entries; nothing is reported.
AdapterList enumerateAdapters(AdapterSource& source);

// The drop-down items: "<dotted address> (<friendlyName>)" for the first kMaxListedAdapters
// entries; item i is entry i.
std::vector<std::string> adapterItemTexts(const AdapterList& adapters);

// The address (network byte order) to bind to when drop-down item `itemIndex` is chosen; 0 (any)
// when there is no such item.
uint32_t bindAddressForItem(const AdapterList& adapters, int itemIndex);

// "192.168.0.10" for an address in network byte order.
std::string dottedAddress(uint32_t address);

// `text` cut to at most `maxBytes` without splitting a UTF-8 sequence.
std::string truncatedUtf8(std::string text, size_t maxBytes);

}  // namespace mervane
