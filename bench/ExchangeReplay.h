#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/UniqueFd.h"
#include "sim/SimulatedUnit.h"

namespace mervane::bench {

struct ReplayResult {
    bool ok = false;
    double roundTripsMs = 0;  // the timed part: round trips only
    std::string error;
};

// The floor of a conversation: the least any client can spend on the requests a unit received
// from the program. The same requests go to the same unit, each sent with one call and its reply
// taken with one blocking read: no pauses beyond the identification's two, no draining, no
// checks, nothing else between the round trips.

// A whole connect: the identification datagrams (the two pauses are made but not timed), then
// each TCP connection with its handshake and requests, to the unit at `address` (host byte
// order; 127.0.0.1 unless given).
ReplayResult replayConnect(const std::vector<sim::ReceivedRecord>& records, uint16_t udpPort,
                           uint16_t tcpPort, uint32_t address = INADDR_LOOPBACK);

// The least possible client over one TCP connection, for a button's sequences: each run's
// requests replayed right after the program made them, to a twin of the program's unit, so that
// both meet the machine in the same state.
class ReplaySession {
  public:
    // Connects to the unit's TCP port on loopback and has it serve one read first: a unit takes
    // up a new connection when it first reads from it, and a session long in use does not pay
    // that again. `letters`: the unit speaks letter commands (else binary ones).
    bool open(uint16_t tcpPort, bool letters, std::string& error);
    // The time of the exchanges of `records`, in milliseconds; nullopt, with `error` set, when
    // one goes unanswered.
    std::optional<double> replay(const std::vector<sim::ReceivedRecord>& records,
                                 std::string& error);

  private:
    UniqueFd fd_;
};

}  // namespace mervane::bench
