#pragma once

#include <netinet/in.h>

#include <string>

#include "link/UniqueFd.h"
#include "sim/UnitProtocol.h"
#include "sim/UnitState.h"
#include "sim/WakeSignal.h"

namespace mervane::sim {

// The TCP server: one connection at a time, a newly accepted one replacing the old.
class TcpService {
  public:
    TcpService(UnitState& state, const WakeSignal& wake) : state_(state), wake_(wake) {}

    bool open(const in_addr& address, uint16_t port, std::string& error);
    uint16_t port() const;
    // Serves until the wake signal is raised.
    void run();

  private:
    void accept();
    void receive();
    // Records and answers one request. False when the connection was closed meanwhile.
    bool handle(const TcpRequest& request);
    bool sendReply(const std::vector<uint8_t>& reply, const UnitFaults& faults);
    void dropConnection();
    void resetConnection();
    // Sends as much noise as the connection takes without waiting.
    void chatter();

    UnitState& state_;
    const WakeSignal& wake_;
    UniqueFd listener_;
    UniqueFd connection_;
    int connectionNumber_ = 0;
    int requestsOnConnection_ = 0;
    bool chattering_ = false;
    uint16_t peerPort_ = 0;
    std::string peerAddress_;
    RequestBuffer buffer_;
};

}  // namespace mervane::sim
