#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_set>
#include <vector>

#include "fleet/Discovery.h"

namespace mervane::fleet {

// Sorts a search's datagrams into units: the first datagram of at most a first reply's size
// (30 bytes) from a source address makes that source a unit; later ones from it are duplicates;
// a longer datagram is not a unit's; a new source beyond `capacity` units is counted, not kept.
// Memory stays within `capacity` entries whatever arrives. Not thread-safe.
class ReplyCollector {
  public:
    enum class Verdict { kNewUnit, kDuplicate, kOversized, kBeyondCap };

    explicit ReplyCollector(size_t capacity = kMaxDiscoveredUnits);

    // `length` is the datagram's real length (it may exceed `bytes`, which holds its start).
    Verdict take(const sockaddr_in& source, std::span<const uint8_t> bytes, size_t length);

    // The units in the order they answered; the last one is the one just taken on kNewUnit.
    const std::vector<DiscoveredUnit>& units() const { return units_; }
    size_t oversized() const { return oversized_; }
    size_t beyondCap() const { return beyondCap_; }

  private:
    size_t capacity_;
    std::vector<DiscoveredUnit> units_;
    std::unordered_set<uint32_t> sources_;
    size_t oversized_ = 0;
    size_t beyondCap_ = 0;
};

}  // namespace mervane::fleet
