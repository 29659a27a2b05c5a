#include "link/StopSignal.h"

#include <sys/socket.h>

#include <algorithm>

namespace mervane {

void StopSignal::request() {
    std::lock_guard lock(mutex_);
    requested_.store(true);
    // On Linux a shutdown also wakes a datagram socket's waiters, and a socket still connecting
    // gives up its connect.
    for (const int fd : watched_)
        (void)::shutdown(fd, SHUT_RDWR);
    for (const auto* wake : wakers_)
        (*wake)();
}

void StopSignal::clear() {
    requested_.store(false);
}

void StopSignal::watch(int fd) {
    if (fd < 0) return;
    std::lock_guard lock(mutex_);
    watched_.push_back(fd);
    if (requested_.load()) (void)::shutdown(fd, SHUT_RDWR);
}

void StopSignal::unwatch(int fd) {
    std::lock_guard lock(mutex_);
    const auto it = std::find(watched_.begin(), watched_.end(), fd);
    if (it != watched_.end()) watched_.erase(it);
}

void StopSignal::watch(const std::function<void()>* wake) {
    std::lock_guard lock(mutex_);
    wakers_.push_back(wake);
    if (requested_.load()) (*wake)();
}

void StopSignal::unwatch(const std::function<void()>* wake) {
    std::lock_guard lock(mutex_);
    std::erase(wakers_, wake);
}

}  // namespace mervane
