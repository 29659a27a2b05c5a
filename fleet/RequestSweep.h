#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fleet/DiscoveryTargets.h"
#include "fleet/StopFlag.h"
#include "link/TraceEvent.h"
#include "link/UniqueFd.h"

namespace mervane::fleet {

// Every address a search sends to: the broadcast addresses first, then each range's addresses in
// order, each address once, where it first comes (however many targets hold it). Ranges are not
// expanded, so a /16 costs no memory.
class DestinationList {
  public:
    DestinationList(const std::vector<uint32_t>& broadcasts,
                    const std::vector<AddressRange>& ranges);

    size_t size() const { return size_; }
    // Destination `index` (< size()), network byte order.
    uint32_t at(size_t index) const;

  private:
    std::vector<uint32_t> broadcasts_;  // network byte order
    std::vector<AddressRange> ranges_;
    size_t size_ = 0;
};

// The search's socket: UDP, bound to `localAddress` (network byte order; 0 any) and an ephemeral
// port other than `unitPort`, broadcasts allowed when `broadcast`, and a receive buffer large
// enough for a thousand units answering at once. Invalid with `error` set when it cannot be had.
UniqueFd openSearchSocket(uint32_t localAddress, uint16_t unitPort, bool broadcast,
                          std::string& error);

// Sends each destination 00 00 00 F6 and, 10 ms later, "LN", to `port`, pacing the first requests
// at kAddressesPerMs per millisecond so that neither the sending socket nor a switch drops any.
// `sent(done)` is told how many destinations have had both requests, now and then and at the end.
// Returns when every request has gone, or false at once on a stop. With `trace`, each request
// that went is reported to it.
bool sendSearchRequests(int fd, const DestinationList& destinations, uint16_t port, StopFlag& stop,
                        const std::function<void(size_t done)>& sent, TraceSink* trace = nullptr);

}  // namespace mervane::fleet
