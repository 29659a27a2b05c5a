#pragma once

#include <netinet/in.h>

#include <string>

#include "link/UniqueFd.h"
#include "sim/UnitState.h"
#include "sim/WakeSignal.h"

namespace mervane::sim {

// The identification service: answers datagrams on the main port and on a second port that
// the first reply comes from when the unit is told to switch ports.
class UdpService {
  public:
    UdpService(UnitState& state, const WakeSignal& wake) : state_(state), wake_(wake) {}

    bool open(const in_addr& address, uint16_t port, std::string& error);
    uint16_t port() const;
    // Serves until the wake signal is raised.
    void run();

  private:
    void serve(int fd);

    UnitState& state_;
    const WakeSignal& wake_;
    UniqueFd main_;
    UniqueFd other_;
};

}  // namespace mervane::sim
