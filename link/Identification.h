#pragma once

#include <netinet/in.h>

#include <array>
#include <cstdint>
#include <functional>
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

// Runs on the probe session once the unit query has answered; its status becomes the call's.
using ProbeSessionStep = std::function<int()>;

// The identification of a unit whose first reply has already come, to a search: the later UDP
// requests go to `replySource`, whose reply carried `typeCode`, from a socket of this call's own;
// then the probe session, on which `onProbeSession` (when given) runs after the unit query, for
// reads that must not cost a second connection. Same results, bounds and stop behaviour as
// identifyUnit.
int identifyAnsweredUnit(DeviceLink& link, int32_t identTimeoutMs, uint32_t port,
                         const sockaddr_in& replySource, std::array<char, 2> typeCode,
                         const ProbeSessionStep& onProbeSession = {});

// Sizes of the identification replies, in the order they arrive; a larger datagram fails.
inline constexpr size_t kFirstReplyMax = 30;
inline constexpr size_t kF8ReplyMax = 124;
inline constexpr size_t kF4ReplyMax = 33;
inline constexpr size_t kE7ReplyMax = 130;

}  // namespace mervane
