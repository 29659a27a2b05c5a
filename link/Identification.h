#pragma once

#include <cstdint>
#include <string>

#include "link/DeviceLink.h"

namespace mervane {

// Identifies the unit at `addressText` (a dotted IPv4 address or a host name) before a session
// is opened: the UDP exchange with its identification service (requests from a socket bound to
// the link's local address, to the link's identification port), then a short probe session on
// TCP `port` whose unit query yields unit id, model and generation.
//
// Returns 0 with the link's identity filled, or the failure status. `port` must be 1..65535; any
// other value fails at once, with no socket opened and the identity untouched. Each UDP wait and
// the probe's connect are bounded by `identTimeoutMs`. Whatever happens, no socket of the call is
// left open. Runs on the calling thread (a host name is looked up by the link's resolver on a
// thread of its own); a stop request through the link's StopSignal ends it promptly with the
// failure status, also while the name is still being looked up.
int identifyUnit(DeviceLink& link, int32_t identTimeoutMs, uint32_t port,
                 const std::string& addressText);

// Sizes of the identification replies, in the order they arrive; a larger datagram fails.
inline constexpr size_t kFirstReplyMax = 30;
inline constexpr size_t kF8ReplyMax = 124;
inline constexpr size_t kF4ReplyMax = 33;
inline constexpr size_t kE7ReplyMax = 130;

}  // namespace mervane
