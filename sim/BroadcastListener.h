#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <thread>

#include "link/UniqueFd.h"
#include "sim/WakeSignal.h"

namespace mervane::sim {

// Where broadcasts to the subnet of `address` go: 127.255.255.255 for the loopback net 127/8,
// otherwise the broadcast address of the interface that holds `address`. Nothing when no
// interface holds it or its interface has none (a point-to-point link).
std::optional<in_addr> subnetBroadcast(const in_addr& address);

// Receives the datagrams sent to one broadcast address and port and hands each to a sink. A
// socket bound to a unit's own address never sees them, and one bound to 0.0.0.0 would also
// take unicasts meant for addresses no unit has; one bound to the broadcast address takes
// broadcasts only. SO_REUSEADDR lets listeners of several processes share the address and port,
// each getting every broadcast.
//
// Thread: start() and stop() from one owning thread. The sink runs on the listener's own thread,
// one datagram at a time, and must not block.
class BroadcastListener {
  public:
    using Sink = std::function<void(std::span<const uint8_t> datagram, const sockaddr_in& source)>;

    BroadcastListener() = default;
    ~BroadcastListener();  // stops
    BroadcastListener(const BroadcastListener&) = delete;
    BroadcastListener& operator=(const BroadcastListener&) = delete;

    // Binds `address`:`port` (host byte order) and starts handing datagrams to `sink`. False with
    // the reason when a socket cannot be made or bound; nothing is left open then.
    bool start(const in_addr& address, uint16_t port, Sink sink, std::string& error);
    // Stops at once (even mid-wait), closes the socket and joins the thread. Idempotent.
    void stop();

  private:
    void run();

    WakeSignal wake_;
    UniqueFd socket_;
    Sink sink_;
    std::thread thread_;
};

}  // namespace mervane::sim
