#pragma once

// One place where POSIX error numbers become the Windows Sockets numbers that operator messages
// show ("接続エラー: S10061"), and the per-thread "last error" that the sequences read after a
// failing exchange, as WSAGetLastError does on the platform this tool grew up on.

namespace mervane {

namespace wsa {
inline constexpr int kInterrupted = 10004;
inline constexpr int kBadDescriptor = 10009;
inline constexpr int kAccessDenied = 10013;
inline constexpr int kFault = 10014;
inline constexpr int kInvalidArgument = 10022;
inline constexpr int kTooManySockets = 10024;
inline constexpr int kWouldBlock = 10035;
inline constexpr int kInProgress = 10036;
inline constexpr int kAlready = 10037;
inline constexpr int kNotSocket = 10038;
inline constexpr int kMessageSize = 10040;
inline constexpr int kProtocolNotSupported = 10043;
inline constexpr int kOperationNotSupported = 10045;
inline constexpr int kAddressFamilyNotSupported = 10047;
inline constexpr int kAddressInUse = 10048;
inline constexpr int kAddressNotAvailable = 10049;
inline constexpr int kNetworkDown = 10050;
inline constexpr int kNetworkUnreachable = 10051;
inline constexpr int kNetworkReset = 10052;
inline constexpr int kConnectionAborted = 10053;
inline constexpr int kConnectionReset = 10054;
inline constexpr int kNoBuffers = 10055;
inline constexpr int kAlreadyConnected = 10056;
inline constexpr int kNotConnected = 10057;
inline constexpr int kShutdown = 10058;
inline constexpr int kTimedOut = 10060;
inline constexpr int kConnectionRefused = 10061;
inline constexpr int kNameTooLong = 10063;
inline constexpr int kHostDown = 10064;
inline constexpr int kHostUnreachable = 10065;
inline constexpr int kHostNotFound = 11001;
inline constexpr int kTryAgain = 11002;
inline constexpr int kNoRecovery = 11003;
inline constexpr int kNoData = 11004;
}  // namespace wsa

// What kind of call produced an errno: EAGAIN means "the receive/send time-out passed" on a socket
// with SO_RCVTIMEO/SO_SNDTIMEO, but "no free local port" from connect(), where Windows Sockets
// reports 10055.
enum class SocketCall { kOther, kConnect, kTimedTransfer };

// Maps a POSIX errno to its Windows Sockets number. Unknown values are passed through unchanged.
int winsockErrorFromErrno(int errnoValue, SocketCall call = SocketCall::kOther);

// Maps a getaddrinfo() EAI_* result (with errno for EAI_SYSTEM) to a Windows Sockets number.
int winsockErrorFromResolver(int eaiValue, int errnoValue);

// The calling thread's last socket error (0 = none). Each thread has its own, so sequences on
// different threads (or tests running side by side) never see each other's errors.
int lastSocketError();
void setLastSocketError(int winsockError);

// Records errno (as captured right after the failing call) as the thread's last socket error and
// returns the mapped number.
int recordErrno(int errnoValue, SocketCall call = SocketCall::kOther);

}  // namespace mervane
