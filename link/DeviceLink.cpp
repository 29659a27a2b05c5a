#include "link/DeviceLink.h"

#include <cstdio>
#include <string>

#include "link/SocketError.h"
#include "link/SocketOps.h"
#include "link/Status.h"

namespace mervane {

DeviceLink::DeviceLink(Clock& clock) : clock_(clock) {
    sessionSocket_.watchWith(&stopSignal_);
    // The messages show the thread's last socket error, which a failure that sets none (a unit
    // closing the connection) leaves as it was. A thread of a fleet's pool creates a link per
    // unit: the number an earlier unit left on it must not appear in this one's messages.
    setLastSocketError(0);
}

int DeviceLink::openSessionSocket(const sockaddr_in& remote, int& error) {
    error = 0;
    if (!sessionSocket_.open()) {
        error = lastSocketError();
        return kStatusFailure;
    }
    const int fd = sessionSocket_.fd();
    bindToLocal(fd, localBindAddress());
    if (connectSession(remote, sessionTimeoutMs_, error) != kStatusOk) return kStatusFailure;
    setSocketTimeouts(fd, sessionTimeoutMs_, sessionTimeoutMs_);
    drainSession();
    return kStatusOk;
}

int DeviceLink::connectSession(const sockaddr_in& remote, int timeoutMs, int& error) {
    const int fd = sessionSocket_.fd();
    trace_.connecting();
    const int result = connectWithTimeout(fd, remote, timeoutMs, error, &stopSignal_);
    trace_.connectEnded(fd, error);
    return result;
}

void DeviceLink::drainSession() {
    trace_.drained(drainInput(sessionSocket_.fd()));
}

void DeviceLink::closeSession() {
    if (!sessionSocket_.isOpen()) return;
    trace_.sessionClosed();
    sessionSocket_.close();
}

int DeviceLink::openSession(OperatorWindow& owner) {
    int error = 0;
    if (openSessionSocket(identity_.unitAddress, error) == kStatusOk) return kStatusOk;
    char text[64];
    std::snprintf(text, sizeof text, kSessionErrorFormat, error);
    owner.showMessage(text);
    return kStatusFailure;
}

}  // namespace mervane
