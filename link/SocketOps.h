#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstddef>
#include <cstdint>

#include "link/StopSignal.h"

namespace mervane {

// Binds `fd` to the local adapter's address (network byte order). The port is chosen when the
// socket connects or first sends, not here. The result is deliberately not reported: when the
// bind fails the system picks the local address itself.
void bindToLocal(int fd, uint32_t localAddress);

// Waits for `events` on `fd` for at most `timeoutMs`, resuming after signals with the time left.
// Returns poll()'s result: > 0 ready, 0 timed out, < 0 failed (errno tells why).
int pollFor(int fd, short events, int timeoutMs);

// Sets SO_SNDTIMEO and/or SO_RCVTIMEO in milliseconds (0 leaves that option alone). Results are
// ignored, as for the bind.
void setSocketTimeouts(int fd, int sendTimeoutMs, int receiveTimeoutMs);

// Connects the blocking socket `fd` to `remote`, waiting at most `timeoutMs` for the connection
// to complete; the socket is blocking again afterwards. Returns 0, or the failure status with
// `error` (and the thread's last socket error) holding the Windows Sockets number: 10060 when
// the time ran out, otherwise the reason the system gave (10061 refused, 10065 no route, ...).
// With `stop`, a stop request that came before the wait began fails it at once (10004); one that
// comes during the wait ends it through the socket's shutdown. `startConnect` is the system's
// connect(); tests put a stand-in there to make it fail as the system seldom does.
using ConnectCall = int (*)(int fd, const sockaddr* address, socklen_t length);
int connectWithTimeout(int fd, const sockaddr_in& remote, int timeoutMs, int& error,
                       const StopSignal* stop = nullptr, ConnectCall startConnect = ::connect);

// Reads and discards whatever the peer has already sent (waiting at most 1 ms for more each
// round), so that stale replies of an earlier conversation are not taken for new ones. Stops
// when nothing is waiting, when the peer has closed, on an error, or after kDrainRounds reads:
// a peer that never stops sending must not hold the caller here. Returns the bytes discarded.
inline constexpr int kDrainRounds = 64;
size_t drainInput(int fd);

}  // namespace mervane
