#pragma once

#include <netinet/in.h>

#include <span>
#include <string>

#include "link/UniqueFd.h"
#include "sim/DatagramInbox.h"
#include "sim/UnitState.h"
#include "sim/WakeSignal.h"

namespace mervane::sim {

// The identification service: answers datagrams on the main port and on a second port that
// the first reply comes from when the unit is told to switch ports, and the datagrams handed
// over through the inbox (broadcasts a shared listener received), as if they had come to the
// main port.
class UdpService {
  public:
    UdpService(UnitState& state, const WakeSignal& wake, DatagramInbox& inbox)
        : state_(state), wake_(wake), inbox_(inbox) {}

    // The inbox must be open before run().
    bool open(const in_addr& address, uint16_t port, std::string& error);
    uint16_t port() const;
    // Serves until the wake signal is raised.
    void run();

  private:
    void serve(int fd);
    // Records a datagram that arrived on `fd` and answers it.
    void answer(std::span<const uint8_t> datagram, const sockaddr_in& source, int fd);

    UnitState& state_;
    const WakeSignal& wake_;
    DatagramInbox& inbox_;
    UniqueFd main_;
    UniqueFd other_;
};

}  // namespace mervane::sim
