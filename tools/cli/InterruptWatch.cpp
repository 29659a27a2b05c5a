#include "tools/cli/InterruptWatch.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdint>
#include <system_error>

namespace mervane::cli {

namespace {

sigset_t interruptSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

// Ends the process as the signal would have without the watch (the shell sees 128 + signal).
[[noreturn]] void endWithSignal(int signalNumber) {
    signal(signalNumber, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signalNumber);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signalNumber);
    _exit(128 + signalNumber);  // not reached
}

}  // namespace

InterruptWatch::InterruptWatch(fleet::Interruption& interruption) : interruption_(interruption) {
    const sigset_t set = interruptSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    signals_.reset(signalfd(-1, &set, SFD_CLOEXEC));
    wake_.reset(eventfd(0, EFD_CLOEXEC));
    if (!signals_.valid() || !wake_.valid()) {
        // Without the watch the signals keep their default action.
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        return;
    }
    try {
        thread_ = std::thread(&InterruptWatch::watch, this);
    } catch (const std::system_error&) {
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    }
}

InterruptWatch::~InterruptWatch() {
    if (!thread_.joinable()) return;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wake_.get(), &one, sizeof one);
    thread_.join();
}

void InterruptWatch::watch() {
    bool requested = false;
    for (;;) {
        pollfd fds[2] = {{signals_.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) continue;  // EINTR
        if ((fds[1].revents & POLLIN) != 0) return;
        signalfd_siginfo info{};
        if (read(signals_.get(), &info, sizeof info) != static_cast<ssize_t>(sizeof info)) continue;
        const int signalNumber = static_cast<int>(info.ssi_signo);
        if (requested) endWithSignal(signalNumber);  // the second: at once
        requested = true;
        const bool idle = interruption_.request();
        if (idle && interruption_.endsAtOnceWhenIdle()) endWithSignal(signalNumber);
    }
}

}  // namespace mervane::cli
