#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/sim/SimulatedUnit.h"

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
// each TCP connection with its handshake and requests.
ReplayResult replayConnect(const std::vector<sim::ReceivedRecord>& records, uint16_t udpPort,
                           uint16_t tcpPort);

// The requests of a sequence's runs, run after run, over one connection that has served a
// request before. The time of each run, in milliseconds; empty, with `error` set, on failure.
std::vector<double> replayExchanges(const std::vector<std::vector<sim::ReceivedRecord>>& runs,
                                    uint16_t tcpPort, std::string& error);

}  // namespace mervane::bench
