#pragma once

#include <netinet/in.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fleet/DiscoveryTargets.h"
#include "link/DeviceIdentity.h"
#include "link/TraceEvent.h"

namespace mervane::fleet {

// Units a search keeps; replies from further sources are counted, not listed, so that a flood
// of made-up sources cannot grow the search without bound.
inline constexpr size_t kMaxDiscoveredUnits = 4096;
inline constexpr int kDefaultJobs = 16;
inline constexpr int kMaxJobs = 256;
inline constexpr int32_t kDefaultReplyWindowMs = 2000;

// What one search does.
struct DiscoveryPlan {
    uint32_t localAddress = 0;  // network byte order, the adapter to talk from; 0: any
    // One broadcast each (network byte order), e.g. an adapter's subnet broadcast address.
    std::vector<uint32_t> broadcasts;
    // Every address of each range gets the requests unicast, paced (see kAddressesPerMs).
    std::vector<AddressRange> ranges;
    uint16_t identificationPort = 30718;            // where units listen; tests move it
    int32_t replyWindowMs = kDefaultReplyWindowMs;  // replies taken until this long after the
                                                    // last request (and the identification's
                                                    // time-out of each probe)
    bool probe = true;                              // identify and probe each unit found
    uint16_t tcpPort = 10003;                       // the probe's TCP port
    int jobs = kDefaultJobs;                        // probes at a time, 1..kMaxJobs
    TraceSink* trace = nullptr;  // told every datagram of the search and every probe's steps
};

// Unicast pacing: addresses whose first request goes out per millisecond. A /16 takes about
// 65536 / kAddressesPerMs ms of sending, plus the reply window.
inline constexpr int kAddressesPerMs = 10;

// One unit that answered.
struct DiscoveredUnit {
    sockaddr_in source{};            // where its first reply came from (address and port)
    std::array<char, 2> typeCode{};  // bytes 8 and 9 of that reply (zeros when shorter)
    bool probed = false;             // the probe ran to its end, successfully or not
    // After a successful probe: unit id, model and generation as Connect would find them.
    DeviceIdentity identity;
    std::optional<bool> active;  // the cycle's flag; empty where the model has no automatic
                                 // ON/OFF, or the probe failed or did not run
    std::string error;           // the operator message the probe failed with; empty otherwise

    uint32_t hostOrderAddress() const { return ntohl(source.sin_addr.s_addr); }
};

struct DiscoveryReport {
    std::vector<DiscoveredUnit> units;  // sorted by address
    size_t oversizedReplies = 0;        // datagrams longer than a first reply: not units
    size_t repliesBeyondCap = 0;        // from new sources past kMaxDiscoveredUnits: not listed
    bool stopped = false;               // stop() ended the search early
    std::string failure;                // why the search could not run at all; empty otherwise
};

// Told what a search finds as it goes. Calls come from the search's threads, one at a time and
// in order for each unit (found before probed); they must return promptly.
class DiscoveryObserver {
  public:
    virtual ~DiscoveryObserver() = default;
    virtual void unitFound(const DiscoveredUnit& /*unit*/) {}
    virtual void unitProbed(const DiscoveredUnit& /*unit*/) {}
    // Requests sent to `done` of `total` destinations (a broadcast counts as one).
    virtual void requestsSent(size_t /*done*/, size_t /*total*/) {}
};

// One search: the identification's first requests (00 00 00 F6, then "LN" 10 ms later) to every
// broadcast address and every address of the ranges, from an ephemeral port; one entry per
// source address that answers; then, unless the plan says not to, the probe of each unit found,
// up to `jobs` at a time, as soon as it is found: the identification's later requests, the TCP
// probe with the unit query and, where the model has automatic ON/OFF, its active flag read on
// that same connection. Nothing is ever written to a unit.
//
// run() belongs to one thread; stop() may be called from any thread, also before run(), and
// ends the search (sending, waiting and every probe) within a fraction of a second.
class Discovery {
  public:
    Discovery();
    ~Discovery();
    Discovery(const Discovery&) = delete;
    Discovery& operator=(const Discovery&) = delete;

    DiscoveryReport run(const DiscoveryPlan& plan, DiscoveryObserver& observer);
    void stop();

  private:
    class State;
    std::unique_ptr<State> state_;
};

}  // namespace mervane::fleet
