#include "link/SocketError.h"

#include <netdb.h>

#include <cerrno>

namespace mervane {

namespace {
thread_local int tLastSocketError = 0;
}

int winsockErrorFromErrno(int e, SocketCall call) {
    if (e == EAGAIN || e == EWOULDBLOCK) {
        switch (call) {
            case SocketCall::kTimedTransfer:
                return wsa::kTimedOut;
            case SocketCall::kConnect:
                return wsa::kNoBuffers;
            case SocketCall::kOther:
                return wsa::kWouldBlock;
        }
    }
    switch (e) {
        case 0:
            return 0;
        case EINTR:
            return wsa::kInterrupted;
        case EBADF:
            return wsa::kBadDescriptor;
        case EACCES:
        case EPERM:
            return wsa::kAccessDenied;
        case EFAULT:
            return wsa::kFault;
        case EINVAL:
            return wsa::kInvalidArgument;
        case EMFILE:
        case ENFILE:
            return wsa::kTooManySockets;
        case EINPROGRESS:
            // A non-blocking connect under way is "would block" on the other platform.
            return call == SocketCall::kConnect ? wsa::kWouldBlock : wsa::kInProgress;
        case EALREADY:
            return wsa::kAlready;
        case ENOTSOCK:
            return wsa::kNotSocket;
        case EMSGSIZE:
            return wsa::kMessageSize;
        case EPROTONOSUPPORT:
            return wsa::kProtocolNotSupported;
        case EOPNOTSUPP:
            return wsa::kOperationNotSupported;
        case EAFNOSUPPORT:
            return wsa::kAddressFamilyNotSupported;
        case EADDRINUSE:
            return wsa::kAddressInUse;
        case EADDRNOTAVAIL:
            return wsa::kAddressNotAvailable;
        case ENETDOWN:
            return wsa::kNetworkDown;
        case ENETUNREACH:
            return wsa::kNetworkUnreachable;
        case ENETRESET:
            return wsa::kNetworkReset;
        case ECONNABORTED:
            return wsa::kConnectionAborted;
        case ECONNRESET:
        case EPIPE:
            return wsa::kConnectionReset;
        case ENOBUFS:
        case ENOMEM:
            return wsa::kNoBuffers;
        case EISCONN:
            return wsa::kAlreadyConnected;
        case ENOTCONN:
            return wsa::kNotConnected;
        case ESHUTDOWN:
            return wsa::kShutdown;
        case ETIMEDOUT:
            return wsa::kTimedOut;
        case ECONNREFUSED:
            return wsa::kConnectionRefused;
        case ENAMETOOLONG:
            return wsa::kNameTooLong;
        case EHOSTDOWN:
            return wsa::kHostDown;
        case EHOSTUNREACH:
            return wsa::kHostUnreachable;
        default:
            return e;
    }
}

int winsockErrorFromResolver(int eai, int errnoValue) {
    switch (eai) {
        case 0:
            return 0;
        case EAI_AGAIN:
            return wsa::kTryAgain;
        case EAI_FAIL:
            return wsa::kNoRecovery;
#ifdef EAI_NODATA
        case EAI_NODATA:
            return wsa::kNoData;
#endif
        case EAI_MEMORY:
            return wsa::kNoBuffers;
        case EAI_SYSTEM:
            return winsockErrorFromErrno(errnoValue);
        case EAI_NONAME:
        default:
            return wsa::kHostNotFound;
    }
}

int lastSocketError() {
    return tLastSocketError;
}

void setLastSocketError(int winsockError) {
    tLastSocketError = winsockError;
}

int recordErrno(int errnoValue, SocketCall call) {
    const int mapped = winsockErrorFromErrno(errnoValue, call);
    tLastSocketError = mapped;
    return mapped;
}

}  // namespace mervane
