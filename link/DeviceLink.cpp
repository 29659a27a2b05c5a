#include "link/DeviceLink.h"

#include <cstdio>
#include <string>

#include "link/SocketError.h"
#include "link/SocketOps.h"
#include "link/Status.h"

namespace mervane {

DeviceLink::DeviceLink(Clock& clock) : clock_(clock) {
    sessionSocket_.watchWith(&stopSignal_);
}

int DeviceLink::openSessionSocket(const sockaddr_in& remote, int& error) {
    error = 0;
    if (!sessionSocket_.open()) {
        error = lastSocketError();
        return kStatusFailure;
    }
    const int fd = sessionSocket_.fd();
    bindToLocal(fd, localBindAddress());
    if (connectWithTimeout(fd, remote, sessionTimeoutMs_, error, &stopSignal_) != kStatusOk) {
        return kStatusFailure;
    }
    setSocketTimeouts(fd, sessionTimeoutMs_, sessionTimeoutMs_);
    drainInput(fd);
    return kStatusOk;
}

int DeviceLink::openSession(OperatorWindow& owner) {
    int error = 0;
    if (openSessionSocket(identity_.unitAddress, error) == kStatusOk) return kStatusOk;
    char text[64];
    std::snprintf(text, sizeof text, "接続エラー: S%d", error);
    owner.showMessage(text);
    return kStatusFailure;
}

}  // namespace mervane
